// A walk over a binary form that keys every object the way the dictionary does, for the readers
// that look at a form's properties (the extractor, the generation rule, module verify).
#pragma once

#include <string>

#include "framework/FormStream.h"

namespace resources {

// Keys: the form's own properties under "", a named child by its name, an unnamed one by its
// parent's key + "." + class + its 1-based position, a collection item by the object's key +
// "." + property + "[index]", and everything inside an inline object behind the inline objects'
// names (an inline object's own properties under its path on the form).
class TFormKeyWalker {
public:
    explicit TFormKeyWalker(fw::TFormReader& reader) : r_(reader) {}
    virtual ~TFormKeyWalker() = default;
    TFormKeyWalker(const TFormKeyWalker&) = delete;
    TFormKeyWalker& operator=(const TFormKeyWalker&) = delete;

    // Walks the whole form; gives its entry name: the root's class name without its first letter.
    std::string Walk();

protected:
    // One property of the object or collection item `path` whose value is not a collection (the
    // walk goes into those itself); the value is next in the reader and the override reads or
    // skips all of it.
    virtual void Property(const std::string& path, const std::string& prop) = 0;
    // Every class and object name read, before it is used.
    virtual void Name(const std::string& name) { (void)name; }
    // A child object, by the dictionary's key of its component, before its body is walked.
    virtual void Child(const std::string& componentKey, const std::string& className) {
        (void)componentKey;
        (void)className;
    }

    // The dictionary's key of the component whose properties are walked at `path`.
    std::string ComponentKey(const std::string& path) const;

    fw::TFormReader& r_;

private:
    // An object's prefix, class and name; whether it is an inline object.
    bool Header(std::string& className, std::string& name);
    void Body(const std::string& path);
    // The properties of `path` up to the end of their list.
    void Properties(const std::string& path);
    // The collection value next in the reader: the properties of each item.
    void Collection(const std::string& path, const std::string& prop);
    std::string inline_;
    std::string inlineSelf_;  // key of the inline object being walked, for its own properties
};

}  // namespace resources

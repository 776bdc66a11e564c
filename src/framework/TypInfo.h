// Run-time type information of the component model: class information (name, parent, factory)
// and the published properties of each class with their kind and typed access by name.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "SysUtils.h"

namespace fw {

class TObject;
class TComponent;
class TClassInfo;

enum class TTypeKind {
    tkUnknown,
    tkInteger,
    tkChar,
    tkEnumeration,
    tkFloat,
    tkString,  // short 8-bit string (at most 255 bytes)
    tkSet,
    tkClass,
    tkMethod,
    tkWChar,
    tkLString,  // long 8-bit string
    tkWString,
};
const char* TypeKindName(TTypeKind kind);

// An event handler: the sender is the object that fires it.
using TNotifyEvent = std::function<void(TObject* sender)>;

// One published property. Only the accessors of its kind are set:
// ordinal kinds (integer, char, enumeration, set, wide char) use GetOrd/SetOrd,
// 8-bit strings GetStr/SetStr (and GetWStr/SetWStr when they keep UTF-16 text too), wide
// strings GetWStr/SetWStr, floats GetFloat/SetFloat,
// classes GetObj (and SetObj when the property may be replaced), methods GetMethod/SetMethod.
struct TPropInfo {
    std::string Name;
    TTypeKind Kind = TTypeKind::tkUnknown;
    std::vector<std::string> EnumNames;  // enumeration values, or the elements of a set
    std::function<int64_t(TObject*)> GetOrd;
    std::function<void(TObject*, int64_t)> SetOrd;
    std::function<std::string(TObject*)> GetStr;
    std::function<void(TObject*, const std::string&)> SetStr;
    std::function<std::u16string(TObject*)> GetWStr;
    std::function<void(TObject*, const std::u16string&)> SetWStr;
    std::function<double(TObject*)> GetFloat;
    std::function<void(TObject*, double)> SetFloat;
    std::function<TObject*(TObject*)> GetObj;
    std::function<void(TObject*, TObject*)> SetObj;
    std::function<TNotifyEvent(TObject*)> GetMethod;
    std::function<void(TObject*, TNotifyEvent)> SetMethod;
};

class TClassInfo {
public:
    // Creates an instance of the class (its nearest compiled class, tagged with this class).
    using TFactory = std::function<TComponent*(const TClassInfo* cls, TComponent* owner)>;

    TClassInfo(std::string name, const TClassInfo* parent, TFactory factory = nullptr);
    TClassInfo(const TClassInfo&) = delete;
    TClassInfo& operator=(const TClassInfo&) = delete;

    const std::string& Name() const { return name_; }
    const TClassInfo* Parent() const { return parent_; }
    bool InheritsFrom(const TClassInfo* other) const;
    // The module whose resources hold this class's form resource (0: the main module).
    uintptr_t Module = 0;

    // Own published properties, in declaration order.
    const std::vector<TPropInfo>& OwnProperties() const { return props_; }
    // Its setters are wrapped to tell the object of the change (TObject::PropertyChanged).
    TPropInfo& AddProperty(TPropInfo info);
    // Looks in this class and then its ancestors; names compare without regard to ASCII case.
    // The first look-up builds a table of every property the class publishes, own and
    // inherited; adding a property to any class makes every table stale.
    const TPropInfo* FindProperty(std::string_view name) const;

    // The factory of this class or, when it has none, the nearest ancestor's.
    bool CanCreate() const;
    TComponent* Create(TComponent* owner) const;

private:
    struct TNameHash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const;
    };
    struct TNameEqual {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const { return SameTextAscii(a, b); }
    };
    using TPropTable = std::unordered_map<std::string, const TPropInfo*, TNameHash, TNameEqual>;
    const TPropTable& Table() const;

    std::string name_;
    const TClassInfo* parent_;
    TFactory factory_;
    std::vector<TPropInfo> props_;
    mutable TPropTable table_;
    mutable uint64_t tableGeneration_ = 0;  // 0: not built
};

// Registry of the classes the form reader may create by name (compared without regard to case).
void RegisterClass(const TClassInfo& cls);
const TClassInfo* GetClass(std::string_view name);
// EClassNotFound "Class %s not found".
FW_DECLARE_EXCEPTION(EClassNotFound, Exception);
const TClassInfo& FindClass(std::string_view name);

// The root of the class tree.
class TObject {
public:
    TObject();
    virtual ~TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;

    static const TClassInfo& StaticClass();
    const TClassInfo* ClassType() const { return class_; }
    const std::string& ClassName() const { return class_->Name(); }
    bool InheritsFrom(const TClassInfo& cls) const { return class_->InheritsFrom(&cls); }
    // Tags the object with a class derived from its compiled class (a class defined at run time,
    // such as a form class that adds nothing but its form resource).
    void SetClassType(const TClassInfo* cls);
    // Called after one of the object's published properties was set by name, so that what
    // shows the object (a window) can follow.
    virtual void PropertyChanged() {}

protected:
    // Each constructor tags the object with its own class; the most derived one runs last.
    void SetCompiledClass(const TClassInfo& cls) { class_ = &cls; }

private:
    const TClassInfo* class_;
};

// Typed access to published properties by name (EPropertyError when the name is unknown or the
// kind does not match the access). The wide access also reaches 8-bit texts that keep UTF-16.
FW_DECLARE_EXCEPTION(EPropertyError, Exception);
const TPropInfo* GetPropInfo(const TObject* obj, std::string_view name);
TTypeKind PropType(const TObject* obj, std::string_view name);
int64_t GetOrdProp(TObject* obj, std::string_view name);
void SetOrdProp(TObject* obj, std::string_view name, int64_t v);
std::string GetStrProp(TObject* obj, std::string_view name);
void SetStrProp(TObject* obj, std::string_view name, const std::string& v);
std::u16string GetWideStrProp(TObject* obj, std::string_view name);
void SetWideStrProp(TObject* obj, std::string_view name, const std::u16string& v);
double GetFloatProp(TObject* obj, std::string_view name);
void SetFloatProp(TObject* obj, std::string_view name, double v);
TObject* GetObjectProp(TObject* obj, std::string_view name);
void SetObjectProp(TObject* obj, std::string_view name, TObject* v);
TNotifyEvent GetMethodProp(TObject* obj, std::string_view name);
void SetMethodProp(TObject* obj, std::string_view name, TNotifyEvent v);
// Enumeration values and set elements by name ("[a,b]" for sets).
std::string GetEnumProp(TObject* obj, std::string_view name);
void SetEnumProp(TObject* obj, std::string_view name, std::string_view value);
std::string GetSetProp(TObject* obj, std::string_view name);
void SetSetProp(TObject* obj, std::string_view name, std::string_view value);

// Builders of property descriptions over member fields or accessors of class C.
namespace published {

template <class C, class V>
TPropInfo Ord(const char* name, TTypeKind kind, V C::*field, std::vector<std::string> names = {}) {
    TPropInfo p;
    p.Name = name;
    p.Kind = kind;
    p.EnumNames = std::move(names);
    p.GetOrd = [field](TObject* o) { return static_cast<int64_t>(static_cast<C*>(o)->*field); };
    p.SetOrd = [field](TObject* o, int64_t v) { static_cast<C*>(o)->*field = static_cast<V>(v); };
    return p;
}

template <class C>
TPropInfo Str(const char* name, std::string C::*field, bool shortString = false) {
    TPropInfo p;
    p.Name = name;
    p.Kind = shortString ? TTypeKind::tkString : TTypeKind::tkLString;
    p.GetStr = [field](TObject* o) { return static_cast<C*>(o)->*field; };
    p.SetStr = [field, shortString](TObject* o, const std::string& v) {
        static_cast<C*>(o)->*field = shortString && v.size() > 255 ? v.substr(0, 255) : v;
    };
    return p;
}

// A long 8-bit string property over a control's text: set wide (SetWideStrProp, a wide or
// UTF-8 form value, the live translator's texts its code page cannot hold) it keeps the
// UTF-16 text too.
template <class C>
TPropInfo Str(const char* name, TText C::*field) {
    TPropInfo p;
    p.Name = name;
    p.Kind = TTypeKind::tkLString;
    p.GetStr = [field](TObject* o) -> std::string { return static_cast<C*>(o)->*field; };
    p.SetStr = [field](TObject* o, const std::string& v) { static_cast<C*>(o)->*field = v; };
    p.GetWStr = [field](TObject* o) { return (static_cast<C*>(o)->*field).ToWide(); };
    p.SetWStr = [field](TObject* o, const std::u16string& v) { (static_cast<C*>(o)->*field).SetWide(v); };
    return p;
}

template <class C>
TPropInfo WStr(const char* name, std::u16string C::*field) {
    TPropInfo p;
    p.Name = name;
    p.Kind = TTypeKind::tkWString;
    p.GetWStr = [field](TObject* o) { return static_cast<C*>(o)->*field; };
    p.SetWStr = [field](TObject* o, const std::u16string& v) { static_cast<C*>(o)->*field = v; };
    return p;
}

template <class C>
TPropInfo Float(const char* name, double C::*field) {
    TPropInfo p;
    p.Name = name;
    p.Kind = TTypeKind::tkFloat;
    p.GetFloat = [field](TObject* o) { return static_cast<C*>(o)->*field; };
    p.SetFloat = [field](TObject* o, double v) { static_cast<C*>(o)->*field = v; };
    return p;
}

// A property holding an object the owner keeps (a font, a string list, a collection).
template <class C, class Getter>
TPropInfo Object(const char* name, Getter get) {
    TPropInfo p;
    p.Name = name;
    p.Kind = TTypeKind::tkClass;
    p.GetObj = [get](TObject* o) -> TObject* { return get(static_cast<C*>(o)); };
    return p;
}

template <class C>
TPropInfo Method(const char* name, TNotifyEvent C::*field) {
    TPropInfo p;
    p.Name = name;
    p.Kind = TTypeKind::tkMethod;
    p.GetMethod = [field](TObject* o) { return static_cast<C*>(o)->*field; };
    p.SetMethod = [field](TObject* o, TNotifyEvent v) { static_cast<C*>(o)->*field = std::move(v); };
    return p;
}

}  // namespace published

}  // namespace fw

// Which form properties carry texts a translator translates. One rule for every tool that makes
// or reads dictionaries: decided by the property's name and the kind of its value, never by the
// component's class, so controls added later are picked up without a list of classes.
//
//   - a string value (vkString) whose last name segment is one of TextPropertyNames
//     ("Caption", "Hint", "Text", "Title", "Filter", "DisplayLabel", "EditLabel.Caption", ...);
//   - a list of strings (vkStringList) stored as "<Name>.Strings" where <Name> is one of
//     ListPropertyNames ("Items", "Lines", "Tabs"), the string-list properties of the framework.
//
// Empty strings are not translatable (there is nothing to translate, and the module builder
// drops a property whose translation is empty).
#pragma once

#include <string>
#include <string_view>

#include "LangRes.h"
#include "framework/SysUtils.h"
#include "localizer/kutils/KStrings.h"

namespace langres {

inline constexpr std::string_view TextPropertyNames[] = {"Caption", "Hint",         "Text",     "Title",
                                                         "Filter",  "DisplayLabel", "Category", "Description"};
inline constexpr std::string_view ListPropertyNames[] = {"Items", "Lines", "Tabs"};

// The last dotted segment of a property path ("Font.Name" -> "Name").
inline std::string_view LastPathSegment(std::string_view path) {
    size_t dot = path.rfind('.');
    return dot == std::string_view::npos ? path : path.substr(dot + 1);
}

inline bool IsTranslatableProperty(std::string_view path, TLResValueKind kind) {
    if (kind == vkString) {
        std::string_view last = LastPathSegment(path);
        for (std::string_view n : TextPropertyNames)
            if (fw::SameTextAscii(last, n)) return true;
        return false;
    }
    if (kind == vkStringList) {
        size_t dot = path.rfind('.');
        if (dot == std::string_view::npos || !fw::SameTextAscii(path.substr(dot + 1), "Strings")) return false;
        std::string_view head = LastPathSegment(path.substr(0, dot));
        for (std::string_view n : ListPropertyNames)
            if (fw::SameTextAscii(head, n)) return true;
    }
    return false;
}

// Keys of the objects of a form, as the dictionary holds them and the module builder looks them
// up: a named child by its name alone, an unnamed one (no name, or its class as its name) by its
// parent's key + "." + class + its 1-based position among the parent's children; an item of a
// collection property by the object's key + "." + property + "[index]".
inline std::string ChildObjectKey(const std::string& parentKey, const std::string& name, const std::string& className,
                                  int position) {
    if (name.empty() || name == className) return parentKey + "." + className + std::to_string(position);
    return name;
}
inline std::string CollectionItemKey(const std::string& objectKey, const std::string& property, int index) {
    return kutils::JoinDotted(objectKey, property) + "[" + std::to_string(index) + "]";
}

}  // namespace langres

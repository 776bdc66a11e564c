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
// drops a property whose translation is empty), nor are texts without a letter: digits, blanks,
// punctuation and symbols ("1", "0.00", "-", "...", "12:00", "%d") are values a program reads
// back or shows as they are, the same in every language. String-table entries follow the same
// rule as form texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "LangRes.h"
#include "framework/SysUtils.h"
#include "framework/Unicode.h"
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

// The length of a format specifier at text[i] ('%'), 0 when it is not one: "%%", "%s", "%d",
// "%0:s", "%-10.2f", "%*d". Its letter names a type, not a word.
inline size_t FormatSpecifierLength(std::u16string_view s, size_t i) {
    size_t j = i + 1;
    if (j < s.size() && s[j] == '%') return 2;
    auto digits = [&] {
        while (j < s.size() && ((s[j] >= '0' && s[j] <= '9') || s[j] == '*')) ++j;
    };
    size_t k = j;
    digits();
    if (j < s.size() && s[j] == ':' && j > k)
        ++j;
    else
        j = k;
    if (j < s.size() && s[j] == '-') ++j;
    digits();
    if (j < s.size() && s[j] == '.') {
        ++j;
        digits();
    }
    if (j < s.size() && ((s[j] | 0x20) >= 'a' && (s[j] | 0x20) <= 'z')) return j + 1 - i;
    return 0;
}

// Whether a UTF-16 text holds at least one letter outside format specifiers (surrogate pairs
// taken as one character).
inline bool HasLetter(std::u16string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'%') {
            if (size_t n = FormatSpecifierLength(text, i)) {
                i += n - 1;
                continue;
            }
        }
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        if (fw::IsLetterCodePoint(c)) return true;
    }
    return false;
}

// The same for 8-bit text, read in the code page of the language langId.
inline bool HasLetter(std::string_view ansi, uint16_t langId) {
    return HasLetter(LangAnsiToWide(std::string(ansi), langId));
}

// A text a translator translates: not empty, and with at least one letter.
inline bool IsTranslatableText(std::u16string_view text) {
    return HasLetter(text);
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

// The dictionary's entry for a form, frame or data module class: the class name without its
// first letter ("TMainForm" -> "MainForm"), a letter of any script (names are UTF-8).
inline std::string FormEntryName(const std::string& className) {
    const size_t first = fw::FirstCharLength(className);
    return first < className.size() ? className.substr(first) : className;
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

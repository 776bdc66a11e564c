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
#include <utility>

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

// Blocks that hold no letters, in code point order: modifier symbols and combining marks; the
// punctuation, digits and signs of the scripts; general punctuation, super- and subscripts,
// currency signs, letterlike symbols, number forms, arrows, mathematical and technical signs,
// boxes, shapes, dingbats; CJK punctuation, enclosed and compatibility signs; lone surrogates
// and private use; variation selectors and presentation punctuation; fullwidth punctuation and
// digits; the symbol and emoji planes.
// clang-format off
inline constexpr std::pair<char32_t, char32_t> NonLetterBlocks[] = {
    {0x02C2, 0x02C5}, {0x02D2, 0x02DF}, {0x02E5, 0x02EB}, {0x02ED, 0x02ED}, {0x02EF, 0x036F},
    {0x037E, 0x037E}, {0x0384, 0x0385}, {0x0387, 0x0387}, {0x0482, 0x0489}, {0x055A, 0x055F},
    {0x0589, 0x058A}, {0x0591, 0x05C7}, {0x05F3, 0x05F4}, {0x0600, 0x061F}, {0x064B, 0x066D},
    {0x06D4, 0x06D4}, {0x06DD, 0x06DE}, {0x06E9, 0x06E9}, {0x06F0, 0x06F9}, {0x07C0, 0x07C9},
    {0x0964, 0x096F}, {0x09E6, 0x09EF}, {0x0A66, 0x0A6F}, {0x0AE6, 0x0AEF}, {0x0B66, 0x0B6F},
    {0x0BE6, 0x0BFA}, {0x0C66, 0x0C6F}, {0x0CE6, 0x0CEF}, {0x0D66, 0x0D6F}, {0x0E3F, 0x0E3F},
    {0x0E4F, 0x0E5B}, {0x0ED0, 0x0ED9}, {0x0F01, 0x0F3F}, {0x1040, 0x1049}, {0x10FB, 0x10FB},
    {0x1360, 0x1369}, {0x166D, 0x166E}, {0x17D4, 0x17E9}, {0x1800, 0x1819}, {0x1AB0, 0x1AFF},
    {0x1DC0, 0x1DFF}, {0x1FBD, 0x1FBD}, {0x1FBF, 0x1FC1}, {0x1FCD, 0x1FCF}, {0x1FDD, 0x1FDF},
    {0x1FED, 0x1FEF}, {0x1FFD, 0x1FFE}, {0x2000, 0x2070}, {0x2074, 0x207E}, {0x2080, 0x208E},
    {0x20A0, 0x20FF}, {0x2100, 0x2101}, {0x2103, 0x2106}, {0x2108, 0x2109}, {0x2114, 0x2114},
    {0x2116, 0x2118}, {0x211E, 0x2123}, {0x2125, 0x2125}, {0x2127, 0x2127}, {0x2129, 0x2129},
    {0x212E, 0x212E}, {0x213A, 0x213B}, {0x2140, 0x2144}, {0x214A, 0x214D}, {0x214F, 0x218F},
    {0x2190, 0x2BFF}, {0x2CE5, 0x2CEA}, {0x2CF9, 0x2CFF}, {0x2E00, 0x2E7F}, {0x2FF0, 0x3004},
    {0x3007, 0x3030}, {0x3036, 0x303A}, {0x303D, 0x303F}, {0x3099, 0x309C}, {0x30A0, 0x30A0},
    {0x30FB, 0x30FB}, {0x3190, 0x319F}, {0x31C0, 0x31EF}, {0x3200, 0x33FF}, {0x4DC0, 0x4DFF},
    {0xA490, 0xA4CF}, {0xA620, 0xA629}, {0xA670, 0xA67E}, {0xA700, 0xA716}, {0xA720, 0xA721},
    {0xA789, 0xA78A}, {0xA828, 0xA82B}, {0xA830, 0xA839}, {0xA8CE, 0xA8D9}, {0xA900, 0xA909},
    {0xD800, 0xDFFF}, {0xE000, 0xF8FF}, {0xFD3E, 0xFD3F}, {0xFDFC, 0xFDFD}, {0xFE00, 0xFE6F},
    {0xFEFF, 0xFEFF}, {0xFF01, 0xFF20}, {0xFF3B, 0xFF40}, {0xFF5B, 0xFF65}, {0xFFE0, 0xFFFF},
    {0x10100, 0x1013F}, {0x1D000, 0x1D3FF}, {0x1D7CE, 0x1D7FF}, {0x1EC70, 0x1EEFF}, {0x1F000, 0x1FBFF},
    {0xE0000, 0x10FFFF},
};
// clang-format on

// Whether a code point is a letter of some script: ASCII and Latin-1 letters, and outside them
// every character that lies in none of the blocks above. A text in any script has letters by
// this rule; one made of digits, punctuation and symbols has none.
inline bool IsLetterCodePoint(char32_t c) {
    if (c < 0x80) return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
    if (c < 0x100) return c == 0xAA || c == 0xB5 || c == 0xBA || (c >= 0xC0 && c != 0xD7 && c != 0xF7);
    for (const auto& [lo, hi] : NonLetterBlocks) {
        if (c < lo) return true;
        if (c <= hi) return false;
    }
    return true;
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
        if (IsLetterCodePoint(c)) return true;
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

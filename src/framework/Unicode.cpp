#include "Unicode.h"

#include <utility>

namespace fw {

namespace {

using TRange = std::pair<char32_t, char32_t>;

// Blocks that hold no letters, in code point order: modifier symbols and combining marks; the
// punctuation, digits and signs of the scripts; general punctuation, super- and subscripts,
// currency signs, letterlike symbols, number forms, arrows, mathematical and technical signs,
// boxes, shapes, dingbats; CJK punctuation, enclosed and compatibility signs; lone surrogates
// and private use; variation selectors and presentation punctuation; fullwidth punctuation and
// digits; the symbol and emoji planes.
// clang-format off
constexpr TRange kNonLetterBlocks[] = {
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

// Decimal digits beyond ASCII.
constexpr TRange kDigits[] = {
    {0x0660, 0x0669}, {0x06F0, 0x06F9}, {0x07C0, 0x07C9}, {0x0966, 0x096F}, {0x09E6, 0x09EF},
    {0x0A66, 0x0A6F}, {0x0AE6, 0x0AEF}, {0x0B66, 0x0B6F}, {0x0BE6, 0x0BEF}, {0x0C66, 0x0C6F},
    {0x0CE6, 0x0CEF}, {0x0D66, 0x0D6F}, {0x0DE6, 0x0DEF}, {0x0E50, 0x0E59}, {0x0ED0, 0x0ED9},
    {0x0F20, 0x0F29}, {0x1040, 0x1049}, {0x1090, 0x1099}, {0x17E0, 0x17E9}, {0x1810, 0x1819},
    {0x1946, 0x194F}, {0x19D0, 0x19D9}, {0x1A80, 0x1A89}, {0x1A90, 0x1A99}, {0x1B50, 0x1B59},
    {0x1BB0, 0x1BB9}, {0x1C40, 0x1C49}, {0x1C50, 0x1C59}, {0xA620, 0xA629}, {0xA8D0, 0xA8D9},
    {0xA900, 0xA909}, {0xA9D0, 0xA9D9}, {0xA9F0, 0xA9F9}, {0xAA50, 0xAA59}, {0xABF0, 0xABF9},
    {0xFF10, 0xFF19}, {0x104A0, 0x104A9}, {0x11066, 0x1106F}, {0x1D7CE, 0x1D7FF}, {0x1E950, 0x1E959},
};

// Combining marks that the letter rule does not already count as letters.
constexpr TRange kMarks[] = {
    {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x05BF, 0x05BF}, {0x05C1, 0x05C2},
    {0x05C4, 0x05C5}, {0x05C7, 0x05C7}, {0x0610, 0x061A}, {0x064B, 0x065F}, {0x0670, 0x0670},
    {0x06D6, 0x06DC}, {0x06DF, 0x06E4}, {0x06E7, 0x06E8}, {0x06EA, 0x06ED}, {0x0F18, 0x0F19},
    {0x0F35, 0x0F35}, {0x0F37, 0x0F37}, {0x0F39, 0x0F39}, {0x0F3E, 0x0F3F}, {0x1AB0, 0x1AFF},
    {0x1DC0, 0x1DFF}, {0x20D0, 0x20F0}, {0x302A, 0x302F}, {0x3099, 0x309A}, {0xFE20, 0xFE2F},
};
// clang-format on

template <size_t N>
bool InRanges(const TRange (&ranges)[N], char32_t c) {
    for (const auto& [lo, hi] : ranges) {
        if (c < lo) return false;
        if (c <= hi) return true;
    }
    return false;
}

bool IsAsciiLetter(char32_t c) {
    return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
}

}  // namespace

bool DecodeUtf8(std::string_view s, size_t at, char32_t& codePoint, size_t& length) {
    const size_t n = s.size();
    if (at >= n) return false;
    auto cont = [&](size_t k) { return k < n && (static_cast<uint8_t>(s[k]) & 0xC0) == 0x80; };
    auto low = [&](size_t k) { return static_cast<char32_t>(static_cast<uint8_t>(s[k]) & 0x3F); };
    const uint8_t c = static_cast<uint8_t>(s[at]);
    if (c < 0x80) {
        codePoint = c;
        length = 1;
        return true;
    }
    if (c >= 0xC2 && c <= 0xDF && cont(at + 1)) {
        codePoint = (char32_t{c & 0x1Fu} << 6) | low(at + 1);
        length = 2;
        return true;
    }
    if (c >= 0xE0 && c <= 0xEF && cont(at + 1) && cont(at + 2)) {
        char32_t v = (char32_t{c & 0x0Fu} << 12) | (low(at + 1) << 6) | low(at + 2);
        if (v < 0x800 || (v >= 0xD800 && v <= 0xDFFF)) return false;
        codePoint = v;
        length = 3;
        return true;
    }
    if (c >= 0xF0 && c <= 0xF4 && cont(at + 1) && cont(at + 2) && cont(at + 3)) {
        char32_t v = (char32_t{c & 0x07u} << 18) | (low(at + 1) << 12) | (low(at + 2) << 6) | low(at + 3);
        if (v < 0x10000 || v > 0x10FFFF) return false;
        codePoint = v;
        length = 4;
        return true;
    }
    return false;
}

bool IsLetterCodePoint(char32_t c) {
    if (c < 0x80) return IsAsciiLetter(c);
    if (c < 0x100) return c == 0xAA || c == 0xB5 || c == 0xBA || (c >= 0xC0 && c != 0xD7 && c != 0xF7);
    if (c > 0x10FFFF) return false;
    return !InRanges(kNonLetterBlocks, c);
}

bool IsDigitCodePoint(char32_t c) {
    if (c < 0x80) return c >= '0' && c <= '9';
    return InRanges(kDigits, c);
}

bool IsMarkCodePoint(char32_t c) {
    return InRanges(kMarks, c);
}

size_t IdentifierLength(std::string_view text, size_t at) {
    size_t i = at;
    bool first = true;
    while (i < text.size()) {
        const char a = text[i];
        if (static_cast<uint8_t>(a) < 0x80) {
            // The common case, without decoding.
            if (!(IsAsciiLetter(static_cast<char32_t>(a)) || a == '_' || (!first && a >= '0' && a <= '9'))) break;
            ++i;
        } else {
            char32_t c = 0;
            size_t len = 0;
            if (!DecodeUtf8(text, i, c, len)) break;
            if (!(IsLetterCodePoint(c) || (!first && (IsDigitCodePoint(c) || IsMarkCodePoint(c))))) break;
            i += len;
        }
        first = false;
    }
    return i - at;
}

bool IsValidIdent(std::string_view text) {
    return !text.empty() && IdentifierLength(text, 0) == text.size();
}

size_t FirstCharLength(std::string_view text) {
    if (text.empty()) return 0;
    char32_t c = 0;
    size_t len = 0;
    return DecodeUtf8(text, 0, c, len) ? len : 1;
}

char32_t UpperCaseCodePoint(char32_t c) {
    auto pairs = [c](bool upperEven) {  // case pairs side by side
        return ((c & 1) == 0) == upperEven ? c : c - 1;
    };
    if (c < 0x80) return c >= 'a' && c <= 'z' ? c - 0x20 : c;
    if (c < 0x100) {
        if (c == 0xFF) return 0x178;
        if (c == 0xB5) return 0x39C;
        return c >= 0xE0 && c != 0xF7 && c <= 0xFE ? c - 0x20 : c;
    }
    if (c <= 0x137) return c == 0x131 ? 'I' : pairs(true);
    if (c >= 0x139 && c <= 0x148) return pairs(false);
    if (c >= 0x14A && c <= 0x177) return pairs(true);
    if (c >= 0x179 && c <= 0x17E) return pairs(false);
    if (c == 0x17F) return 'S';
    if (c >= 0x3B1 && c <= 0x3CB) return c == 0x3C2 ? 0x3A3 : c - 0x20;
    if (c == 0x3AC) return 0x386;
    if (c >= 0x3AD && c <= 0x3AF) return c - 0x25;
    if (c == 0x3CC) return 0x38C;
    if (c == 0x3CD || c == 0x3CE) return c - 0x3F;
    if (c >= 0x430 && c <= 0x44F) return c - 0x20;
    if (c >= 0x450 && c <= 0x45F) return c - 0x50;
    if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F)) return pairs(true);
    if (c >= 0x4C1 && c <= 0x4CE) return pairs(false);
    if (c == 0x4CF) return 0x4C0;
    if (c >= 0x561 && c <= 0x586) return c - 0x30;
    if (c >= 0xFF41 && c <= 0xFF5A) return c - 0x20;
    return c;
}

bool SameTextWide(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && UpperCaseCodePoint(a[i]) != UpperCaseCodePoint(b[i])) return false;
    return true;
}

}  // namespace fw

#include "localizer/kutils/KStrings.h"

#include "localizer/kutils/nls/NlsBackend.h"

namespace kutils {

namespace {

bool IsAsciiLetter(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// 1-based position of the first occurrence of sub in text; 0 when absent or sub is empty.
int Pos(std::string_view sub, std::string_view text) {
    if (sub.empty()) return 0;
    size_t p = text.find(sub);
    return p == std::string_view::npos ? 0 : static_cast<int>(p) + 1;
}

}  // namespace

bool HasLetters(std::string_view text) {
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (IsAsciiLetter(c) || c >= 128) return true;
    }
    return false;
}

bool HasNonSymbolChars(std::u16string_view text) {
    for (char16_t c : text) {
        bool symbol = (c >= 33 && c <= 64) || (c >= 91 && c <= 96) || (c >= 123 && c <= 126);
        if (!symbol) return true;
    }
    return false;
}

std::string Spaces(int count) {
    return count > 0 ? std::string(static_cast<size_t>(count), ' ') : std::string();
}

int PosNth(std::string_view sub, std::string_view text, int from, int n) {
    if (sub.empty() || text.empty() || from > static_cast<int>(text.size()) || n < 1) return 0;
    if (from < 1) from = 1;
    int found = 0;
    for (size_t a = static_cast<size_t>(from - 1); a + sub.size() <= text.size(); ++a) {
        if (text.compare(a, sub.size(), sub) == 0 && ++found == n) return static_cast<int>(a) + 1;
    }
    return 0;
}

int PosText(std::string_view sub, std::string_view text) {
    return Pos(AnsiLowerCase(sub), AnsiLowerCase(text));
}

std::string TrimmedPartBefore(std::string_view separator, std::string_view text) {
    int p = Pos(separator, text);
    if (p == 0) return std::string(text);
    return fw::Trim(text.substr(0, static_cast<size_t>(p - 1)));
}

int32_t StrToIntZero(std::string_view text) {
    std::string t = fw::Trim(text);
    int32_t v = 0;
    if (t.empty() || !fw::TryStrToInt(t, v)) return 0;
    return v;
}

int HexDigitToInt(char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    throw EKStringsError(std::string(1, ch) + " is not a hex digit");
}

int32_t HexToInt(std::string_view text) {
    // Rightmost digit first; digits beyond the eighth only wrap (16^8 is 0 in 32 bits) but are
    // still checked. The message names the character as the caller wrote it.
    uint32_t result = 0, weight = 1;
    for (size_t k = text.size(); k-- > 0;) {
        result += static_cast<uint32_t>(HexDigitToInt(text[k])) * weight;
        weight *= 16;
    }
    return static_cast<int32_t>(result);
}

std::string JoinWithSeparator(std::string_view first, std::string_view second, std::string_view separator) {
    if (first.empty()) return std::string(second);
    if (second.empty()) return std::string(first);
    bool oneChar = separator.size() == 1;
    bool ends = oneChar && first.back() == separator[0];
    bool starts = oneChar && second.front() == separator[0];
    std::string r(first);
    if (ends && starts)
        r.append(second.substr(1));
    else if (ends || starts)
        r.append(second);
    else
        r.append(separator).append(second);
    return r;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    return JoinWithSeparator(folder, name, "\\");
}

std::string JoinDotted(std::string_view first, std::string_view second) {
    if (first.empty()) return std::string(second);
    if (second.empty()) return std::string(first);
    std::string r(first);
    r += '.';
    r.append(second);
    return r;
}

std::string QuoteString(std::string_view text, char quoteChar) {
    std::string r(1, quoteChar);
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 32) {
            r += text[i];
            if (text[i] == quoteChar) r += quoteChar;
            ++i;
        } else {
            r += quoteChar;
            while (i < text.size() && static_cast<unsigned char>(text[i]) < 32) {
                r += '#';
                r += std::to_string(static_cast<unsigned char>(text[i]));
                ++i;
            }
            if (i >= text.size()) return r;  // ends with a code, not a quote
            r += quoteChar;
        }
    }
    r += quoteChar;
    return r;
}

int IndexOfText(const std::vector<std::string>& list, std::string_view text) {
    for (size_t i = 0; i < list.size(); ++i)
        if (fw::SameTextAscii(list[i], text)) return static_cast<int>(i);
    return -1;
}

void SplitAt(std::string_view separator, std::string_view text, std::string& left, std::string& right) {
    int p = Pos(separator, text);
    if (p == 0) {
        left.clear();
        right.clear();
        return;
    }
    // The whole separator is dropped, also when it is longer than one character.
    left.assign(text.substr(0, static_cast<size_t>(p - 1)));
    right.assign(text.substr(static_cast<size_t>(p - 1) + separator.size()));
}

bool TextInArray(std::string_view text, const std::vector<std::string>& items) {
    return IndexOfText(items, text) >= 0;
}

namespace {

// Wildcard matching of a text against a mask: the text and the mask advance together up to the
// first "*"; "?" passes over one text character unseen (at the end of the mask also none); "*"
// tries each occurrence of the literal that follows it, from the left, and matches the rest of
// the mask from just after that occurrence. A "*" directly followed by a wildcard has an empty
// literal, which is never found.
//
// Trying every occurrence for every "*" recursively is exponential in the number of "*" and
// nests one level per "*". It is not needed: once an occurrence lets the rest reach the next
// "*", a later choice for this "*" would reach that next "*" further right, where it could only
// pick from a subset of the occurrences the next "*" tries anyway. So only the latest "*" is
// ever retried, in a loop, with the same results.
class TWildcardMatcher {
public:
    TWildcardMatcher(std::string_view text, std::string_view mask) : t_(text), m_(mask) {}

    bool Run() {
        Star star;
        int r = Enter(0, 0, star);
        while (r < 0) {
            r = 0;
            for (size_t p = Find(star, star.from); p != std::string_view::npos; p = Find(star, p + 1)) {
                Star next;
                int e = Enter(p + star.litLen, star.rest, next);
                if (e > 0) return true;
                if (e < 0) {
                    star = next;
                    r = -1;
                    break;
                }
            }
        }
        return r > 0;
    }

private:
    struct Star {
        size_t lit = 0;  // the literal after the "*": mask offset and length
        size_t litLen = 0;
        size_t from = 0;  // text offset where the "*" stands
        size_t rest = 0;  // mask offset after the literal
    };

    size_t NextWildcard(size_t from) const {
        size_t w = m_.find_first_of("*?", from);
        return w == std::string_view::npos ? m_.size() : w;
    }

    // The first start at or after from where the literal stands complete in the text.
    size_t Find(const Star& star, size_t from) const {
        if (star.litLen == 0 || from >= t_.size()) return std::string_view::npos;
        return t_.find(m_.substr(star.lit, star.litLen), from);
    }

    // Matches the text from t against the mask from m up to the mask's first "*":
    // 1 matched, 0 failed, -1 reached a "*" (described in star).
    int Enter(size_t t, size_t m, Star& star) const {
        std::string_view text = t_.substr(t), mask = m_.substr(m);
        if ((text.empty() && mask.empty()) || mask == "*") return 1;
        size_t i = 0;
        for (;;) {
            size_t w = NextWildcard(m + i) - m;
            size_t len = w - i;
            if (len > 0 && (i + len > text.size() || text.compare(i, len, mask.substr(i, len)) != 0)) return 0;
            if (w >= mask.size()) return w >= text.size() ? 1 : 0;
            if (mask[w] == '?') {
                i = w + 1;  // the text character there is passed over unseen
                continue;
            }
            size_t v = w + 1;
            if (v >= mask.size()) return 1;  // a final "*" takes the rest
            size_t litEnd = NextWildcard(m + v) - m;
            star = Star{m + v, litEnd - v, t + w, m + litEnd};
            return -1;
        }
    }

    std::string_view t_, m_;
};

}  // namespace

bool MatchesWildcard(std::string_view text, std::string_view mask, bool caseSensitive) {
    if (caseSensitive) return TWildcardMatcher(text, mask).Run();
    std::string t = AnsiLowerCase(text), m = AnsiLowerCase(mask);
    return TWildcardMatcher(t, m).Run();
}

std::string AnsiLowerCase(std::string_view text) {
    std::string r(text);
    nls::AnsiCaseMap(r, false);
    return r;
}

std::string AnsiUpperCase(std::string_view text) {
    std::string r(text);
    nls::AnsiCaseMap(r, true);
    return r;
}

}  // namespace kutils

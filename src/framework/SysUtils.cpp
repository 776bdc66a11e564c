#include "SysUtils.h"

#include <cstdio>
#include <limits>

namespace fw {

namespace {

std::string FormatInt(int64_t v, char conv, bool left, bool zero, int width, int precision) {
    std::string digits;
    bool negative = false;
    if (conv == 'd') {
        negative = v < 0;
        uint64_t u = negative ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
        do {
            digits.insert(digits.begin(), static_cast<char>('0' + u % 10));
            u /= 10;
        } while (u);
    } else {
        // %u and %x treat the value as the 32-bit word it is in the program.
        uint64_t u = static_cast<uint32_t>(v);
        if (v > std::numeric_limits<uint32_t>::max() || v < std::numeric_limits<int32_t>::min())
            u = static_cast<uint64_t>(v);
        const char* set = conv == 'X' || conv == 'x' ? "0123456789ABCDEF" : "0123456789";
        unsigned base = conv == 'u' ? 10 : 16;
        do {
            digits.insert(digits.begin(), set[u % base]);
            u /= base;
        } while (u);
        if (conv == 'x')
            for (char& c : digits)
                if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    }
    if (precision >= 0 && static_cast<int>(digits.size()) < precision)
        digits.insert(0, static_cast<size_t>(precision) - digits.size(), '0');
    if (negative) digits.insert(digits.begin(), '-');
    if (static_cast<int>(digits.size()) < width) {
        size_t pad = static_cast<size_t>(width) - digits.size();
        if (left)
            digits.append(pad, ' ');
        else if (zero && precision < 0)
            digits.insert(negative ? 1 : 0, pad, '0');
        else
            digits.insert(0, pad, ' ');
    }
    return digits;
}

ResStringLoader g_loader = nullptr;

}  // namespace

std::string Format(std::string_view fmt, std::initializer_list<FormatArg> args) {
    std::string out;
    auto arg = args.begin();
    for (size_t i = 0; i < fmt.size(); ++i) {
        char c = fmt[i];
        if (c != '%') {
            out += c;
            continue;
        }
        if (++i >= fmt.size())
            throw EConvertError("Format '" + std::string(fmt) + "' invalid or incompatible with argument");
        if (fmt[i] == '%') {
            out += '%';
            continue;
        }
        bool left = false, zero = false;
        for (; i < fmt.size() && (fmt[i] == '-' || fmt[i] == '0'); ++i) (fmt[i] == '-' ? left : zero) = true;
        int width = 0, precision = -1;
        for (; i < fmt.size() && fmt[i] >= '0' && fmt[i] <= '9'; ++i) width = width * 10 + (fmt[i] - '0');
        if (i < fmt.size() && fmt[i] == '.') {
            precision = 0;
            for (++i; i < fmt.size() && fmt[i] >= '0' && fmt[i] <= '9'; ++i)
                precision = precision * 10 + (fmt[i] - '0');
        }
        if (i >= fmt.size() || arg == args.end())
            throw EConvertError("Format '" + std::string(fmt) + "' invalid or incompatible with argument");
        char conv = fmt[i];
        const auto& v = arg->Value();
        ++arg;
        if (conv == 's') {
            if (!std::holds_alternative<std::string>(v))
                throw EConvertError("Format '" + std::string(fmt) + "' invalid or incompatible with argument");
            std::string s = std::get<std::string>(v);
            if (precision >= 0 && static_cast<int>(s.size()) > precision) s.resize(static_cast<size_t>(precision));
            if (static_cast<int>(s.size()) < width) {
                size_t pad = static_cast<size_t>(width) - s.size();
                left ? s.append(pad, ' ') : s.insert(0, pad, ' ');
            }
            out += s;
        } else if (conv == 'd' || conv == 'u' || conv == 'x' || conv == 'X') {
            if (!std::holds_alternative<int64_t>(v))
                throw EConvertError("Format '" + std::string(fmt) + "' invalid or incompatible with argument");
            out += FormatInt(std::get<int64_t>(v), conv, left, zero, width, precision);
        } else {
            throw EConvertError("Format '" + std::string(fmt) + "' invalid or incompatible with argument");
        }
    }
    return out;
}

std::string IntToStr(int64_t v) {
    return FormatInt(v, 'd', false, false, 0, -1);
}

std::string IntToHex(uint64_t v, int digits) {
    std::string s;
    do {
        s.insert(s.begin(), "0123456789ABCDEF"[v % 16]);
        v /= 16;
    } while (v);
    if (static_cast<int>(s.size()) < digits) s.insert(0, static_cast<size_t>(digits) - s.size(), '0');
    return s;
}

bool TryStrToInt(std::string_view s, int32_t& out) {
    size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;  // the runtime skips leading blanks only
    bool neg = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) neg = s[i++] == '-';
    unsigned base = 10;
    if (i < s.size() && s[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    } else if (i < s.size() && (s[i] == 'x' || s[i] == 'X')) {
        base = 16;
        ++i;
    }
    if (i >= s.size()) return false;
    uint64_t v = 0;
    for (; i < s.size(); ++i) {
        char c = s[i];
        unsigned d;
        if (c >= '0' && c <= '9')
            d = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = static_cast<unsigned>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = static_cast<unsigned>(c - 'A' + 10);
        else
            return false;
        v = v * base + d;
        if (v > 0xFFFFFFFFull) return false;
    }
    if (base == 10) {
        if (neg ? v > 0x80000000ull : v > 0x7FFFFFFFull) return false;
        out = neg ? static_cast<int32_t>(0 - v) : static_cast<int32_t>(v);
    } else {
        // Hex literals may use all 32 bits.
        int32_t r = static_cast<int32_t>(static_cast<uint32_t>(v));
        out = neg ? static_cast<int32_t>(0u - static_cast<uint32_t>(r)) : r;
    }
    return true;
}

int32_t StrToInt(std::string_view s) {
    int32_t v;
    if (!TryStrToInt(s, v)) throw EConvertError("'" + std::string(s) + "' is not a valid integer value");
    return v;
}

std::string Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
    return std::string(s.substr(b, e - b));
}

std::string UpperCaseAscii(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return r;
}

std::string LowerCaseAscii(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return r;
}

int CompareTextAscii(std::string_view a, std::string_view b) {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool SameTextAscii(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CompareTextAscii(a, b) == 0;
}

void SetResStringLoader(ResStringLoader loader) {
    g_loader = loader;
}

std::string LoadResString(int id, std::string_view english) {
    std::string s;
    if (g_loader && g_loader(id, s)) return s;
    return std::string(english);
}

void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string Utf16ToUtf8(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
        else if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD;
        AppendUtf8(out, c);
    }
    return out;
}

namespace {

std::u16string Latin1ToWide(const std::string& s) {
    std::u16string w;
    w.reserve(s.size());
    for (unsigned char c : s) w.push_back(c);
    return w;
}

std::string WideToLatin1(const std::u16string& w) {
    std::string s;
    s.reserve(w.size());
    for (char16_t c : w) s.push_back(c < 256 ? static_cast<char>(c) : '?');
    return s;
}

TAnsiToWide g_toWide = Latin1ToWide;
TWideToAnsi g_toAnsi = WideToLatin1;

}  // namespace

void SetTextConverters(TAnsiToWide toWide, TWideToAnsi toAnsi) {
    g_toWide = toWide ? toWide : Latin1ToWide;
    g_toAnsi = toAnsi ? toAnsi : WideToLatin1;
}

std::u16string AnsiToWideText(const std::string& text) {
    return g_toWide(text);
}

std::string WideToAnsiText(const std::u16string& text) {
    return g_toAnsi(text);
}

TText& TText::operator=(const std::string& s) {
    assign(s);
    wide_.clear();
    ansiOfWide_.clear();
    return *this;
}

TText& TText::operator=(std::string&& s) {
    std::string::operator=(std::move(s));
    wide_.clear();
    ansiOfWide_.clear();
    return *this;
}

TText& TText::operator=(const char* s) {
    return *this = std::string(s ? s : "");
}

void TText::SetWide(const std::u16string& wide) {
    SetWide(wide, WideToAnsiText(wide));
}

void TText::SetWide(const std::u16string& wide, std::string ansi) {
    assign(ansi);
    ansiOfWide_ = std::move(ansi);
    wide_ = wide;
}

const std::u16string* TText::Wide() const {
    if (wide_.empty() || ansiOfWide_ != static_cast<const std::string&>(*this)) return nullptr;
    return &wide_;
}

std::u16string TText::ToWide() const {
    if (const std::u16string* w = Wide()) return *w;
    return AnsiToWideText(*this);
}

}  // namespace fw

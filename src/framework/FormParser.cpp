#include "FormParser.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "FloatText.h"
#include "Unicode.h"

namespace fw {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

TParser::TParser(std::string_view text) : text_(text) {
    const void* z = std::memchr(text.data(), 0, text.size());
    end_ = z ? static_cast<size_t>(static_cast<const char*>(z) - text.data()) : text.size();
    NextToken();
}

void TParser::Error(const std::string& message) const {
    throw EParserError(Format("%s on line %d", {message, line_}));
}

void TParser::SkipBlanks() {
    while (pos_ < end_) {
        char c = text_[pos_];
        if (static_cast<uint8_t>(c) > 32) break;
        if (c == '\n') ++line_;
        ++pos_;
    }
}

char TParser::NextToken() {
    SkipBlanks();
    tokenStart_ = pos_;
    floatType_ = 0;
    if (pos_ >= end_) return token_ = toEOF;
    char c = text_[pos_];
    // Names in any script, as UTF-8.
    if (size_t n = IdentifierLength(text_.substr(0, end_), pos_)) {
        pos_ += n;
        return token_ = toSymbol;
    }
    if (c == '#' || c == '\'') {
        // Adjacent quoted parts and #codes form one string; a code of 128 or more makes it wide.
        str_.clear();
        wstr_.clear();
        bool wide = false;
        while (pos_ < end_) {
            c = text_[pos_];
            if (c == '#') {
                ++pos_;
                uint32_t code = 0;
                while (pos_ < end_ && IsDigit(text_[pos_])) {
                    code = code * 10 + static_cast<uint32_t>(text_[pos_] - '0');
                    if (code > 0xFFFF) Error("Invalid string constant");
                    ++pos_;
                }
                if (code >= 128) wide = true;
                str_ += static_cast<char>(code);
                wstr_ += static_cast<char16_t>(code);
            } else if (c == '\'') {
                ++pos_;
                while (true) {
                    if (pos_ >= end_ || text_[pos_] == '\n' || text_[pos_] == '\r') Error("Invalid string constant");
                    if (text_[pos_] == '\'') {
                        ++pos_;
                        if (Peek(pos_) != '\'') break;
                    }
                    str_ += text_[pos_];
                    wstr_ += static_cast<char16_t>(static_cast<uint8_t>(text_[pos_]));
                    ++pos_;
                }
            } else {
                break;
            }
        }
        return token_ = wide ? toWString : toString;
    }
    if (c == '$' && HexValue(Peek(pos_ + 1)) >= 0) {
        ++pos_;
        while (pos_ < end_ && HexValue(text_[pos_]) >= 0) ++pos_;
        return token_ = toInteger;
    }
    if (IsDigit(c) || (c == '-' && IsDigit(Peek(pos_ + 1)))) {
        ++pos_;
        while (pos_ < end_ && IsDigit(text_[pos_])) ++pos_;
        token_ = toInteger;
        while (pos_ < end_) {
            c = text_[pos_];
            if (!(IsDigit(c) || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-')) break;
            ++pos_;
            token_ = toFloat;
        }
        // "1.#INF", "1.#NAN<digits>": the values that have no decimal form.
        if (Peek(pos_) == '#' && (text_.substr(pos_ + 1, 3) == "INF" || text_.substr(pos_ + 1, 3) == "NAN")) {
            pos_ += 4;
            while (pos_ < end_ && IsDigit(text_[pos_])) ++pos_;
            token_ = toFloat;
        }
        c = Peek(pos_);
        if (c == 'c' || c == 'C' || c == 'd' || c == 'D' || c == 's' || c == 'S') {
            token_ = toFloat;
            floatType_ = c;
            ++pos_;
        }
        return token_;
    }
    ++pos_;
    return token_ = c;
}

std::string TParser::TokenString() const {
    return std::string(text_.substr(tokenStart_, pos_ - tokenStart_));
}

std::u16string TParser::TokenWideString() const {
    return wstr_;
}

int64_t TParser::TokenInt() const {
    std::string s = TokenString();
    uint64_t u = 0;
    if (!s.empty() && s[0] == '$') {
        // Up to 16 hex digits: the bit pattern of a 64-bit value.
        if (s.size() > 17) Error(Format("'%s' is not a valid integer value", {s}));
        for (size_t i = 1; i < s.size(); ++i) u = (u << 4) | static_cast<uint64_t>(HexValue(s[i]));
        return static_cast<int64_t>(u);
    }
    int64_t v = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size()) Error(Format("'%s' is not a valid integer value", {s}));
    return v;
}

std::string TParser::TokenFloatText() const {
    std::string s = TokenString();
    if (floatType_ && !s.empty()) s.pop_back();
    return s;
}

std::string TParser::TokenComponentIdent() {
    CheckToken(toSymbol);
    while (Peek(pos_) == '.') {
        ++pos_;
        size_t n = IdentifierLength(text_.substr(0, end_), pos_);
        if (!n) Error("Identifier expected");
        pos_ += n;
    }
    return TokenString();
}

bool TParser::TokenSymbolIs(std::string_view s) const {
    return token_ == toSymbol && SameTextAscii(text_.substr(tokenStart_, pos_ - tokenStart_), s);
}

void TParser::CheckToken(char t) const {
    if (token_ == t) return;
    switch (t) {
        case toSymbol:
            Error("Identifier expected");
        case toString:
        case toWString:
            Error("String expected");
        case toInteger:
        case toFloat:
            Error("Number expected");
        default:
            Error(Format("''%s'' expected", {std::string(1, t)}));
    }
}

void TParser::CheckTokenSymbol(std::string_view s) const {
    if (!TokenSymbolIs(s)) Error(Format("%s expected", {s}));
}

std::string TParser::HexToBinary() {
    // The tokeniser stands at "{": read from just after it.
    pos_ = tokenStart_ + 1;
    std::string out;
    while (true) {
        SkipBlanks();
        if (pos_ >= end_) Error("Invalid binary value");
        if (text_[pos_] == '}') break;
        int hi = HexValue(text_[pos_]);
        int lo = HexValue(Peek(pos_ + 1));
        if (hi < 0 || lo < 0) Error("Invalid binary value");
        out += static_cast<char>(hi * 16 + lo);
        pos_ += 2;
    }
    tokenStart_ = pos_;
    ++pos_;
    token_ = '}';
    return out;
}

// ---- float text

bool TextToExtended(std::string_view s, long double& out) {
    TExtended80 e;
    if (!DecimalToExtended(s, e)) return false;
    out = ExtendedToLongDouble(e);
    return true;
}

bool TextToSingle(std::string_view s, float& out) {
    return DecimalToSingle(s, out);
}

bool TextToDouble(std::string_view s, double& out) {
    return DecimalToDouble(s, out);
}

// ---- text form to binary form

namespace {

class TTextToBinary {
public:
    TTextToBinary(std::string_view text, TWriter& w) : p_(text), w_(w) {}

    void Run() {
        w_.WriteSignature();
        ConvertObject();
        w_.FlushBuffer();
    }

private:
    TParser p_;
    TWriter& w_;
    int depth_ = 0;

    void Enter() {
        if (++depth_ > kMaxFormNesting)
            p_.Error(Format("Objects or values nested deeper than %d levels", {kMaxFormNesting}));
    }

    void ConvertObject() {
        Enter();
        uint8_t flags = 0;
        if (p_.TokenSymbolIs("INHERITED"))
            flags = ffInherited;
        else if (p_.TokenSymbolIs("INLINE"))
            flags = ffInline;
        else
            p_.CheckTokenSymbol("OBJECT");
        p_.NextToken();
        p_.CheckToken(toSymbol);
        // A record starting with a length byte of 0xF0 or more reads as a prefix: such class
        // names cannot be stored.
        auto checkClassName = [&](const std::string& name) {
            if (name.size() >= 0xF0) p_.Error(Format("Class name is too long: \"%s\"", {name}));
        };
        std::string className = p_.TokenString();
        std::string objectName;
        if (p_.NextToken() == ':') {
            p_.NextToken();
            p_.CheckToken(toSymbol);
            objectName = className;
            className = p_.TokenString();
            checkClassName(className);
            p_.NextToken();
        } else {
            checkClassName(className);
        }
        int64_t position = -1;
        if (p_.Token() == '[') {
            p_.NextToken();
            p_.CheckToken(toInteger);
            position = p_.TokenInt();
            p_.NextToken();
            p_.CheckToken(']');
            p_.NextToken();
            flags |= ffChildPos;
        }
        w_.WritePrefix(flags, position);
        w_.WriteStr(className);
        w_.WriteStr(objectName);
        while (!p_.TokenSymbolIs("END") && !p_.TokenSymbolIs("OBJECT") && !p_.TokenSymbolIs("INHERITED") &&
               !p_.TokenSymbolIs("INLINE"))
            ConvertProperty();
        w_.WriteListEnd();
        while (!p_.TokenSymbolIs("END")) ConvertObject();
        w_.WriteListEnd();
        p_.NextToken();
        --depth_;
    }

    void ConvertProperty() {
        p_.CheckToken(toSymbol);
        std::string name = p_.TokenString();
        p_.NextToken();
        while (p_.Token() == '.') {
            p_.NextToken();
            p_.CheckToken(toSymbol);
            name += '.';
            name += p_.TokenString();
            p_.NextToken();
        }
        w_.WriteStr(name);
        p_.CheckToken('=');
        p_.NextToken();
        ConvertValue();
    }

    // Leaves the tokeniser on the token after the value.
    void ConvertValue() {
        switch (p_.Token()) {
            case toString:
            case toWString:
                ConvertString();
                return;
            case toSymbol:
                w_.WriteIdent(p_.TokenComponentIdent());
                break;
            case toInteger:
                w_.WriteInteger(p_.TokenInt());
                break;
            case toFloat:
                ConvertFloat();
                break;
            case '[':
                p_.NextToken();
                w_.WriteValue(vaSet);
                if (p_.Token() != ']') {
                    while (true) {
                        if (p_.Token() != toInteger) p_.CheckToken(toSymbol);
                        w_.WriteStr(p_.TokenString());
                        if (p_.NextToken() == ']') break;
                        p_.CheckToken(',');
                        p_.NextToken();
                    }
                }
                w_.WriteStr("");
                break;
            case '(':
                Enter();
                p_.NextToken();
                w_.WriteListBegin();
                while (p_.Token() != ')') ConvertValue();
                w_.WriteListEnd();
                --depth_;
                break;
            case '{': {
                std::string data = p_.HexToBinary();
                w_.WriteBinary(data.data(), data.size());
                break;
            }
            case '<':
                Enter();
                p_.NextToken();
                w_.WriteValue(vaCollection);
                while (p_.Token() != '>') {
                    p_.CheckTokenSymbol("item");
                    p_.NextToken();
                    if (p_.Token() == '[') {
                        p_.NextToken();
                        p_.CheckToken(toInteger);
                        w_.WriteInteger(p_.TokenInt());
                        p_.NextToken();
                        p_.CheckToken(']');
                        p_.NextToken();
                    }
                    w_.WriteListBegin();
                    while (!p_.TokenSymbolIs("end")) ConvertProperty();
                    w_.WriteListEnd();
                    p_.NextToken();
                }
                w_.WriteListEnd();
                --depth_;
                break;
            default:
                p_.Error("Invalid property value");
        }
        p_.NextToken();
    }

    // Parts joined by "+": 8-bit text until the first wide part, wide text from then on.
    void ConvertString() {
        std::string ansi;
        std::u16string wide;
        bool isWide = false;
        while (true) {
            if (p_.Token() == toWString) {
                if (!isWide) {
                    wide = w_.AnsiToWide(ansi);
                    isWide = true;
                }
                wide += p_.TokenWideString();
            } else if (isWide) {
                wide += w_.AnsiToWide(p_.TokenAnsiString());
            } else {
                ansi += p_.TokenAnsiString();
            }
            if (p_.NextToken() != '+') break;
            p_.NextToken();
            if (p_.Token() != toWString) p_.CheckToken(toString);
        }
        if (isWide)
            w_.WriteWideString(wide);
        else
            w_.WriteString(ansi);
    }

    void ConvertFloat() {
        std::string text = p_.TokenFloatText();
        auto bad = [&] { p_.Error(Format("'%s' is not a valid floating point value", {p_.TokenString()})); };
        switch (p_.FloatType()) {
            case 's':
            case 'S': {
                // As bits: a float register would quiet a NaN on 32-bit x86.
                uint32_t f = 0;
                if (!DecimalToSingleBits(text, f)) bad();
                w_.WriteSingleBits(f);
                break;
            }
            case 'd':
            case 'D': {
                uint64_t d = 0;
                if (!DecimalToDoubleBits(text, d)) bad();
                w_.WriteDateBits(d);
                break;
            }
            case 'c':
            case 'C': {
                // The text holds the amount x 10000; integers are taken exactly.
                int64_t v = 0;
                auto r = std::from_chars(text.data(), text.data() + text.size(), v);
                if (r.ec != std::errc() || r.ptr != text.data() + text.size()) {
                    long double x;
                    if (!TextToExtended(text, x)) bad();
                    x = std::nearbyint(x);
                    if (!(x >= -9223372036854775808.0L && x < 9223372036854775808.0L)) bad();
                    v = static_cast<int64_t>(x);
                }
                w_.WriteCurrency(v);
                break;
            }
            default: {
                TExtended80 x;
                if (!DecimalToExtended(text, x)) bad();
                w_.WriteExtended(x);
            }
        }
    }
};

}  // namespace

void ObjectTextToBinary(std::string_view text, TWriter& writer) {
    TTextToBinary(text, writer).Run();
}

void ObjectTextToBinary(TStream& input, TWriter& writer) {
    int64_t left = input.Size() - input.Position();
    std::string text(left > 0 ? static_cast<size_t>(left) : 0, '\0');
    input.ReadBuffer(text.data(), static_cast<int64_t>(text.size()));
    ObjectTextToBinary(std::string_view(text), writer);
}

}  // namespace fw

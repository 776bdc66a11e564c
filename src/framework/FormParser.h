// The form-text tokeniser and the conversion of the text form to a binary form.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Classes.h"
#include "FormStream.h"

namespace fw {

// Token kinds; any other token is the character itself.
constexpr char toEOF = 0;
constexpr char toSymbol = 1;
constexpr char toString = 2;
constexpr char toInteger = 3;
constexpr char toFloat = 4;
constexpr char toWString = 5;

// Tokeniser over a text it does not own; never reads past its end (a zero byte also ends it).
// Errors are EParserError "%s on line %d".
class TParser {
public:
    explicit TParser(std::string_view text);

    char Token() const { return token_; }
    char NextToken();
    int SourceLine() const { return line_; }
    // Raw text of the current token (a string token's text as written, quotes included).
    std::string TokenString() const;
    std::string TokenAnsiString() const { return str_; }  // toString value
    std::u16string TokenWideString() const;               // toString (bytes as code units) or toWString value
    int64_t TokenInt() const;                             // toInteger; EParserError when out of the 64-bit range
    char FloatType() const { return floatType_; }         // 'c', 'd', 's' (as written) or 0
    // The token's number text without its suffix, for float conversion with "." as separator.
    std::string TokenFloatText() const;
    // Extends an identifier token by directly following ".ident" parts and returns the text.
    std::string TokenComponentIdent();
    bool TokenSymbolIs(std::string_view s) const;

    void CheckToken(char t) const;
    void CheckTokenSymbol(std::string_view s) const;
    [[noreturn]] void Error(const std::string& message) const;
    // Hex digit pairs up to "}" (blanks and line breaks skipped); the tokeniser is then at "}".
    std::string HexToBinary();

private:
    void SkipBlanks();
    char Peek(size_t at) const { return at < end_ ? text_[at] : '\0'; }

    std::string_view text_;
    size_t end_;  // the text ends at its size or at its first zero byte
    size_t pos_ = 0;
    size_t tokenStart_ = 0;
    char token_ = toEOF;
    char floatType_ = 0;
    int line_ = 1;
    std::string str_;      // string token: bytes (toString)
    std::u16string wstr_;  // string token: code units (toWString)
};

// Parses float texts with "." as decimal separator whatever the locale; false on bad text.
bool TextToExtended(std::string_view s, long double& out);
bool TextToSingle(std::string_view s, float& out);
bool TextToDouble(std::string_view s, double& out);

// Converts the text form to a binary form through the writer ("TPF0", one object), then
// flushes the writer.
void ObjectTextToBinary(std::string_view text, TWriter& writer);
void ObjectTextToBinary(TStream& input, TWriter& writer);

}  // namespace fw

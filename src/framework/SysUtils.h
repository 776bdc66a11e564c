// Base exception type and the small run-time helpers every unit uses.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>

namespace fw {

// Every failure of the program is an Exception (or a descendant) carrying a message.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const std::string& Message() const noexcept { return message_; }
    void SetMessage(std::string m) { message_ = std::move(m); }
    const char* what() const noexcept override { return message_.c_str(); }
    virtual const char* ClassName() const noexcept { return "Exception"; }

private:
    std::string message_;
};

// Base may be qualified (fw::Exception): the constructors are inherited through an alias.
#define FW_DECLARE_EXCEPTION(Name, Base)                                  \
    class Name : public Base {                                            \
        using BaseType_ = Base;                                           \
                                                                          \
    public:                                                               \
        using BaseType_::BaseType_;                                       \
        const char* ClassName() const noexcept override { return #Name; } \
    }

// The run-time library's own errors.
FW_DECLARE_EXCEPTION(EStreamError, Exception);
FW_DECLARE_EXCEPTION(EReadError, EStreamError);
FW_DECLARE_EXCEPTION(EWriteError, EStreamError);
FW_DECLARE_EXCEPTION(EFOpenError, EStreamError);
FW_DECLARE_EXCEPTION(EFCreateError, EStreamError);
FW_DECLARE_EXCEPTION(EConvertError, Exception);
FW_DECLARE_EXCEPTION(EListError, Exception);
FW_DECLARE_EXCEPTION(EInOutError, Exception);
FW_DECLARE_EXCEPTION(EOutOfMemory, Exception);
FW_DECLARE_EXCEPTION(EOleError, Exception);
FW_DECLARE_EXCEPTION(EPackageError, Exception);
FW_DECLARE_EXCEPTION(EParserError, Exception);

// One argument of Format: an integer or a text.
class FormatArg {
public:
    FormatArg(int v) : v_(static_cast<int64_t>(v)) {}
    FormatArg(unsigned v) : v_(static_cast<int64_t>(v)) {}
    FormatArg(long v) : v_(static_cast<int64_t>(v)) {}
    FormatArg(unsigned long v) : v_(static_cast<int64_t>(v)) {}
    FormatArg(long long v) : v_(static_cast<int64_t>(v)) {}
    FormatArg(unsigned long long v) : v_(static_cast<int64_t>(v)) {}
    FormatArg(const char* s) : v_(std::string(s ? s : "")) {}
    FormatArg(std::string s) : v_(std::move(s)) {}
    FormatArg(std::string_view s) : v_(std::string(s)) {}
    const std::variant<int64_t, std::string>& Value() const { return v_; }

private:
    std::variant<int64_t, std::string> v_;
};

// The runtime's Format for the subset the program uses: %s %d %u %x %X with flags "-0",
// width and precision ("%.8x", "%5d"), and "%%". A mismatched argument raises EConvertError.
std::string Format(std::string_view fmt, std::initializer_list<FormatArg> args);

std::string IntToStr(int64_t v);
std::string IntToHex(uint64_t v, int digits);
// Signed 32-bit conversion as the runtime does it: optional sign, decimal or "$"/"0x"/"x" hex.
bool TryStrToInt(std::string_view s, int32_t& out);
int32_t StrToInt(std::string_view s);  // EConvertError "'%s' is not a valid integer value"
std::string Trim(std::string_view s);  // removes characters <= 32 at both ends
std::string UpperCaseAscii(std::string_view s);
std::string LowerCaseAscii(std::string_view s);
bool SameTextAscii(std::string_view a, std::string_view b);
// Appends one code point (up to 0x10FFFF) in UTF-8.
void AppendUtf8(std::string& out, uint32_t codePoint);
// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
int CompareTextAscii(std::string_view a, std::string_view b);

// How the framework turns its 8-bit texts into UTF-16 and back: Latin-1 until the platform
// installs the conversions of the system code page.
using TAnsiToWide = std::u16string (*)(const std::string&);
using TWideToAnsi = std::string (*)(const std::u16string&);
void SetTextConverters(TAnsiToWide toWide, TWideToAnsi toAnsi);
std::u16string AnsiToWideText(const std::string& text);
std::string WideToAnsiText(const std::u16string& text);

// A text of a control: 8-bit, as the framework keeps its texts, and, when it was set from UTF-16,
// that text too, so that what the code page cannot hold is still shown as it is. The UTF-16
// form holds while the 8-bit text is the one it came with: assigning 8-bit text drops it, and
// a change made through the 8-bit text in place leaves it unused.
class TText : public std::string {
public:
    TText() = default;
    TText(const std::string& s) : std::string(s) {}
    TText(std::string&& s) : std::string(std::move(s)) {}
    TText(const char* s) : std::string(s) {}
    TText(const TText&) = default;
    TText(TText&&) = default;
    TText& operator=(const TText&) = default;
    TText& operator=(TText&&) = default;
    TText& operator=(const std::string& s);
    TText& operator=(std::string&& s);
    TText& operator=(const char* s);

    // The 8-bit form is the framework's conversion of the text unless one is given.
    void SetWide(const std::u16string& wide);
    void SetWide(const std::u16string& wide, std::string ansi);
    // The UTF-16 text it was set with; nullptr when it was set 8-bit or changed since.
    const std::u16string* Wide() const;
    // The text in UTF-16: the one it was set with, or its 8-bit form converted.
    std::u16string ToWide() const;

private:
    std::u16string wide_;
    std::string ansiOfWide_;
};

// Library messages live in the program's string table so that a translated resource module can
// replace them. Portable code names the id and the English text; the Windows build reads the
// id through the runtime's module list, the host build returns the English text.
using ResStringLoader = bool (*)(int id, std::string& out);
void SetResStringLoader(ResStringLoader loader);
std::string LoadResString(int id, std::string_view english);

}  // namespace fw

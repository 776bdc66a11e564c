// Binary form streams ("TPF0"): the value tags, a bounds-checked reader, the writer, the
// resource-form header and the standard conversion of a binary form to its text form.
// The component model creates components from the same reader.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ByteReader.h"
#include "Classes.h"
#include "SysUtils.h"

namespace fw {

enum TValueType : uint8_t {
    vaNull = 0,
    vaList = 1,
    vaInt8 = 2,
    vaInt16 = 3,
    vaInt32 = 4,
    vaExtended = 5,
    vaString = 6,
    vaIdent = 7,
    vaFalse = 8,
    vaTrue = 9,
    vaBinary = 10,
    vaSet = 11,
    vaLString = 12,
    vaNil = 13,
    vaCollection = 14,
    vaSingle = 15,
    vaCurrency = 16,
    vaDate = 17,
    vaWString = 18,
    vaInt64 = 19,
    vaUTF8String = 20,
};
constexpr uint8_t vaMaxValueType = vaUTF8String;

// Object prefix flags (the prefix byte is 0xF0 | flags).
enum TFilerFlag : uint8_t { ffInherited = 1, ffChildPos = 2, ffInline = 4 };

constexpr char kFormSignature[4] = {'T', 'P', 'F', '0'};
// Objects, lists and collections nest at most this deep; deeper streams are rejected instead of
// recursing without bound.
constexpr int kMaxFormNesting = 256;

// An 80-bit x87 extended value as stored in the stream (10 bytes, little-endian).
struct TExtended80 {
    uint8_t bytes[10] = {};
    bool operator==(const TExtended80&) const = default;
};
TExtended80 LongDoubleToExtended(long double v);
long double ExtendedToLongDouble(const TExtended80& e);

// UTF-8 to UTF-16 without any code page: malformed sequences become U+FFFD (the other way:
// Utf16ToUtf8 in SysUtils).
std::u16string Utf8ToUtf16(std::string_view s);

// Reads the values of a binary form from bytes it does not own. Every length is checked against
// what is left (EReadError); nesting is bounded by kMaxFormNesting.
class TFormReader {
public:
    TFormReader(const void* data, size_t size) : r_(data, size) {}
    explicit TFormReader(const std::vector<uint8_t>& v) : r_(v) {}

    size_t Position() const { return r_.Pos(); }
    size_t Left() const { return r_.Left(); }

    void ReadSignature();  // "Invalid stream format" unless "TPF0"
    // Optional 0xF0|flags byte and, with ffChildPos, the child position; -1 without one.
    void ReadPrefix(uint8_t& flags, int64_t& position);
    std::string ReadStr();  // short string

    TValueType NextValue();  // peeks; EReadError at the end of data or on an unknown tag
    TValueType ReadValue();
    bool EndOfList();    // the next byte is 0 (end of a list, of properties or of children)
    void ReadListEnd();  // "Invalid stream format" unless the next tag is 0

    int64_t ReadInteger();       // tags 2, 3, 4, 19
    TExtended80 ReadExtended();  // tag 5
    float ReadSingle();          // tag 15
    double ReadDate();           // tag 17
    // The same as stored bits: 32-bit x86 loads floats into the x87 unit, which quiets NaNs.
    uint32_t ReadSingleBits();
    uint64_t ReadDateBits();
    int64_t ReadCurrency();             // tag 16: the stored amount x 10000
    std::string ReadAnsiString();       // tags 6, 12
    std::u16string ReadWideString();    // tags 18 and 20 (UTF-8 decoded)
    std::string ReadIdent();            // tags 7, 8, 9, 0, 13 by name
    std::vector<uint8_t> ReadBinary();  // tag 10
    // Moves past one value of any kind, nested ones included.
    void SkipValue();

    // Nesting guard for readers that recurse over objects, lists and collections.
    void EnterNesting();
    void LeaveNesting() { --depth_; }

    [[noreturn]] void Fail(const std::string& what) const;

private:
    std::string ReadBytes(uint32_t n);
    TByteReader r_;
    int depth_ = 0;
};

// Writes the values of a binary form through a 4096-byte buffer (FlushBuffer at the end).
// Derived writers decide how 8-bit text is stored (the UTF-8 rule) and which ANSI code page
// links 8-bit and wide text; this writer takes 8-bit text as Latin-1.
class TWriter {
public:
    static constexpr size_t kBufferSize = 4096;
    explicit TWriter(TStream& stream) : stream_(stream) { buffer_.reserve(kBufferSize); }
    virtual ~TWriter() = default;
    TWriter(const TWriter&) = delete;
    TWriter& operator=(const TWriter&) = delete;

    void FlushBuffer();

    void WriteSignature() { Write(kFormSignature, 4); }
    void WritePrefix(uint8_t flags, int64_t childPos);
    void WriteStr(std::string_view s);  // short string, cut to 255 bytes
    void WriteValue(TValueType v) { WriteByte(v); }
    void WriteListBegin() { WriteValue(vaList); }
    void WriteListEnd() { WriteValue(vaNull); }
    // The smallest of tags 2, 3, 4, 19 that holds the value.
    void WriteInteger(int64_t v);
    void WriteExtended(const TExtended80& v);
    void WriteSingle(float v);
    void WriteDate(double v);
    void WriteSingleBits(uint32_t bits);
    void WriteDateBits(uint64_t bits);
    void WriteCurrency(int64_t amountTimes10000);
    // "False", "True", "Null", "nil" (any case) as tags 8, 9, 0, 13; anything else tag 7.
    void WriteIdent(std::string_view name);
    // 8-bit text: tag 20 when its UTF-8 form differs, else tag 6 (< 256 bytes) or tag 12.
    void WriteString(const std::string& ansi);
    // Wide text: as 8-bit text with its UTF-8 encoding when that is shorter than 2 bytes per
    // character (and Utf8ForWide), else tag 18.
    void WriteWideString(const std::u16string& w);
    // Off for readers that know wide strings but not UTF-8 ones: wide text is then always tag 18
    // (plain ASCII aside, which stays an 8-bit string).
    bool Utf8ForWide = true;
    void WriteBinary(const void* data, size_t size);

    // The code-page links; overridden by writers that know the system and language code pages.
    virtual std::u16string AnsiToWide(const std::string& ansi) const;
    virtual std::string WideToAnsi(const std::u16string& w) const;
    // The UTF-8 form under which 8-bit text is stored; the text itself when no UTF-8 is wanted.
    virtual std::string Utf8FormOf(const std::string& ansi) const { return ansi; }

    void Write(const void* data, size_t size);
    void WriteByte(uint8_t b) { Write(&b, 1); }

protected:
    void WriteAnsiOrUtf8(const std::string& ansi, const std::string& utf8);

private:
    TStream& stream_;
    std::vector<uint8_t> buffer_;
};

enum TFormFormat : int { ffResource = 0, ffBinary = 1, ffText = 2 };

// 0 resource form, 1 binary form, 2 text form; the stream is left at position 0.
int DetectFormStreamFormat(TStream& stream);

// The standard conversions of a form to its text form (CR LF line ends, "." as decimal point).
std::string ObjectBinaryToText(const void* data, size_t size);
void ObjectBinaryToText(TStream& input, TStream& output);
// Checks and skips the resource header, then converts the binary form behind it.
void ObjectResourceToText(TStream& input, TStream& output);

// The resource-form header for a binary form: 0xFF, type 10, the class name upper-cased and
// zero-terminated, flags 0x1030, the size. EParserError "Component name is too long: \"%s\""
// for class names of 70 bytes or more.
void BinaryToResourceForm(const std::vector<uint8_t>& binary, TStream& output);

// Text of a float value the way the text form writes it; round trips through the tokeniser.
std::string ExtendedToText(const TExtended80& v);
std::string SingleToText(float v);
std::string DoubleToText(double v);
std::string SingleBitsToText(uint32_t bits);
std::string DoubleBitsToText(uint64_t bits);

}  // namespace fw

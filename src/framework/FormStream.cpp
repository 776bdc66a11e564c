#include "FormStream.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>

#include "Unicode.h"

namespace fw {

static_assert(LDBL_MANT_DIG == 64, "extended values are kept in the x87 80-bit long double");

TExtended80 LongDoubleToExtended(long double v) {
    TExtended80 e;
    std::memcpy(e.bytes, &v, 10);
    return e;
}

long double ExtendedToLongDouble(const TExtended80& e) {
    long double v = 0;
    std::memcpy(&v, e.bytes, 10);
    return v;
}

// ---- UTF-8 / UTF-16

std::u16string Utf8ToUtf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        char32_t cp = 0xFFFD;
        size_t len = 1;
        if (!DecodeUtf8(s, i, cp, len)) {
            cp = 0xFFFD;
            len = 1;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return out;
}

// ---- TFormReader

void TFormReader::Fail(const std::string& what) const {
    throw EReadError(
        Format("Invalid stream format: %s at offset %u", {what, static_cast<unsigned long long>(r_.Pos())}));
}

void TFormReader::ReadSignature() {
    if (r_.Left() < 4 || std::memcmp(r_.Data() + r_.Pos(), kFormSignature, 4) != 0)
        throw EReadError("Invalid stream format");
    r_.Skip(4);
}

void TFormReader::EnterNesting() {
    if (++depth_ > kMaxFormNesting) {
        --depth_;
        Fail(Format("objects or values nested deeper than %d levels", {kMaxFormNesting}));
    }
}

void TFormReader::ReadPrefix(uint8_t& flags, int64_t& position) {
    flags = 0;
    position = -1;
    if (!r_.AtEnd() && (r_.Data()[r_.Pos()] & 0xF0) == 0xF0) {
        flags = r_.U8() & 0x0F;
        if (flags & ffChildPos) position = ReadInteger();
    }
}

std::string TFormReader::ReadBytes(uint32_t n) {
    if (n > r_.Left())
        Fail(Format("a length of %u bytes where %u are left",
                    {static_cast<unsigned long long>(n), static_cast<unsigned long long>(r_.Left())}));
    return r_.Str(n);
}

std::string TFormReader::ReadStr() {
    if (r_.AtEnd()) Fail("unexpected end of data");
    return ReadBytes(r_.U8());
}

TValueType TFormReader::NextValue() {
    if (r_.AtEnd()) Fail("unexpected end of data");
    uint8_t v = r_.Data()[r_.Pos()];
    if (v > vaMaxValueType) Fail(Format("unknown value type %d", {static_cast<int>(v)}));
    return static_cast<TValueType>(v);
}

bool TFormReader::EndOfList() {
    if (r_.AtEnd()) Fail("unexpected end of data");
    return r_.Data()[r_.Pos()] == 0;
}

TValueType TFormReader::ReadValue() {
    TValueType v = NextValue();
    r_.Skip(1);
    return v;
}

void TFormReader::ReadListEnd() {
    if (ReadValue() != vaNull) Fail("end of list expected");
}

int64_t TFormReader::ReadInteger() {
    size_t at = r_.Pos();
    switch (ReadValue()) {
        case vaInt8:
            if (r_.Left() < 1) break;
            return static_cast<int8_t>(r_.U8());
        case vaInt16:
            if (r_.Left() < 2) break;
            return static_cast<int16_t>(r_.U16());
        case vaInt32:
            if (r_.Left() < 4) break;
            return static_cast<int32_t>(r_.U32());
        case vaInt64:
            if (r_.Left() < 8) break;
            return static_cast<int64_t>(r_.U64());
        default:
            r_.Seek(at);
            Fail("integer value expected");
    }
    Fail("unexpected end of data");
}

TExtended80 TFormReader::ReadExtended() {
    if (ReadValue() != vaExtended) Fail("float value expected");
    if (r_.Left() < 10) Fail("unexpected end of data");
    TExtended80 e;
    r_.Bytes(e.bytes, 10);
    return e;
}

uint32_t TFormReader::ReadSingleBits() {
    if (ReadValue() != vaSingle) Fail("single value expected");
    if (r_.Left() < 4) Fail("unexpected end of data");
    return r_.U32();
}

uint64_t TFormReader::ReadDateBits() {
    if (ReadValue() != vaDate) Fail("date value expected");
    if (r_.Left() < 8) Fail("unexpected end of data");
    return r_.U64();
}

float TFormReader::ReadSingle() {
    uint32_t bits = ReadSingleBits();
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

double TFormReader::ReadDate() {
    uint64_t bits = ReadDateBits();
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

int64_t TFormReader::ReadCurrency() {
    if (ReadValue() != vaCurrency) Fail("currency value expected");
    if (r_.Left() < 8) Fail("unexpected end of data");
    return static_cast<int64_t>(r_.U64());
}

std::string TFormReader::ReadAnsiString() {
    switch (ReadValue()) {
        case vaString:
            return ReadStr();
        case vaLString:
            if (r_.Left() < 4) Fail("unexpected end of data");
            return ReadBytes(r_.U32());
        default:
            Fail("string value expected");
    }
}

std::u16string TFormReader::ReadWideString() {
    switch (ReadValue()) {
        case vaWString: {
            if (r_.Left() < 4) Fail("unexpected end of data");
            uint32_t chars = r_.U32();
            if (chars > r_.Left() / 2)
                Fail(Format("a length of %u characters where %u bytes are left",
                            {static_cast<unsigned long long>(chars), static_cast<unsigned long long>(r_.Left())}));
            return r_.WStr(chars);
        }
        case vaUTF8String:
            if (r_.Left() < 4) Fail("unexpected end of data");
            return Utf8ToUtf16(ReadBytes(r_.U32()));
        default:
            Fail("wide string value expected");
    }
}

std::string TFormReader::ReadIdent() {
    switch (ReadValue()) {
        case vaIdent:
            return ReadStr();
        case vaFalse:
            return "False";
        case vaTrue:
            return "True";
        case vaNil:
            return "nil";
        case vaNull:
            return "Null";
        default:
            Fail("identifier expected");
    }
}

std::vector<uint8_t> TFormReader::ReadBinary() {
    if (ReadValue() != vaBinary) Fail("binary value expected");
    if (r_.Left() < 4) Fail("unexpected end of data");
    std::string s = ReadBytes(r_.U32());
    return std::vector<uint8_t>(s.begin(), s.end());
}

void TFormReader::SkipValue() {
    auto skipLength = [&](uint32_t n) {
        if (n > r_.Left()) ReadBytes(n);  // fails with the lengths
        r_.Skip(n);
    };
    switch (NextValue()) {
        case vaList:
            ReadValue();
            EnterNesting();
            while (!EndOfList()) SkipValue();
            ReadListEnd();
            LeaveNesting();
            break;
        case vaInt8:
        case vaInt16:
        case vaInt32:
        case vaInt64:
            ReadInteger();
            break;
        case vaExtended:
            ReadExtended();
            break;
        case vaSingle:
            ReadSingleBits();
            break;
        case vaDate:
            ReadDateBits();
            break;
        case vaCurrency:
            ReadCurrency();
            break;
        case vaString:
        case vaIdent:
            ReadValue();
            ReadStr();
            break;
        case vaLString:
        case vaBinary:
        case vaUTF8String:
            ReadValue();
            if (r_.Left() < 4) Fail("unexpected end of data");
            skipLength(r_.U32());
            break;
        case vaWString: {
            ReadValue();
            if (r_.Left() < 4) Fail("unexpected end of data");
            uint32_t chars = r_.U32();
            if (chars > r_.Left() / 2) Fail("wide string longer than the data left");
            r_.Skip(static_cast<size_t>(chars) * 2);
            break;
        }
        case vaFalse:
        case vaTrue:
        case vaNil:
        case vaNull:
            ReadValue();
            break;
        case vaSet:
            ReadValue();
            while (!ReadStr().empty()) {
            }
            break;
        case vaCollection:
            ReadValue();
            EnterNesting();
            while (!EndOfList()) {
                TValueType t = NextValue();
                if (t == vaInt8 || t == vaInt16 || t == vaInt32 || t == vaInt64) ReadInteger();
                if (ReadValue() != vaList) Fail("collection item expected");
                while (!EndOfList()) {
                    ReadStr();
                    SkipValue();
                }
                ReadListEnd();
            }
            ReadListEnd();
            LeaveNesting();
            break;
    }
}

// ---- TWriter

void TWriter::Write(const void* data, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    if (buffer_.size() + size > kBufferSize) {
        FlushBuffer();
        if (size >= kBufferSize) {
            stream_.WriteBuffer(p, static_cast<int64_t>(size));
            return;
        }
    }
    buffer_.insert(buffer_.end(), p, p + size);
}

void TWriter::FlushBuffer() {
    if (!buffer_.empty()) stream_.WriteBuffer(buffer_.data(), static_cast<int64_t>(buffer_.size()));
    buffer_.clear();
}

static void PutLE(uint8_t* out, uint64_t v, int n) {
    for (int i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}

void TWriter::WritePrefix(uint8_t flags, int64_t childPos) {
    if (flags == 0) return;
    WriteByte(static_cast<uint8_t>(0xF0 | (flags & 0x0F)));
    if (flags & ffChildPos) WriteInteger(childPos);
}

void TWriter::WriteStr(std::string_view s) {
    size_t n = s.size() > 255 ? 255 : s.size();
    WriteByte(static_cast<uint8_t>(n));
    Write(s.data(), n);
}

void TWriter::WriteInteger(int64_t v) {
    uint8_t b[9];
    int n;
    if (v < INT32_MIN || v > INT32_MAX) {
        b[0] = vaInt64;
        n = 8;
    } else if (v >= -128 && v <= 127) {
        b[0] = vaInt8;
        n = 1;
    } else if (v >= -32768 && v <= 32767) {
        b[0] = vaInt16;
        n = 2;
    } else {
        b[0] = vaInt32;
        n = 4;
    }
    PutLE(b + 1, static_cast<uint64_t>(v), n);
    Write(b, static_cast<size_t>(n) + 1);
}

void TWriter::WriteExtended(const TExtended80& v) {
    WriteValue(vaExtended);
    Write(v.bytes, 10);
}

void TWriter::WriteSingle(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    WriteSingleBits(bits);
}

void TWriter::WriteDate(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    WriteDateBits(bits);
}

void TWriter::WriteSingleBits(uint32_t bits) {
    uint8_t b[5] = {vaSingle};
    PutLE(b + 1, bits, 4);
    Write(b, 5);
}

void TWriter::WriteDateBits(uint64_t bits) {
    uint8_t b[9] = {vaDate};
    PutLE(b + 1, bits, 8);
    Write(b, 9);
}

void TWriter::WriteCurrency(int64_t amountTimes10000) {
    uint8_t b[9] = {vaCurrency};
    PutLE(b + 1, static_cast<uint64_t>(amountTimes10000), 8);
    Write(b, 9);
}

void TWriter::WriteIdent(std::string_view name) {
    if (SameTextAscii(name, "False"))
        WriteValue(vaFalse);
    else if (SameTextAscii(name, "True"))
        WriteValue(vaTrue);
    else if (SameTextAscii(name, "Null"))
        WriteValue(vaNull);
    else if (SameTextAscii(name, "nil"))
        WriteValue(vaNil);
    else {
        WriteValue(vaIdent);
        WriteStr(name);
    }
}

void TWriter::WriteAnsiOrUtf8(const std::string& ansi, const std::string& utf8) {
    uint8_t b[5];
    if (utf8 != ansi) {
        b[0] = vaUTF8String;
        PutLE(b + 1, utf8.size(), 4);
        Write(b, 5);
        Write(utf8.data(), utf8.size());
    } else if (ansi.size() < 256) {
        b[0] = vaString;
        b[1] = static_cast<uint8_t>(ansi.size());
        Write(b, 2);
        Write(ansi.data(), ansi.size());
    } else {
        b[0] = vaLString;
        PutLE(b + 1, ansi.size(), 4);
        Write(b, 5);
        Write(ansi.data(), ansi.size());
    }
}

void TWriter::WriteString(const std::string& ansi) {
    WriteAnsiOrUtf8(ansi, Utf8FormOf(ansi));
}

void TWriter::WriteWideString(const std::u16string& w) {
    std::string utf8 = Utf16ToUtf8(w);
    if (utf8.size() < 2 * w.size() && (Utf8ForWide || utf8.size() == w.size())) {
        WriteAnsiOrUtf8(WideToAnsi(w), utf8);
        return;
    }
    uint8_t b[5] = {vaWString};
    PutLE(b + 1, w.size(), 4);
    Write(b, 5);
    for (char16_t c : w) {
        uint8_t u[2] = {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8)};
        Write(u, 2);
    }
}

void TWriter::WriteBinary(const void* data, size_t size) {
    uint8_t b[5] = {vaBinary};
    PutLE(b + 1, size, 4);
    Write(b, 5);
    Write(data, size);
}

std::u16string TWriter::AnsiToWide(const std::string& ansi) const {
    std::u16string w(ansi.size(), u'\0');
    for (size_t i = 0; i < ansi.size(); ++i) w[i] = static_cast<uint8_t>(ansi[i]);
    return w;
}

std::string TWriter::WideToAnsi(const std::u16string& w) const {
    std::string s(w.size(), '\0');
    for (size_t i = 0; i < w.size(); ++i) s[i] = w[i] < 256 ? static_cast<char>(w[i]) : '?';
    return s;
}

// ---- detection and the resource header

int DetectFormStreamFormat(TStream& stream) {
    stream.SetPosition(0);
    uint8_t b[3] = {0, 0, 0};
    int64_t n = stream.Read(b, 3);
    stream.SetPosition(0);
    if (n == 3 && b[0] == 0xFF && b[1] == 0x0A && b[2] == 0x00) return ffResource;
    if (n == 3 && b[0] == 'T' && b[1] == 'P' && b[2] == 'F') return ffBinary;
    return ffText;
}

void BinaryToResourceForm(const std::vector<uint8_t>& binary, TStream& output) {
    // The class name of the root object names the resource. A prefix (and the child position
    // it may carry) is read as a prefix, not taken for the name.
    TFormReader r(binary);
    r.ReadSignature();
    uint8_t flags;
    int64_t pos;
    r.ReadPrefix(flags, pos);
    if (r.Left() < 1) r.Fail("unexpected end of data");
    size_t at = r.Position();
    uint8_t len = binary[at];
    if (len >= 70) {
        std::string name = r.ReadStr();
        throw EParserError(Format("Component name is too long: \"%s\"", {name}));
    }
    std::string name = UpperCaseAscii(r.ReadStr());
    std::vector<uint8_t> header;
    header.reserve(name.size() + 10);
    header.push_back(0xFF);
    header.push_back(0x0A);
    header.push_back(0x00);
    header.insert(header.end(), name.begin(), name.end());
    header.push_back(0);
    header.push_back(0x30);
    header.push_back(0x10);
    uint32_t size = static_cast<uint32_t>(binary.size());
    for (int i = 0; i < 4; ++i) header.push_back(static_cast<uint8_t>(size >> (8 * i)));
    output.WriteBuffer(header.data(), static_cast<int64_t>(header.size()));
    output.WriteBuffer(binary.data(), static_cast<int64_t>(binary.size()));
}

// ---- floats as text

namespace {

// Infinities and NaNs as the text reader takes them back, bit for bit (see FloatText.h).
std::string NonFiniteText(bool negative, bool infinite, uint64_t bits) {
    std::string s = negative ? "-1.#" : "1.#";
    return infinite ? s + "INF" : s + "NAN" + std::to_string(bits);
}

}  // namespace

std::string ExtendedToText(const TExtended80& e) {
    uint64_t mant = 0;
    for (int i = 0; i < 8; ++i) mant |= static_cast<uint64_t>(e.bytes[i]) << (8 * i);
    if ((e.bytes[8] | (e.bytes[9] & 0x7F) << 8) == 0x7FFF)
        return NonFiniteText((e.bytes[9] & 0x80) != 0, mant == uint64_t(1) << 63, mant);
    long double v = ExtendedToLongDouble(e);
    char buf[128];
    long double a = std::fabs(v);
    // Fixed notation with 18 decimals while the shortest exact digits fit in it; otherwise the
    // shortest scientific form. Both read back to the same 80-bit value.
    if (a == 0 || (a >= 1e-4L && a < 1e18L)) {
        auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
        if (r.ec == std::errc()) {
            std::string s(buf, r.ptr);
            size_t dot = s.find('.');
            size_t decimals = dot == std::string::npos ? 0 : s.size() - dot - 1;
            if (decimals <= 18) {
                if (dot == std::string::npos) s += '.';
                s.append(18 - decimals, '0');
                return s;
            }
        }
    }
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
    return std::string(buf, r.ptr);
}

std::string SingleToText(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    return SingleBitsToText(bits);
}

std::string SingleBitsToText(uint32_t bits) {
    if ((bits >> 23 & 0xFF) == 0xFF) return NonFiniteText(bits >> 31, (bits & 0x7FFFFF) == 0, bits & 0x7FFFFF);
    // Finite values only from here: arithmetic on them keeps their bits.
    float v;
    std::memcpy(&v, &bits, 4);
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string DoubleToText(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    return DoubleBitsToText(bits);
}

std::string DoubleBitsToText(uint64_t bits) {
    const uint64_t fraction = (uint64_t(1) << 52) - 1;
    if ((bits >> 52 & 0x7FF) == 0x7FF) return NonFiniteText(bits >> 63, (bits & fraction) == 0, bits & fraction);
    double v;
    std::memcpy(&v, &bits, 8);
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

// ---- binary form to text

namespace {

class TBinaryToText {
public:
    TBinaryToText(const void* data, size_t size) : r_(data, size) {}

    std::string Run() {
        r_.ReadSignature();
        ConvertObject();
        return std::move(out_);
    }

private:
    static constexpr int kLineLength = 64;
    TFormReader r_;
    std::string out_;
    int level_ = 0;

    void Indent() { out_.append(static_cast<size_t>(level_) * 2, ' '); }
    void NewLine() {
        out_ += "\r\n";
        Indent();
    }

    void ConvertObject() {
        r_.EnterNesting();
        uint8_t flags;
        int64_t pos;
        r_.ReadPrefix(flags, pos);
        std::string className = r_.ReadStr();
        std::string name = r_.ReadStr();
        Indent();
        if (flags & ffInherited)
            out_ += "inherited ";
        else if (flags & ffInline)
            out_ += "inline ";
        else
            out_ += "object ";
        if (!name.empty()) out_ += name + ": ";
        out_ += className;
        if (flags & ffChildPos) out_ += " [" + IntToStr(pos) + "]";
        out_ += "\r\n";
        ++level_;
        while (!r_.EndOfList()) ConvertProperty();
        r_.ReadListEnd();
        while (!r_.EndOfList()) ConvertObject();
        r_.ReadListEnd();
        --level_;
        Indent();
        out_ += "end\r\n";
        r_.LeaveNesting();
    }

    void ConvertProperty() {
        Indent();
        out_ += r_.ReadStr();
        out_ += " = ";
        ConvertValue();
        out_ += "\r\n";
    }

    // Quoted runs and #codes; wide text also writes codes above 127 as #codes.
    template <typename Str>
    void ConvertString(const Str& w, bool wide) {
        const size_t len = w.size();
        if (len == 0) {
            out_ += "''";
            return;
        }
        ++level_;
        if (len > static_cast<size_t>(kLineLength)) NewLine();
        auto code = [&](size_t i) -> uint32_t {
            if constexpr (sizeof(w[0]) == 1)
                return static_cast<uint8_t>(w[i]);
            else
                return w[i];
        };
        auto plain = [&](uint32_t c) { return c >= 32 && c != 39 && (!wide || c <= 127); };
        size_t i = 0, k = 0;
        while (i < len) {
            bool lineBreak = false;
            if (plain(code(i))) {
                size_t j = i;
                do {
                    ++i;
                } while (i < len && plain(code(i)) && (i - k) < static_cast<size_t>(kLineLength));
                if (i - k >= static_cast<size_t>(kLineLength)) lineBreak = true;
                out_ += '\'';
                for (; j < i; ++j) out_ += static_cast<char>(code(j));
                out_ += '\'';
            } else {
                out_ += '#';
                out_ += IntToStr(code(i));
                ++i;
                if (i - k >= static_cast<size_t>(kLineLength)) lineBreak = true;
            }
            if (lineBreak && i < len) {
                out_ += " +";
                NewLine();
                k = i;
            }
        }
        --level_;
    }

    void ConvertBinary() {
        static const char hex[] = "0123456789ABCDEF";
        std::vector<uint8_t> data = r_.ReadBinary();
        out_ += '{';
        ++level_;
        bool multiLine = data.size() >= 32;
        size_t i = 0;
        while (i < data.size()) {
            if (multiLine) NewLine();
            size_t n = data.size() - i < 32 ? data.size() - i : 32;
            for (size_t j = 0; j < n; ++j) {
                out_ += hex[data[i + j] >> 4];
                out_ += hex[data[i + j] & 15];
            }
            i += n;
        }
        --level_;
        out_ += '}';
    }

    void ConvertValue() {
        switch (r_.NextValue()) {
            case vaList:
                r_.ReadValue();
                r_.EnterNesting();
                out_ += '(';
                ++level_;
                while (!r_.EndOfList()) {
                    NewLine();
                    ConvertValue();
                }
                r_.ReadListEnd();
                --level_;
                out_ += ')';
                r_.LeaveNesting();
                break;
            case vaInt8:
            case vaInt16:
            case vaInt32:
            case vaInt64:
                out_ += IntToStr(r_.ReadInteger());
                break;
            case vaExtended:
                out_ += ExtendedToText(r_.ReadExtended());
                break;
            case vaSingle:
                out_ += SingleBitsToText(r_.ReadSingleBits()) + "s";
                break;
            case vaCurrency:
                out_ += IntToStr(r_.ReadCurrency()) + "c";
                break;
            case vaDate:
                out_ += DoubleBitsToText(r_.ReadDateBits()) + "d";
                break;
            case vaWString:
            case vaUTF8String:
                ConvertString(r_.ReadWideString(), true);
                break;
            case vaString:
            case vaLString:
                ConvertString(r_.ReadAnsiString(), false);
                break;
            case vaIdent:
            case vaFalse:
            case vaTrue:
            case vaNil:
            case vaNull:
                out_ += r_.ReadIdent();
                break;
            case vaBinary:
                ConvertBinary();
                break;
            case vaSet: {
                r_.ReadValue();
                out_ += '[';
                for (int n = 0;; ++n) {
                    std::string s = r_.ReadStr();
                    if (s.empty()) break;
                    if (n > 0) out_ += ", ";
                    out_ += s;
                }
                out_ += ']';
                break;
            }
            case vaCollection: {
                r_.ReadValue();
                r_.EnterNesting();
                out_ += '<';
                ++level_;
                while (!r_.EndOfList()) {
                    NewLine();
                    out_ += "item";
                    TValueType t = r_.NextValue();
                    if (t == vaInt8 || t == vaInt16 || t == vaInt32 || t == vaInt64)
                        out_ += " [" + IntToStr(r_.ReadInteger()) + "]";
                    out_ += "\r\n";
                    if (r_.ReadValue() != vaList) r_.Fail("collection item expected");
                    ++level_;
                    while (!r_.EndOfList()) ConvertProperty();
                    r_.ReadListEnd();
                    --level_;
                    Indent();
                    out_ += "end";
                }
                r_.ReadListEnd();
                --level_;
                out_ += '>';
                r_.LeaveNesting();
                break;
            }
        }
    }
};

}  // namespace

std::string ObjectBinaryToText(const void* data, size_t size) {
    return TBinaryToText(data, size).Run();
}

static std::vector<uint8_t> ReadRest(TStream& input) {
    int64_t left = input.Size() - input.Position();
    std::vector<uint8_t> data(left > 0 ? static_cast<size_t>(left) : 0);
    input.ReadBuffer(data.data(), static_cast<int64_t>(data.size()));
    return data;
}

void ObjectBinaryToText(TStream& input, TStream& output) {
    std::vector<uint8_t> data = ReadRest(input);
    std::string text = ObjectBinaryToText(data.data(), data.size());
    output.WriteString(text);
}

void ObjectResourceToText(TStream& input, TStream& output) {
    std::vector<uint8_t> data = ReadRest(input);
    TByteReader r(data);
    if (r.Left() < 3 || r.U8() != 0xFF || r.U16() != 10) throw EReadError("Invalid stream format");
    // The name runs to a zero byte; then flags and the size of the binary form.
    while (true) {
        if (r.AtEnd()) throw EReadError("Invalid stream format: resource name not terminated");
        if (r.U8() == 0) break;
    }
    if (r.Left() < 6) throw EReadError("Invalid stream format: resource header cut short");
    r.U16();
    uint32_t size = r.U32();
    if (size > r.Left())
        throw EReadError(Format("Invalid stream format: the resource holds %u bytes where %u are left",
                                {static_cast<unsigned long long>(size), static_cast<unsigned long long>(r.Left())}));
    std::string text = ObjectBinaryToText(data.data() + r.Pos(), size);
    output.WriteString(text);
}

}  // namespace fw

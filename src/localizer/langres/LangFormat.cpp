#include "LangFormat.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "framework/Classes.h"
#include "localizer/kutils/KLocales.h"
#include "localizer/kutils/kcompress.h"

namespace langres {

static_assert(std::endian::native == std::endian::little, "language files are read as little-endian memory");

uint32_t ReadCounter(fw::TByteReader& r, uint16_t version) {
    if (version <= 5) return r.U16();
    uint8_t b0 = r.U8();
    if (!(b0 & 0x80)) return b0;
    uint8_t b1 = r.U8();
    if (!(b1 & 0x80)) return static_cast<uint32_t>(b0 & 0x7F) | (static_cast<uint32_t>(b1) << 7);
    uint32_t w = r.U16();
    return static_cast<uint32_t>(b0 & 0x7F) | (static_cast<uint32_t>(b1 & 0x7F) << 7) | (w << 14);
}

void WriteCounter(std::vector<uint8_t>& out, uint32_t n, uint16_t version) {
    if (version <= 5) {
        if (n > 0xFFFF)
            throw ELFProcError(fw::Format("A string of %u characters does not fit a version-%d language file",
                                          {n, static_cast<int>(version)}));
        out.push_back(static_cast<uint8_t>(n));
        out.push_back(static_cast<uint8_t>(n >> 8));
        return;
    }
    if (n <= 127) {
        out.push_back(static_cast<uint8_t>(n));
    } else if (n <= 16383) {
        out.push_back(static_cast<uint8_t>((n & 0x7F) | 0x80));
        out.push_back(static_cast<uint8_t>(n >> 7));
    } else if (n <= LangFileMaxCounter) {
        out.push_back(static_cast<uint8_t>((n & 0x7F) | 0x80));
        out.push_back(static_cast<uint8_t>(((n >> 7) & 0x7F) | 0x80));
        uint32_t w = n >> 14;
        out.push_back(static_cast<uint8_t>(w));
        out.push_back(static_cast<uint8_t>(w >> 8));
    } else {
        throw ELFProcError(fw::Format("A string of %u characters does not fit a language file", {n}));
    }
}

std::string ReadS8(fw::TByteReader& r, uint16_t version) {
    return r.Str(ReadCounter(r, version));
}
namespace {

// UTF-16LE code units straight into the string (every target of this program is little-endian).
std::u16string ReadUnits(fw::TByteReader& r, size_t count) {
    if (count > r.Left() / 2) r.Fail(count * 2);
    std::u16string s(count, u'\0');
    if (count) std::memcpy(s.data(), r.Ptr(count * 2), count * 2);
    return s;
}

}  // namespace

std::u16string ReadS16(fw::TByteReader& r, uint16_t version) {
    return ReadUnits(r, ReadCounter(r, version));
}
std::string ReadH8(fw::TByteReader& r) {
    return r.Str(r.U16());
}
std::u16string ReadH16(fw::TByteReader& r) {
    return ReadUnits(r, r.U16());
}

// ---------------------------------------------------------------------------------------------
// Number texts

char DecimalSeparator() {
    static const char sep = [] {
        char buf[8] = {};
        try {
            // LOCALE_USER_DEFAULT, LOCALE_SDECIMAL
            if (kutils::Nls().GetLocaleInfo(0x0400, 0x000E, buf, sizeof buf) >= 2 && buf[0] != 0 && buf[1] == 0)
                return buf[0];
        } catch (...) {
        }
        return '.';
    }();
    return sep;
}

std::string FloatToText(double v) {
    if (std::isnan(v)) return "NAN";
    if (std::isinf(v)) return v > 0 ? "INF" : "-INF";
    if (v == 0) return "0";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", v);  // [-]d.ddddddddddddddde[+-]xx
    const char* p = buf;
    bool neg = *p == '-';
    if (neg) ++p;
    std::string digits(1, *p);
    p += 2;
    while (*p >= '0' && *p <= '9') digits += *p++;
    int exp = std::atoi(p + 1);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    const char sep = DecimalSeparator();
    std::string out = neg ? "-" : "";
    if (exp >= 15 || exp < -5) {
        out += digits[0];
        if (digits.size() > 1) {
            out += sep;
            out += digits.substr(1);
        }
        out += 'E';
        if (exp < 0) out += '-';
        out += std::to_string(std::abs(exp));
    } else if (exp >= 0) {
        size_t intDigits = static_cast<size_t>(exp) + 1;
        if (digits.size() <= intDigits) {
            out += digits + std::string(intDigits - digits.size(), '0');
        } else {
            out += digits.substr(0, intDigits);
            out += sep;
            out += digits.substr(intDigits);
        }
    } else {
        out += '0';
        out += sep;
        out += std::string(static_cast<size_t>(-exp - 1), '0');
        out += digits;
    }
    return out;
}

bool TextToFloat(const std::string& text, double& v) {
    std::string s = fw::Trim(text);
    const char sep = DecimalSeparator();
    for (char& c : s)
        if (c == sep) c = '.';
    const char* b = s.data();
    const char* e = s.data() + s.size();
    if (b != e && *b == '+') ++b;
    if (b == e) return false;
    auto res = std::from_chars(b, e, v);
    return res.ec == std::errc() && res.ptr == e;
}

std::u16string AsciiToWide(const std::string& s) {
    std::u16string r(s.size(), u'\0');
    for (size_t i = 0; i < s.size(); ++i) r[i] = static_cast<char16_t>(static_cast<unsigned char>(s[i]));
    return r;
}

std::string WideToAscii(const std::u16string& s) {
    std::string r(s.size(), '\0');
    for (size_t i = 0; i < s.size(); ++i) r[i] = s[i] < 0x80 ? static_cast<char>(s[i]) : '?';
    return r;
}

// ---------------------------------------------------------------------------------------------
// Header and records

void ReadLFHeader(fw::TByteReader& r, TLFHeader& h) {
    if (r.U16() != LangFileSignature) throw ELFProcError(SInvalidFileFormat);
    h.Version = r.U16();
    if (h.Version == 0) throw ELFProcError(SInvalidFileFormat);
    if (h.Version > LangFileMaxVersion) throw ELFProcError(SNewerFileVersion);
    h.Revision = r.U32();
    h.Build = h.Version >= 5 ? r.U32() : 0;
    h.LangId = r.U16();
    h.Word = h.Version >= 3 ? r.U16() : 0;
    h.EnglishLangName = ReadH8(r);
    h.NativeLangName = ReadH16(r);
    h.IsNative = r.U16();
    h.Options = h.Version >= 2 ? r.U16() : 0;
    h.LastConstantId = r.U32();
    h.LastPropertyId = r.U32();
    h.LastExternalId = h.Version >= 7 ? r.U32() : 0;
}

namespace {

void Put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint16_t HeaderCount(size_t n, const char* what) {
    if (n > 0xFFFF) throw ELFProcError(fw::Format("The %s is too long for a language file header", {what}));
    return static_cast<uint16_t>(n);
}

}  // namespace

void WriteLFHeader(std::vector<uint8_t>& out, const TLFHeader& h, uint16_t version) {
    Put16(out, LangFileSignature);
    Put16(out, version);
    Put32(out, h.Revision);
    if (version >= 5) Put32(out, h.Build);
    Put16(out, h.LangId);
    if (version >= 3) Put16(out, h.Word);
    Put16(out, HeaderCount(h.EnglishLangName.size(), "English language name"));
    out.insert(out.end(), h.EnglishLangName.begin(), h.EnglishLangName.end());
    Put16(out, HeaderCount(h.NativeLangName.size(), "native language name"));
    for (char16_t c : h.NativeLangName) Put16(out, c);
    Put16(out, h.IsNative);
    if (version >= 2) Put16(out, h.Options);
    Put32(out, h.LastConstantId);
    Put32(out, h.LastPropertyId);
    if (version >= 7) Put32(out, h.LastExternalId);
}

bool KindHasStoredValue(uint8_t kind, uint16_t version) {
    return kind == 2 || kind == 4 || (kind <= 1 && version >= 4);
}

void ReadPropertyValue(fw::TByteReader& r, uint16_t version, uint8_t kind, TLFValue& v) {
    v.Present = KindHasStoredValue(kind, version);
    if (!v.Present) return;
    if (kind == 0) {
        uint64_t bits = r.U64();
        std::memcpy(&v.Float, &bits, sizeof bits);
        v.Text = AsciiToWide(FloatToText(v.Float));
    } else if (kind == 1) {
        v.Int = static_cast<int32_t>(r.U32());
        v.Text = AsciiToWide(std::to_string(v.Int));
    } else {
        v.Text = ReadS16(r, version);
    }
}

void ReadConstantRecord(fw::TByteReader& r, uint16_t version, TLFRecord& rec) {
    rec.Name = ReadS8(r, version);
    rec.Flags = version >= 2 ? r.U16() : 0;
    rec.ResId = r.U16();
    rec.Id = r.U32();
    rec.Kind = 2;
    rec.Value.Present = true;
    rec.Value.Text = ReadS16(r, version);
    ReadRecordTail(r, rec);
}

void ReadPropertyHead(fw::TByteReader& r, uint16_t version, TLFRecord& rec) {
    rec.Name = ReadS8(r, version);
    rec.Flags = version >= 2 ? r.U16() : 0;
    rec.Id = r.U32();
    rec.Kind = r.U32();
}

void ReadRecordTail(fw::TByteReader& r, TLFRecord& rec) {
    rec.Revision = static_cast<int32_t>(r.U32());
    rec.Stamp = r.U64();
}

void ReadExternalRecord(fw::TByteReader& r, uint16_t version, TLFRecord& rec) {
    rec.Name = ReadS8(r, version);
    rec.Flags = r.U16();
    rec.Id = r.U32();
    rec.Kind = 2;
    rec.Value.Present = true;
    rec.Value.Text = ReadS16(r, version);
    ReadRecordTail(r, rec);
}

// ---------------------------------------------------------------------------------------------
// Whole images

bool IsCompressedImage(const uint8_t* data, size_t size) {
    return size >= 5 && std::memcmp(data, "LZK00", 5) == 0;
}

std::vector<uint8_t> DecompressImage(const uint8_t* data, size_t size) {
    if (!IsCompressedImage(data, size)) return std::vector<uint8_t>(data, data + size);
    fw::TBytesStream src(data, static_cast<int64_t>(size));
    fw::TMemoryStream dst;
    kutils::DecompressStream(src, dst);
    return std::move(dst.Bytes());
}

namespace {

void ReadPropertyRecords(fw::TByteReader& r, uint16_t version, std::vector<TLFRecord>& out) {
    uint16_t n = r.U16();
    for (uint16_t i = 0; i < n; ++i) {
        TLFRecord rec;
        ReadPropertyHead(r, version, rec);
        ReadPropertyValue(r, version, static_cast<uint8_t>(rec.Kind), rec.Value);
        ReadRecordTail(r, rec);
        out.push_back(std::move(rec));
    }
}

}  // namespace

TLangFileImage ParseLangFileImage(const uint8_t* data, size_t size) {
    fw::TByteReader r(data, size);
    TLangFileImage img;
    ReadLFHeader(r, img.Header);
    const uint16_t v = img.Header.Version;
    uint16_t units = r.U16();
    for (uint16_t u = 0; u < units; ++u) {
        TLFUnit unit;
        unit.Name = ReadS8(r, v);
        unit.Flags = v >= 2 ? r.U16() : 0;
        uint16_t n = r.U16();
        for (uint16_t i = 0; i < n; ++i) {
            TLFRecord rec;
            ReadConstantRecord(r, v, rec);
            unit.Constants.push_back(std::move(rec));
        }
        img.Units.push_back(std::move(unit));
    }
    uint16_t forms = r.U16();
    for (uint16_t f = 0; f < forms; ++f) {
        TLFForm form;
        form.Name = ReadS8(r, v);
        form.Flags = v >= 2 ? r.U16() : 0;
        ReadPropertyRecords(r, v, form.Properties);
        uint16_t comps = r.U16();
        for (uint16_t c = 0; c < comps; ++c) {
            TLFComponent comp;
            comp.Name = ReadS8(r, v);
            comp.Flags = v >= 2 ? r.U16() : 0;
            ReadPropertyRecords(r, v, comp.Properties);
            form.Components.push_back(std::move(comp));
        }
        img.Forms.push_back(std::move(form));
    }
    if (v == 7) {
        uint16_t groups = r.U16();
        for (uint16_t g = 0; g < groups; ++g) {
            TLFGroup group;
            group.Name = ReadS8(r, v);
            group.Flags = r.U16();
            uint16_t n = r.U16();
            for (uint16_t i = 0; i < n; ++i) {
                TLFRecord rec;
                ReadExternalRecord(r, v, rec);
                group.Externals.push_back(std::move(rec));
            }
            img.Groups.push_back(std::move(group));
        }
    }
    img.Trailing.assign(data + r.Pos(), data + size);
    return img;
}

TLangFileImage ReadLangFileImage(const std::string& fileName) {
    std::vector<uint8_t> bytes = fw::ReadFileBytes(fileName);
    std::vector<uint8_t> plain = DecompressImage(bytes.data(), bytes.size());
    return ParseLangFileImage(plain.data(), plain.size());
}

}  // namespace langres

// iconv for Windows. What a byte is comes from glibc's own answer (tables generated from
// tests/glibc-charsets.txt), so that single-byte charsets convert exactly as on Linux; the rest of
// a double-byte character is decoded by the Windows code page (MultiByteToWideChar, strict) and
// encoded through WideCharToMultiByte with a round trip check, so that no best-fit guess passes
// for a conversion. Double-byte charsets whose code page answers otherwise than glibc are not
// offered. UTF-8 is converted here directly, as glibc does.
#include "Iconv.h"

#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

#include "include/iconv.h"

namespace codepage {

extern const TByteTable kByteTables[];
extern const unsigned kByteTableCount;

namespace {

// gettext's name of a charset from the names PO headers use for it.
std::string Canonical(const char* name) {
    std::string n;
    for (const char* p = name; *p; ++p) n += (*p >= 'a' && *p <= 'z') ? static_cast<char>(*p - 'a' + 'A') : *p;
    static const char* const aliases[][2] = {
        {"UTF8", "UTF-8"},
        {"US-ASCII", "ASCII"},
        {"ANSI_X3.4-1968", "ASCII"},
        {"646", "ASCII"},
        {"US", "ASCII"},
        {"LATIN1", "ISO-8859-1"},
        {"L1", "ISO-8859-1"},
        {"LATIN2", "ISO-8859-2"},
        {"L2", "ISO-8859-2"},
        {"LATIN3", "ISO-8859-3"},
        {"L3", "ISO-8859-3"},
        {"LATIN4", "ISO-8859-4"},
        {"L4", "ISO-8859-4"},
        {"CYRILLIC", "ISO-8859-5"},
        {"ARABIC", "ISO-8859-6"},
        {"GREEK", "ISO-8859-7"},
        {"HEBREW", "ISO-8859-8"},
        {"LATIN5", "ISO-8859-9"},
        {"L5", "ISO-8859-9"},
        {"LATIN7", "ISO-8859-13"},
        {"L7", "ISO-8859-13"},
        {"LATIN8", "ISO-8859-14"},
        {"L8", "ISO-8859-14"},
        {"LATIN-9", "ISO-8859-15"},
        {"IBM850", "CP850"},
        {"IBM866", "CP866"},
        {"EUC-CN", "GB2312"},
        {"EUCCN", "GB2312"},
        {"EUCJP", "EUC-JP"},
        {"EUCKR", "EUC-KR"},
        {"EUCTW", "EUC-TW"},
        {"BIG-5", "BIG5"},
        {"CN-BIG5", "BIG5"},
        {"BIG5HKSCS", "BIG5-HKSCS"},
        {"SHIFT-JIS", "SHIFT_JIS"},
        {"SJIS", "SHIFT_JIS"},
        {"MS_KANJI", "SHIFT_JIS"},
        {"CP936", "GBK"},
        {"UHC", "CP949"},
        {"TIS620", "TIS-620"},
    };
    for (const auto& a : aliases)
        if (n == a[0]) return a[1];
    for (const char* prefix : {"ISO_8859-", "ISO8859-", "ISO8859"}) {
        size_t k = std::strlen(prefix);
        if (n.size() > k && n.compare(0, k, prefix) == 0 && n.find_first_not_of("0123456789", k) == std::string::npos)
            return "ISO-8859-" + n.substr(k);
    }
    if (n.size() == 12 && n.compare(0, 8, "WINDOWS-") == 0) return "CP" + n.substr(8);
    return n;
}

// The Windows code page of a charset with characters longer than a byte, for those where it
// answers as glibc does (tests/charsets_test.cpp).
unsigned LeadCodePage(const std::string& name) {
    static const struct {
        const char* Name;
        unsigned CodePage;
    } pages[] = {
        {"CP932", 932},
        {"CP949", 949},
        {"CP950", 950},
        {"BIG5", 950},
    };
    for (const auto& p : pages)
        if (name == p.Name) return p.CodePage;
    return 0;
}

bool HasLeads(const TByteTable& t) {
    for (uint32_t v : t.Byte)
        if (v == kLead) return true;
    return false;
}

}  // namespace

TCharset FindCharset(const char* name) {
    TCharset cs;
    if (!name) return cs;
    const std::string n = Canonical(name);
    if (n == "UTF-8") {
        cs.Kind = ckUtf8;
        return cs;
    }
    for (unsigned i = 0; i < kByteTableCount; ++i) {
        if (n != kByteTables[i].Name) continue;
        const unsigned page = LeadCodePage(n);
        if (HasLeads(kByteTables[i]) && !page) return cs;
        cs.Kind = ckTable;
        cs.Table = &kByteTables[i];
        cs.CodePage = page;
        return cs;
    }
    return cs;
}

namespace {

// Decodes one UTF-8 character as glibc does: its length, 0 when incomplete, -1 when invalid.
// Forms of up to six bytes (31 bits) pass, as glibc's own UTF-8 to UTF-8 lets them; overlong
// forms and surrogates are invalid once the character is complete.
int DecodeUtf8(const unsigned char* p, size_t left, uint32_t& cp) {
    const unsigned b = p[0];
    if (b < 0x80) {
        cp = b;
        return 1;
    }
    int len;
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2, cp = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
        len = 3, cp = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
        len = 4, cp = b & 0x07;
    } else if ((b & 0xFC) == 0xF8) {
        len = 5, cp = b & 0x03;
    } else if ((b & 0xFE) == 0xFC) {
        len = 6, cp = b & 0x01;
    } else {
        return -1;
    }
    for (int i = 1; i < len; ++i) {
        if (static_cast<size_t>(i) >= left) return 0;
        if ((p[i] & 0xC0) != 0x80) return -1;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    static const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000, 0x200000, 0x4000000};
    if (cp < least[len] || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
    return len;
}

int EncodeUtf8(uint32_t cp, unsigned char* out) {
    if (cp < 0x80) {
        out[0] = static_cast<unsigned char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<unsigned char>(0xC0 | (cp >> 6));
        out[1] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = static_cast<unsigned char>(0xE0 | (cp >> 12));
        out[1] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        return 3;
    }
    const int len = cp < 0x200000 ? 4 : cp < 0x4000000 ? 5 : 6;
    static const unsigned char lead[] = {0, 0, 0, 0, 0xF0, 0xF8, 0xFC};
    for (int i = len - 1; i > 0; --i, cp >>= 6) out[i] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
    out[0] = static_cast<unsigned char>(lead[len] | cp);
    return len;
}

// The code point of a double-byte character of a code page, false when it has none there.
bool FromCodePage(unsigned codePage, const unsigned char* p, int len, uint32_t& cp) {
    wchar_t w[4];
    int n = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(p), len, w, 4);
    if (n == 1 && (w[0] < 0xD800 || w[0] > 0xDFFF)) {
        cp = w[0];
    } else if (n == 2 && w[0] >= 0xD800 && w[0] <= 0xDBFF && w[1] >= 0xDC00 && w[1] <= 0xDFFF) {
        cp = 0x10000 + ((static_cast<uint32_t>(w[0]) - 0xD800) << 10) + (static_cast<uint32_t>(w[1]) - 0xDC00);
    } else {
        return false;
    }
    // A replacement or a default character is no character of the code page.
    return cp != 0xFFFD && cp >= 0x80;
}

int DecodeTable(const TCharset& cs, const unsigned char* p, size_t left, uint32_t& cp) {
    const uint32_t v = cs.Table->Byte[p[0]];
    if (v == kInvalid) return -1;
    if (v != kLead) {
        cp = v;
        return 1;
    }
    if (left < 2) return 0;
    int len = 2;
    if (cs.CodePage == 54936 && p[1] >= 0x30 && p[1] <= 0x39) {  // GB18030's four bytes
        if (left < 3) return 0;
        if (p[2] < 0x81 || p[2] > 0xFE) return -1;
        if (left < 4) return 0;
        if (p[3] < 0x30 || p[3] > 0x39) return -1;
        len = 4;
    }
    return FromCodePage(cs.CodePage, p, len, cp) ? len : -1;
}

int EncodeTable(const TCharset& cs, uint32_t cp, unsigned char* out) {
    for (int b = 0; b < 256; ++b)
        if (cs.Table->Byte[b] == cp) {
            out[0] = static_cast<unsigned char>(b);
            return 1;
        }
    if (!cs.CodePage || cp < 0x80 || cp > 0x10FFFF) return 0;
    wchar_t w[2];
    int wn = 1;
    if (cp >= 0x10000) {
        w[0] = static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10));
        w[1] = static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        wn = 2;
    } else {
        w[0] = static_cast<wchar_t>(cp);
    }
    const DWORD flags = cs.CodePage == 54936 ? 0 : WC_NO_BEST_FIT_CHARS;  // GB18030 takes none
    int n = ::WideCharToMultiByte(cs.CodePage, flags, w, wn, reinterpret_cast<char*>(out), 8, nullptr, nullptr);
    // A best fit or the default character reads back as something else.
    uint32_t back = 0;
    if (n < 2 || DecodeTable(cs, out, static_cast<size_t>(n), back) != n || back != cp) return 0;
    return n;
}

struct TConverter {
    TCharset From, To;
};

}  // namespace

int Decode(const TCharset& cs, const unsigned char* p, size_t left, uint32_t& cp) {
    switch (cs.Kind) {
        case ckNone:
            return -1;
        case ckUtf8:
            return DecodeUtf8(p, left, cp);
        case ckTable:
            return DecodeTable(cs, p, left, cp);
    }
    return -1;
}

int Encode(const TCharset& cs, uint32_t cp, unsigned char* out) {
    switch (cs.Kind) {
        case ckNone:
            return 0;
        case ckUtf8:
            return EncodeUtf8(cp, out);
        case ckTable:
            return EncodeTable(cs, cp, out);
    }
    return 0;
}

}  // namespace codepage

extern "C" {

iconv_t iconv_open(const char* tocode, const char* fromcode) {
    codepage::TCharset to = codepage::FindCharset(tocode), from = codepage::FindCharset(fromcode);
    if (to.Kind == codepage::ckNone || from.Kind == codepage::ckNone) {
        errno = EINVAL;
        return reinterpret_cast<iconv_t>(-1);
    }
    return new codepage::TConverter{from, to};
}

size_t iconv(iconv_t cd, char** inbuf, size_t* inbytesleft, char** outbuf, size_t* outbytesleft) {
    if (cd == reinterpret_cast<iconv_t>(-1) || !cd) {
        errno = EBADF;
        return static_cast<size_t>(-1);
    }
    // No charset here keeps a shift state: a reset has nothing to write.
    if (!inbuf || !*inbuf) return 0;
    const auto& c = *static_cast<codepage::TConverter*>(cd);
    const unsigned char* in = reinterpret_cast<const unsigned char*>(*inbuf);
    size_t left = *inbytesleft;
    size_t result = 0;
    int error = 0;
    while (left) {
        uint32_t cp = 0;
        int len = codepage::Decode(c.From, in, left, cp);
        if (len == 0) {
            error = EINVAL;
            break;
        }
        if (len < 0) {
            error = EILSEQ;
            break;
        }
        unsigned char bytes[8];
        int n = codepage::Encode(c.To, cp, bytes);
        if (n == 0) {
            error = EILSEQ;
            break;
        }
        if (!outbuf || !*outbuf || !outbytesleft || *outbytesleft < static_cast<size_t>(n)) {
            error = E2BIG;
            break;
        }
        std::memcpy(*outbuf, bytes, static_cast<size_t>(n));
        *outbuf += n;
        *outbytesleft -= static_cast<size_t>(n);
        in += len;
        left -= static_cast<size_t>(len);
    }
    *inbuf = reinterpret_cast<char*>(const_cast<unsigned char*>(in));
    *inbytesleft = left;
    if (error) {
        errno = error;
        return static_cast<size_t>(-1);
    }
    return result;
}

int iconv_close(iconv_t cd) {
    if (cd == reinterpret_cast<iconv_t>(-1) || !cd) {
        errno = EBADF;
        return -1;
    }
    delete static_cast<codepage::TConverter*>(cd);
    return 0;
}

}  // extern "C"

// The charsets iconv knows on Windows, one character at a time (for iconv and its tests).
#pragma once

#include <cstddef>
#include <cstdint>

namespace codepage {

// What a byte is in a charset, as glibc answers: a code point, or one of these.
constexpr uint32_t kInvalid = 0xFFFFFFFFu;
constexpr uint32_t kLead = 0xFFFFFFFEu;  // the first byte of a longer character

struct TByteTable {
    const char* Name;  // gettext's name of the charset
    uint32_t Byte[256];
};

enum TCharsetKind { ckNone, ckUtf8, ckTable };

struct TCharset {
    TCharsetKind Kind = ckNone;
    const TByteTable* Table = nullptr;
    unsigned CodePage = 0;  // decodes what follows a lead byte; 0 when the charset has none
};

// The charset of an iconv name (case does not matter); Kind ckNone when unknown here.
TCharset FindCharset(const char* name);

// One character at p (left bytes there): its length, 0 when incomplete, -1 when invalid.
int Decode(const TCharset& cs, const unsigned char* p, size_t left, uint32_t& codePoint);
// The bytes of a code point (at most 8): their count, 0 when the charset lacks it.
int Encode(const TCharset& cs, uint32_t codePoint, unsigned char* out);

}  // namespace codepage

// National-language backend of the host build: the locale table recorded from a Windows NLS
// (nls/locales.tsv, compiled into the binary), with the single-byte code pages as recorded
// there and glibc's iconv for the multi-byte ones. The host build stands for an English system
// whose ANSI code page is 1252.
#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <set>
#include <string_view>

#include "localizer/kutils/nls/NlsBackend.h"

namespace kutils::nls {

// Generated from nls/locales.tsv by the build.
extern const unsigned char kLocaleData[];
extern const size_t kLocaleDataSize;

namespace {

constexpr uint32_t kCP_ACP = 0, kCP_OEMCP = 1, kCP_MACCP = 2, kCP_THREAD_ACP = 3;

std::string Unescape(std::string_view field) {
    std::string r;
    for (size_t i = 0; i < field.size(); ++i) {
        auto hex = [](char c) -> int {
            if (c >= '0' && c <= '9') return c - '0';
            if (c >= 'a' && c <= 'f') return c - 'a' + 10;
            if (c >= 'A' && c <= 'F') return c - 'A' + 10;
            return -1;
        };
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] == 'x' && hex(field[i + 2]) >= 0 &&
            hex(field[i + 3]) >= 0) {
            r += static_cast<char>(hex(field[i + 2]) * 16 + hex(field[i + 3]));
            i += 3;
        } else {
            r += field[i];
        }
    }
    return r;
}

struct TLocaleRow {
    // SLANGUAGE, SABBREVLANGNAME, SENGLANGUAGE, IDEFAULTANSICODEPAGE, SNAME; absent = the call failed.
    std::string values[5];
    bool known[5] = {false, false, false, false, false};
};

// A single-byte code page as the system converts it, best fit included.
struct TSingleByteTable {
    char16_t toWide[256] = {};
    char defaultChar = '?';
    std::map<char16_t, char> toByte;

    char ToByte(char16_t u) const {
        auto it = toByte.find(u);
        return it == toByte.end() ? defaultChar : it->second;
    }
};

// What a double-byte code page does with bytes it cannot convert: a lead byte takes the byte
// after it along, and either becomes the page's default character.
struct TDoubleByteInfo {
    char16_t defaultChar = u'?';
    bool lead[256] = {};
};

struct TLocaleTable {
    uint32_t acp = 1252, oemcp = 437;
    std::map<uint32_t, TDoubleByteInfo> doubleByte;
    std::map<uint32_t, TSingleByteTable> singleByte;
    std::set<uint32_t> validCodePages;
    std::map<uint32_t, uint8_t> charsets;
    std::vector<std::string> enumerated;
    std::map<LCID, TLocaleRow> locales;

    TLocaleTable() {
        std::string_view data(reinterpret_cast<const char*>(kLocaleData), kLocaleDataSize);
        while (!data.empty()) {
            size_t eol = data.find('\n');
            std::string_view line = data.substr(0, eol);
            data = eol == std::string_view::npos ? std::string_view() : data.substr(eol + 1);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            std::vector<std::string_view> f;
            for (size_t start = 0;;) {
                size_t tab = line.find('\t', start);
                f.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
                if (tab == std::string_view::npos) break;
                start = tab + 1;
            }
            auto num = [](std::string_view s, int base) {
                return static_cast<uint32_t>(std::stoul(std::string(s), nullptr, base));
            };
            if (f[0] == "acp" && f.size() == 2)
                acp = num(f[1], 10);
            else if (f[0] == "oemcp" && f.size() == 2)
                oemcp = num(f[1], 10);
            else if ((f[0] == "codepage" || f[0] == "charset") && f.size() == 3) {
                uint32_t cp = num(f[1], 10);
                if (f[0] == "codepage") validCodePages.insert(cp);
                if (f[2] != "~") charsets[cp] = static_cast<uint8_t>(num(f[2], 10));
            } else if (f[0] == "sbcs" && f.size() == 4) {
                TSingleByteTable& t = singleByte[num(f[1], 10)];
                t.defaultChar = static_cast<char>(num(f[2], 16));
                std::string_view units = f[3];
                for (int b = 0; b < 256 && !units.empty(); ++b) {
                    size_t comma = units.find(',');
                    t.toWide[b] = static_cast<char16_t>(num(units.substr(0, comma), 16));
                    t.toByte.emplace(t.toWide[b], static_cast<char>(b));  // the first byte wins
                    units = comma == std::string_view::npos ? std::string_view() : units.substr(comma + 1);
                }
            } else if (f[0] == "w2a" && f.size() == 3) {
                TSingleByteTable& t = singleByte[num(f[1], 10)];
                std::string_view pairs = f[2];
                while (!pairs.empty()) {
                    size_t comma = pairs.find(',');
                    std::string_view p = pairs.substr(0, comma);
                    size_t eq = p.find('=');
                    if (eq != std::string_view::npos)
                        t.toByte[static_cast<char16_t>(num(p.substr(0, eq), 16))] =
                            static_cast<char>(num(p.substr(eq + 1), 16));
                    pairs = comma == std::string_view::npos ? std::string_view() : pairs.substr(comma + 1);
                }
            } else if (f[0] == "dbcs" && f.size() == 4) {
                TDoubleByteInfo& d = doubleByte[num(f[1], 10)];
                d.defaultChar = static_cast<char16_t>(num(f[2], 16));
                std::string_view ranges = f[3];
                while (ranges.size() >= 5) {
                    uint32_t from = num(ranges.substr(0, 2), 16), to = num(ranges.substr(3, 2), 16);
                    for (uint32_t b = from; b <= to && b < 256; ++b) d.lead[b] = true;
                    ranges.remove_prefix(ranges.size() > 5 ? 6 : 5);
                }
            } else if (f[0] == "enum" && f.size() == 2) {
                enumerated.push_back(Unescape(f[1]));
            } else if (f[0] == "locale" && f.size() == 7) {
                TLocaleRow& row = locales[num(f[1], 16)];
                for (int k = 0; k < 5; ++k) {
                    row.known[k] = f[2 + k] != "~";
                    if (row.known[k]) row.values[k] = Unescape(f[2 + k]);
                }
            }
        }
    }
};

const TLocaleTable& Table() {
    static const TLocaleTable table;
    return table;
}

int InfoIndex(uint32_t type) {
    switch (type & ~0x80000000u) {  // LOCALE_NOUSEROVERRIDE changes nothing here
        case LOCALE_SLANGUAGE_:
            return 0;
        case LOCALE_SABBREVLANGNAME_:
            return 1;
        case LOCALE_SENGLANGUAGE_:
            return 2;
        case LOCALE_IDEFAULTANSICODEPAGE_:
            return 3;
        case LOCALE_SNAME_:
            return 4;
        default:
            return -1;
    }
}

// The code page a conversion really uses, 0 when it is not usable.
uint32_t ResolveCodePage(uint32_t codePage) {
    const TLocaleTable& t = Table();
    if (codePage == kCP_ACP || codePage == kCP_THREAD_ACP) return t.acp;
    if (codePage == kCP_OEMCP) return t.oemcp;
    if (codePage == kCP_MACCP) codePage = 10000;
    return t.validCodePages.count(codePage) ? codePage : 0;
}

std::string IconvName(uint32_t codePage) {
    switch (codePage) {
        case 65001:
            return "UTF-8";
        case 65000:
            return "UTF-7";
        case 20127:
            return "ASCII";
        case 20866:
            return "KOI8-R";
        case 21866:
            return "KOI8-U";
        case 20932:
            return "EUC-JP";
        case 10000:
            return "MACINTOSH";
        case 10007:
            return "MAC-CYRILLIC";
        case 28603:
            return "ISO-8859-13";
        case 28605:
            return "ISO-8859-15";
        default:
            break;
    }
    if (codePage >= 28591 && codePage <= 28599) return "ISO-8859-" + std::to_string(codePage - 28590);
    return "CP" + std::to_string(codePage);
}

// Runs iconv over the whole input; on a sequence it cannot convert, onError appends a
// replacement to the output and returns how many input bytes to pass over.
template <class OnError>
bool Iconv(const std::string& to, const std::string& from, const char* in, size_t inLen, std::string& out,
           OnError onError) {
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    out.clear();
    char chunk[4096];
    char* inp = const_cast<char*>(in);
    size_t inLeft = inLen;
    for (;;) {
        char* outp = chunk;
        size_t outLeft = sizeof chunk;
        size_t rc = iconv(cd, &inp, &inLeft, &outp, &outLeft);
        int err = errno;
        out.append(chunk, static_cast<size_t>(outp - chunk));
        if (rc == static_cast<size_t>(-1)) {
            if (err == E2BIG) continue;
            if (err != EILSEQ && err != EINVAL) {
                iconv_close(cd);
                return false;
            }
            size_t skip = onError(inp, inLeft, out);
            skip = skip < inLeft ? skip : inLeft;
            inp += skip;
            inLeft -= skip;
            continue;
        }
        if (inLeft == 0) break;
    }
    // Stateful encodings write their shift state back.
    char* outp = chunk;
    size_t outLeft = sizeof chunk;
    iconv(cd, nullptr, nullptr, &outp, &outLeft);
    out.append(chunk, static_cast<size_t>(outp - chunk));
    iconv_close(cd);
    return true;
}

// Length of the longest start of a well-formed UTF-8 sequence at p (at least 1): the bytes one
// replacement character stands for.
size_t BadUtf8Length(const unsigned char* p, size_t left) {
    unsigned char c = p[0], lo = 0x80, hi = 0xBF;
    size_t length;
    if (c >= 0xC2 && c <= 0xDF)
        length = 2;
    else if (c == 0xE0)
        length = 3, lo = 0xA0;
    else if (c == 0xED)
        length = 3, hi = 0x9F;
    else if (c >= 0xE1 && c <= 0xEF)
        length = 3;
    else if (c == 0xF0)
        length = 4, lo = 0x90;
    else if (c == 0xF4)
        length = 4, hi = 0x8F;
    else if (c >= 0xF1 && c <= 0xF3)
        length = 4;
    else
        return 1;
    size_t n = 1;
    if (n < left && p[n] >= lo && p[n] <= hi) {
        ++n;
        while (n < length && n < left && p[n] >= 0x80 && p[n] <= 0xBF) ++n;
    }
    return n;
}

void AppendUnit(std::string& out, char16_t u) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
}

class TNlsHost final : public INls {
public:
    int GetLocaleInfo(LCID lcid, uint32_t type, char* buffer, int size) override {
        const TLocaleTable& t = Table();
        auto it = t.locales.find(lcid);
        int k = InfoIndex(type);
        if (it == t.locales.end() || k < 0 || !it->second.known[k] || size < 0) return 0;
        const std::string& v = it->second.values[k];
        int needed = static_cast<int>(v.size()) + 1;
        if (size == 0) return needed;
        if (!buffer || size < needed) return 0;
        std::memcpy(buffer, v.c_str(), v.size() + 1);
        return needed;
    }

    std::vector<std::string> EnumSystemLocales() override { return Table().enumerated; }

    bool IsValidCodePage(uint32_t codePage) override { return Table().validCodePages.count(codePage) != 0; }

    uint32_t GetACP() override { return Table().acp; }

    bool CodePageCharset(uint32_t codePage, uint8_t& charset) override {
        const auto& c = Table().charsets;
        auto it = c.find(codePage);
        if (it == c.end()) return false;
        charset = it->second;
        return true;
    }

    bool MultiByteToWide(uint32_t codePage, const std::string& text, std::u16string& out) override {
        out.clear();
        uint32_t cp = ResolveCodePage(codePage);
        if (cp == 0) return false;
        const auto& sb = Table().singleByte;
        if (auto it = sb.find(cp); it != sb.end()) {
            for (char c : text) out += it->second.toWide[static_cast<unsigned char>(c)];
            return true;
        }
        const auto& db = Table().doubleByte;
        auto dbi = db.find(cp);
        const TDoubleByteInfo* dbcs = dbi == db.end() ? nullptr : &dbi->second;
        std::string raw;
        bool ok = Iconv("UTF-16LE", IconvName(cp), text.data(), text.size(), raw,
                        [dbcs](const char* at, size_t left, std::string& o) {
                            if (!dbcs) {
                                // UTF-8 (and UTF-7): one replacement character per bad sequence.
                                AppendUnit(o, u'\xFFFD');
                                return BadUtf8Length(reinterpret_cast<const unsigned char*>(at), left);
                            }
                            AppendUnit(o, dbcs->defaultChar);
                            return dbcs->lead[static_cast<unsigned char>(*at)] && left >= 2 ? size_t{2} : size_t{1};
                        });
        if (!ok) return false;
        out.reserve(raw.size() / 2);
        for (size_t i = 0; i + 1 < raw.size(); i += 2)
            out +=
                static_cast<char16_t>(static_cast<unsigned char>(raw[i]) | static_cast<unsigned char>(raw[i + 1]) << 8);
        return true;
    }

    bool WideToMultiByte(uint32_t codePage, const std::u16string& text, std::string& out) override {
        out.clear();
        uint32_t cp = ResolveCodePage(codePage);
        if (cp == 0) return false;
        const auto& sb = Table().singleByte;
        if (auto it = sb.find(cp); it != sb.end()) {
            for (char16_t u : text) out += it->second.ToByte(u);
            return true;
        }
        std::string raw;
        raw.reserve(text.size() * 2);
        for (char16_t u : text) AppendUnit(raw, u);
        const char* replacement = cp == 65001 ? "\xEF\xBF\xBD" : "?";
        return Iconv(IconvName(cp), "UTF-16LE", raw.data(), raw.size(), out,
                     [replacement](const char*, size_t left, std::string& o) {
                         // One replacement per UTF-16 unit that has no character in the page.
                         o += replacement;
                         return left >= 2 ? size_t{2} : left;
                     });
    }
};

// Case mapping of code page 1252 (as the Windows ANSI functions do it for that page).
struct TCaseTables {
    unsigned char lower[256], upper[256];
    TCaseTables() {
        for (int c = 0; c < 256; ++c) lower[c] = upper[c] = static_cast<unsigned char>(c);
        auto pair = [this](int up, int low) {
            lower[up] = static_cast<unsigned char>(low);
            upper[low] = static_cast<unsigned char>(up);
        };
        for (int c = 'A'; c <= 'Z'; ++c) pair(c, c + 32);
        for (int c = 0xC0; c <= 0xDE; ++c)
            if (c != 0xD7) pair(c, c + 32);
        pair(0x8A, 0x9A);  // S caron
        pair(0x8C, 0x9C);  // OE
        pair(0x8E, 0x9E);  // Z caron
        pair(0x9F, 0xFF);  // Y diaeresis
    }
};

}  // namespace

INls& DefaultNls() {
    static TNlsHost nls;
    return nls;
}

void AnsiCaseMap(std::string& text, bool upper) {
    static const TCaseTables tables;
    const unsigned char* map = upper ? tables.upper : tables.lower;
    for (char& c : text) c = static_cast<char>(map[static_cast<unsigned char>(c)]);
}

}  // namespace kutils::nls

// The iconv of the Windows builds answers as glibc's does, character by character, for the charsets
// a PO file may declare. tests/glibc-charsets.txt holds glibc's answer: the Linux build checks that
// file against glibc (VTP_WRITE_CHARSETS=1 writes it anew), the Windows builds check their iconv
// against it.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char* const kFile = VTP_SOURCE_DIR "/src/localizer/codepage/tests/glibc-charsets.txt";

// gettext's portable charset names, and names PO files use for them.
const std::vector<std::string> kCharsets = {
    "ASCII",      "ISO-8859-1",  "ISO-8859-2", "ISO-8859-3",  "ISO-8859-4",  "ISO-8859-5",   "ISO-8859-6",
    "ISO-8859-7", "ISO-8859-8",  "ISO-8859-9", "ISO-8859-13", "ISO-8859-14", "ISO-8859-15",  "KOI8-R",
    "KOI8-U",     "KOI8-T",      "CP850",      "CP866",       "CP874",       "CP932",        "CP949",
    "CP950",      "CP1250",      "CP1251",     "CP1252",      "CP1253",      "CP1254",       "CP1255",
    "CP1256",     "CP1257",      "CP1258",     "GB2312",      "EUC-JP",      "EUC-KR",       "EUC-TW",
    "BIG5",       "BIG5-HKSCS",  "GBK",        "GB18030",     "SHIFT_JIS",   "JOHAB",        "TIS-620",
    "VISCII",     "GEORGIAN-PS", "UTF-8",      "latin1",      "iso8859-15",  "windows-1251", "utf8"};

// Charsets the Windows builds cannot convert as glibc does: glibc combines characters of CP1255
// and CP1258; the code pages of the double-byte ones answer otherwise (or there is none). Unknown
// there, so that a PO file in one is refused with its charset named rather than read otherwise
// than on Linux.
const std::vector<std::string> kNotOnWindows = {"CP1255",     "CP1258", "GB2312",  "EUC-JP",    "EUC-KR", "EUC-TW",
                                                "BIG5-HKSCS", "GBK",    "GB18030", "SHIFT_JIS", "JOHAB"};

std::string Hex(uint32_t v) {
    char b[16];
    std::snprintf(b, sizeof b, "%X", v);
    return b;
}

uint32_t Utf8Decode(const std::string& s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    if (s.size() == 1) return p[0];
    uint32_t cp = p[0] & (0x7Fu >> s.size());
    for (size_t i = 1; i < s.size(); ++i) cp = cp << 6 | (p[i] & 0x3Fu);
    return cp;
}

// What iconv makes of the bytes as one character: its code point in hex, "-" when invalid, "+"
// when incomplete, "?" for anything else (more than one character, a partial conversion).
std::string One(iconv_t cd, const std::string& bytes) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char out[16];
    char* in = const_cast<char*>(bytes.data());
    size_t left = bytes.size(), room = sizeof out;
    char* o = out;
    errno = 0;
    size_t r = iconv(cd, &in, &left, &o, &room);
    std::string produced(out, static_cast<size_t>(o - out));
    if (r == static_cast<size_t>(-1)) {
        if (!produced.empty()) return "?";
        if (errno == EILSEQ) return "-";
        if (errno == EINVAL) return "+";
        return "?";
    }
    size_t starts = 0;
    for (unsigned char c : produced) starts += (c & 0xC0) != 0x80;
    if (left != 0 || starts != 1) return "?";
    uint32_t cp = Utf8Decode(produced);
    return Hex(cp);
}

uint64_t Fnv(const std::string& s) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
    return h;
}

// One charset's lines: every byte alone, then for each byte that starts a longer character a
// digest of the 256 two-byte sequences it starts.
std::vector<std::string> Describe(const std::string& name) {
    iconv_t cd = iconv_open("UTF-8", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return {name + " unknown"};
    std::vector<std::string> lines;
    std::string singles = name + " bytes";
    std::vector<int> leads;
    for (int b = 0; b < 256; ++b) {
        std::string r = One(cd, std::string(1, static_cast<char>(b)));
        singles += " " + r;
        if (r == "+") leads.push_back(b);
    }
    lines.push_back(singles);
    for (int b : leads) {
        std::string all;
        std::map<std::string, int> kinds;
        for (int t = 0; t < 256; ++t) {
            std::string r = One(cd, std::string{static_cast<char>(b), static_cast<char>(t)});
            all += r + " ";
            ++kinds[r == "-" || r == "+" || r == "?" ? r : "char"];
        }
        char line[160];
        std::snprintf(line, sizeof line, "%s lead %02X %d chars %d invalid %d longer %016llx", name.c_str(), b,
                      kinds["char"], kinds["-"], kinds["+"], static_cast<unsigned long long>(Fnv(all)));
        lines.push_back(line);
    }
    iconv_close(cd);
    return lines;
}

std::map<std::string, std::vector<std::string>> ReadFile() {
    std::map<std::string, std::vector<std::string>> byName;
    std::ifstream f(kFile);
    for (std::string line; std::getline(f, line);) {
        if (line.empty() || line[0] == '#') continue;
        byName[line.substr(0, line.find(' '))].push_back(line);
    }
    return byName;
}

bool OnWindows() {
#ifdef _WIN32
    return true;
#else
    return false;
#endif
}

bool Lacking(const std::string& name) {
    for (const auto& n : kNotOnWindows)
        if (n == name) return true;
    return false;
}

// The first difference of two single-byte lines, as "byte XX: glibc A, here B".
std::string FirstDifference(const std::string& want, const std::string& got) {
    std::istringstream a(want), b(got);
    std::string x, y;
    int i = -2;  // name and "bytes"
    while (a >> x && b >> y) {
        if (x != y) {
            char at[64];
            std::snprintf(at, sizeof at, "byte %02X: glibc %s, here %s", i, x.c_str(), y.c_str());
            return i >= 0 ? at : "glibc: " + want.substr(0, 60) + ", here: " + got.substr(0, 60);
        }
        ++i;
    }
    return "lengths differ";
}

}  // namespace

TEST(Charsets, AsGlibcAnswers) {
    if (!OnWindows() && std::getenv("VTP_WRITE_CHARSETS")) {
        std::ofstream f(kFile, std::ios::binary);
        f << "# What glibc's iconv makes of each byte (a code point in hex, - invalid, + the start of a\n"
             "# longer character) and, per lead byte, of the 256 two-byte sequences (counts and a digest).\n"
             "# Written by codepage_tests (host build) with VTP_WRITE_CHARSETS=1.\n";
        for (const auto& name : kCharsets)
            for (const auto& line : Describe(name)) f << line << "\n";
    }
    auto expected = ReadFile();
    ASSERT_FALSE(expected.empty()) << kFile;
    for (const auto& name : kCharsets) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(expected.count(name)) << "no lines for " << name << " in " << kFile;
        const auto& want = expected[name];
        auto got = Describe(name);
        if (OnWindows() && Lacking(name)) {
            EXPECT_EQ(got, std::vector<std::string>{name + " unknown"});
            continue;
        }
        ASSERT_EQ(got[0].substr(0, got[0].find(' ', name.size() + 1)),
                  want[0].substr(0, want[0].find(' ', name.size() + 1)));
        if (got[0] != want[0]) ADD_FAILURE() << FirstDifference(want[0], got[0]);
        EXPECT_EQ(got.size(), want.size());
        size_t shown = 0;
        for (size_t i = 1; i < got.size() && i < want.size() && shown < 5; ++i)
            if (got[i] != want[i]) {
                ADD_FAILURE() << "glibc: " << want[i] << "\n here: " << got[i];
                ++shown;
            }
    }
}

// UTF-8 as glibc reads it: overlong forms, surrogates and stray continuation bytes are invalid,
// a cut character at the end is incomplete (even one that would be overlong), the old forms of
// up to six bytes pass from UTF-8 to UTF-8 but are no character of any other charset.
TEST(Charsets, Utf8Strictness) {
    iconv_t cd = iconv_open("UTF-8", "UTF-8");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    struct Case {
        std::string in;
        std::string result;  // as One() gives it for the whole text
    } cases[] = {
        {"\xC3\xA9", "E9"},
        {"\xE2\x82\xAC", "20AC"},
        {"\xF0\x9F\x98\x80", "1F600"},
        {"\xC0\xAF", "-"},
        {"\xE0\x80\xAF", "-"},
        {"\xED\xA0\x80", "-"},
        {"\xF4\x90\x80\x80", "110000"},
        {"\xF8\x88\x80\x80\x80", "200000"},
        {"\xF8\x80\x80\x80\x80", "-"},
        {"\x80", "-"},
        {"\xE2\x82", "+"},
        {"\xE0\x80", "+"},
        {"\xE2\x41", "-"},
        {"\xF0\x9F", "+"},
        {"\xFE", "-"},
    };
    for (const auto& c : cases) EXPECT_EQ(One(cd, c.in), c.result) << Hex(static_cast<unsigned char>(c.in[0]));
    // A conversion stops before the bad byte and says where it is.
    std::string text = "ab\xC3\xA9\xFFz";
    char out[32];
    char* in = text.data();
    size_t left = text.size(), room = sizeof out;
    char* o = out;
    errno = 0;
    EXPECT_EQ(iconv(cd, &in, &left, &o, &room), static_cast<size_t>(-1));
    EXPECT_EQ(errno, EILSEQ);
    EXPECT_EQ(left, 2u);
    EXPECT_EQ(std::string(out, o), "ab\xC3\xA9");
    // No room: E2BIG, with what fitted written.
    in = text.data(), left = text.size(), o = out, room = 3;
    errno = 0;
    EXPECT_EQ(iconv(cd, &in, &left, &o, &room), static_cast<size_t>(-1));
    EXPECT_EQ(errno, E2BIG);
    EXPECT_EQ(std::string(out, o), "ab");
    iconv_close(cd);
    // The other way, a character the target lacks is refused.
    cd = iconv_open("ISO-8859-1", "UTF-8");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    for (std::string lacking : {"\xE2\x82\xAC", "\xF4\x90\x80\x80"}) {
        in = lacking.data(), left = lacking.size(), o = out, room = sizeof out;
        errno = 0;
        EXPECT_EQ(iconv(cd, &in, &left, &o, &room), static_cast<size_t>(-1));
        EXPECT_EQ(errno, EILSEQ);
    }
    iconv_close(cd);
    errno = 0;
    EXPECT_EQ(iconv_open("UTF-8", "NO-SUCH-CHARSET"), reinterpret_cast<iconv_t>(-1));
    EXPECT_EQ(errno, EINVAL);
}

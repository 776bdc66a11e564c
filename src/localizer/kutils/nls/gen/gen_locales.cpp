// Writes the locale table of the host NLS backend (nls/locales.tsv) from a real Windows NLS.
// Built by the Windows presets, never run by the build. To regenerate, from the worktree root:
//
//   cmake --build --preset win64 --target gen_locales
//   LANG=C cmake/wine-run win64 build/win64/src/localizer/kutils/gen_locales.exe > src/localizer/kutils/nls/locales.tsv
//
// (LANG=C: the prefix's user locale, and with it the ANSI code page and the language of the
// localized names, follow the Unix locale; the host build stands for an English system.)
// Then rebuild the host preset; the table is compiled into the host binaries.
//
// Format, one record a line, fields separated by tabs; bytes below 32, above 126 and the
// characters '\' and '~' are written as \xNN; a field "~" means the call failed (returned 0).
//   acp      <GetACP>
//   oemcp    <GetOEMCP>
//   codepage <code page> <charset from TranslateCharsetInfo, or ~>     every valid code page
//   charset  <code page> <charset>                                     TranslateCharsetInfo of
//                                                                      code pages that are not valid
//   sbcs     <code page> <default character, hex> <the 256 bytes as UTF-16 units, hex, ","-separated>
//   w2a      <code page> <unit>=<byte>,...   single-byte pages: wide characters that do not convert
//                                            to the first byte of the table that has them (or to
//                                            the default character when none has them)
//   dbcs     <code page> <default character, UTF-16 hex> <lead byte ranges, "81-9f,e0-fc">
//   enum     <text reported by EnumSystemLocalesA(LCID_SUPPORTED)>     in enumeration order
//   locale   <LCID hex> <SLANGUAGE> <SABBREVLANGNAME> <SENGLANGUAGE> <IDEFAULTANSICODEPAGE> <SNAME>
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_enum;

BOOL CALLBACK OnLocale(LPSTR text) {
    g_enum.emplace_back(text ? text : "");
    return TRUE;
}

std::string Escape(const std::string& s) {
    std::string r;
    for (unsigned char c : s) {
        if (c < 32 || c > 126 || c == '\\' || c == '~') {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            r += buf;
        } else {
            r += static_cast<char>(c);
        }
    }
    return r;
}

// The answer of GetLocaleInfoA the way the localizer asks: size first, then the text.
std::string Info(LCID lcid, LCTYPE type, bool& ok) {
    int n = GetLocaleInfoA(lcid, type, nullptr, 0);
    ok = n > 0;
    if (!ok) return "~";
    std::string buf(static_cast<size_t>(n), '\0');
    int m = GetLocaleInfoA(lcid, type, buf.data(), n);
    if (m != n) {
        ok = false;
        return "~";
    }
    buf.resize(static_cast<size_t>(n - 1));
    return Escape(buf);
}

}  // namespace

int main() {
    _setmode(_fileno(stdout), _O_BINARY);  // LF line ends, as checked in
    std::printf("acp\t%u\n", GetACP());
    std::printf("oemcp\t%u\n", GetOEMCP());

    for (unsigned cp = 0; cp <= 0xFFFF; ++cp) {
        CHARSETINFO csi{};
        bool tci =
            TranslateCharsetInfo(reinterpret_cast<DWORD*>(static_cast<UINT_PTR>(cp)), &csi, TCI_SRCCODEPAGE) != 0;
        if (IsValidCodePage(cp)) {
            if (tci)
                std::printf("codepage\t%u\t%u\n", cp, static_cast<unsigned>(csi.ciCharset));
            else
                std::printf("codepage\t%u\t~\n", cp);
        } else if (tci) {
            std::printf("charset\t%u\t%u\n", cp, static_cast<unsigned>(csi.ciCharset));
        }
    }

    // Single-byte code pages: the byte table and the wide characters whose conversion back is
    // not simply the first byte of the table that has them (best fit, or the default character).
    for (unsigned cp = 0; cp <= 0xFFFF; ++cp) {
        CPINFO info{};
        if (!IsValidCodePage(cp) || !GetCPInfo(cp, &info)) continue;
        if (info.MaxCharSize == 2) {
            CPINFOEXA ex{};
            GetCPInfoExA(cp, 0, &ex);
            std::printf("dbcs\t%u\t%04x\t", cp, static_cast<unsigned>(ex.UnicodeDefaultChar));
            for (int k = 0; k + 1 < MAX_LEADBYTES && info.LeadByte[k]; k += 2)
                std::printf(k ? ",%02x-%02x" : "%02x-%02x", info.LeadByte[k], info.LeadByte[k + 1]);
            std::printf("\n");
        }
        if (info.MaxCharSize != 1) continue;
        unsigned char defaultChar = info.DefaultChar[0];
        WCHAR table[256];
        std::printf("sbcs\t%u\t%02x\t", cp, defaultChar);
        for (int b = 0; b < 256; ++b) {
            char c = static_cast<char>(b);
            if (MultiByteToWideChar(cp, 0, &c, 1, &table[b], 1) != 1) table[b] = 0xFFFF;
            std::printf(b ? ",%04x" : "%04x", static_cast<unsigned>(table[b]));
        }
        std::printf("\n");
        std::printf("w2a\t%u\t", cp);
        bool first = true;
        for (unsigned u = 1; u <= 0xFFFF; ++u) {
            WCHAR w = static_cast<WCHAR>(u);
            char c = 0;
            if (WideCharToMultiByte(cp, 0, &w, 1, &c, 1, nullptr, nullptr) != 1) continue;
            int plain = defaultChar;
            for (int b = 0; b < 256; ++b)
                if (table[b] == w) {
                    plain = b;
                    break;
                }
            if (static_cast<unsigned char>(c) == plain) continue;
            std::printf(first ? "%04x=%02x" : ",%04x=%02x", u, static_cast<unsigned char>(c));
            first = false;
        }
        std::printf("\n");
    }

    EnumSystemLocalesA(OnLocale, LCID_SUPPORTED);
    std::set<LCID> ids;
    for (const std::string& e : g_enum) {
        std::printf("enum\t%s\n", Escape(e).c_str());
        ids.insert(static_cast<LCID>(std::strtoul(e.c_str(), nullptr, 16)));
    }
    // Every other id the system answers for: bare languages and locales it does not list.
    // The neutral primary language (user/system default and friends) is left out: those
    // answers depend on the machine's settings.
    for (LCID id = 1; id <= 0xFFFF; ++id) {
        if ((id & 0x3FF) == 0) continue;
        bool ok;
        Info(id, LOCALE_SABBREVLANGNAME, ok);
        if (ok) ids.insert(id);
    }
    for (LCID id : ids) {
        bool ok;
        std::string lang = Info(id, LOCALE_SLANGUAGE, ok);
        std::string abbrev = Info(id, LOCALE_SABBREVLANGNAME, ok);
        std::string eng = Info(id, LOCALE_SENGLANGUAGE, ok);
        std::string acp = Info(id, LOCALE_IDEFAULTANSICODEPAGE, ok);
        std::string name = Info(id, 0x5C, ok);  // LOCALE_SNAME (Vista and later)
        std::printf("locale\t%lx\t%s\t%s\t%s\t%s\t%s\n", static_cast<unsigned long>(id), lang.c_str(), abbrev.c_str(),
                    eng.c_str(), acp.c_str(), name.c_str());
    }
    return 0;
}

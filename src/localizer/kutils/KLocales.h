// Locale ids, language codes, English names, charsets and code-page conversion.
// The system's national-language functions sit behind INls: the Win32 build uses the real API,
// the host build a locale table generated once under Wine plus iconv.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/SysUtils.h"

namespace kutils {

using fw::Exception;
FW_DECLARE_EXCEPTION(ELocalesError, Exception);

using LCID = uint32_t;

constexpr uint32_t LOCALE_SLANGUAGE_ = 0x0002;
constexpr uint32_t LOCALE_SABBREVLANGNAME_ = 0x0003;
constexpr uint32_t LOCALE_SENGLANGUAGE_ = 0x1001;
constexpr uint32_t LOCALE_IDEFAULTANSICODEPAGE_ = 0x1004;
constexpr uint32_t LOCALE_SNAME_ = 0x005C;  // the locale's tag: "pt-PT", "sr-Latn-RS"
constexpr uint8_t DEFAULT_CHARSET_ = 1;

// The national-language functions the unit needs, with the Win32 calling shapes.
class INls {
public:
    virtual ~INls() = default;
    // GetLocaleInfoA: with size 0 returns the size needed (with the terminator); 0 when unknown.
    virtual int GetLocaleInfo(LCID lcid, uint32_t type, char* buffer, int size) = 0;
    // EnumSystemLocalesA(LCID_SUPPORTED): the hex texts of the supported locales, in system order.
    virtual std::vector<std::string> EnumSystemLocales() = 0;
    virtual bool IsValidCodePage(uint32_t codePage) = 0;
    virtual uint32_t GetACP() = 0;
    // TranslateCharsetInfo(TCI_SRCCODEPAGE); false when the code page is unknown.
    virtual bool CodePageCharset(uint32_t codePage, uint8_t& charset) = 0;
    // MultiByteToWideChar / WideCharToMultiByte with flags 0 over all of text (callers stop at a
    // zero themselves); code pages 0 to 3 mean the system's; false when the code page is unusable.
    virtual bool MultiByteToWide(uint32_t codePage, const std::string& text, std::u16string& out) = 0;
    virtual bool WideToMultiByte(uint32_t codePage, const std::u16string& text, std::string& out) = 0;
};

// The process's NLS backend (Win32 API on Windows, the generated table on the host).
INls& Nls();
// Tests may substitute a backend; passing nullptr restores the default.
void SetNls(INls* nls);

std::string GetLocaleString(LCID lcid, uint32_t type);
std::string LocaleEnglishName(LCID lcid);
std::string LocaleAbbrev(LCID lcid);
// Names and LCIDs in list order.
void GetInstalledLocales(std::vector<std::pair<std::string, LCID>>& list, uint8_t mode);
LCID FindLocaleByAbbrev(std::string_view code, uint8_t mode);
LCID LocaleFromAbbrev(std::string_view code);
uint16_t PrimaryLangId(LCID lcid);
uint32_t LocaleCodePage(LCID lcid);
uint8_t CodePageToCharset(uint32_t codePage);
uint8_t LocaleCharset(LCID lcid);
std::u16string AnsiToWideCP(const std::string& text, uint32_t codePage);
std::string WideToAnsiCP(const std::u16string& text, uint32_t codePage);
std::u16string AnsiToWideLocale(const std::string& text, LCID lcid);
std::string WideToAnsiLocale(const std::u16string& text, LCID lcid);

// The installed locale a POSIX or tag-style name stands for, as glibc and CLDR read it:
// "pt_PT", "zh_CN.UTF-8", "sr_RS@latin", "ca_ES@valencia", "pt-PT", "sr-Latn-RS". A name without
// a script means the one glibc's locale of that name uses (az_AZ, uz_UZ Latin; sr, sr_BA
// Cyrillic; zh_TW Traditional); a bare language is its main locale ("zh" China, "sr" Serbia,
// "es" Spain, else the primary locale). A region, script or variant the system lacks gives the
// language's main locale (in the script asked for, where there is one) and regionFound false;
// 0 when the language is unknown.
LCID LocaleFromName(std::string_view name, bool* regionFound = nullptr);
// The name LocaleFromName reads back exactly as lcid: the bare language for a language's main
// locale ("de"), else "pt_PT", "zh_TW", "sr_RS@latin", "sr_BA@cyrillic", "es_ES@tradnl"; ""
// when there is none.
std::string LocaleName(LCID lcid);
// Whether the locale table knows lcid (a 16-bit id it has a name for; the localizer's own
// locales included).
bool LocaleKnown(LCID lcid);

}  // namespace kutils

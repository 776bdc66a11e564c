#include "localizer/kutils/KLocales.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "localizer/kutils/KStrings.h"

using namespace kutils;

namespace {

using TLocaleList = std::vector<std::pair<std::string, LCID>>;

TLocaleList Installed(uint8_t mode) {
    TLocaleList list{{"stale", 1}};
    GetInstalledLocales(list, mode);
    return list;
}

bool HasLcid(const TLocaleList& list, LCID lcid) {
    return std::any_of(list.begin(), list.end(), [lcid](const auto& e) { return e.second == lcid; });
}

}  // namespace

// These run against the system's NLS in the Windows build and against the recorded table on the
// host: both must give the same answers.

TEST(KLocalesSystem, AnsiCodePageIsTheEnglishOne) {
    EXPECT_EQ(Nls().GetACP(), 1252u);
}

TEST(KLocalesSystem, LocaleStrings) {
    EXPECT_EQ(GetLocaleString(1049, LOCALE_IDEFAULTANSICODEPAGE_), "1251");
    EXPECT_EQ(GetLocaleString(1031, LOCALE_SENGLANGUAGE_), "German");
    EXPECT_EQ(GetLocaleString(1033, LOCALE_SLANGUAGE_), "English (United States)");
    EXPECT_EQ(GetLocaleString(0x3FFF, LOCALE_SABBREVLANGNAME_), "");  // unknown: empty, no error
    EXPECT_EQ(GetLocaleString(1033, 0x7FFF), "");                     // unknown information type
}

TEST(KLocalesSystem, Abbreviations) {
    EXPECT_EQ(LocaleAbbrev(1031), "DEU");
    EXPECT_EQ(LocaleAbbrev(7), "DE");
    EXPECT_EQ(LocaleAbbrev(1033), "ENU");
    EXPECT_EQ(LocaleAbbrev(9), "EN");
    EXPECT_EQ(LocaleAbbrev(1049), "RUS");
    EXPECT_EQ(LocaleAbbrev(1041), "JPN");
    EXPECT_EQ(LocaleAbbrev(0x3FFF), "");
}

TEST(KLocalesSystem, EnglishNames) {
    // From the fixed table, whatever the system calls them.
    EXPECT_EQ(LocaleEnglishName(1033), "English (United States)");
    EXPECT_EQ(LocaleEnglishName(1034), "Spanish (Traditional Sort)");
    EXPECT_EQ(LocaleEnglishName(1044), "Norwegian (Bokmal)");
    EXPECT_EQ(LocaleEnglishName(1071), "Macedonian (FYROM)");
    EXPECT_EQ(LocaleEnglishName(14337), "Arabic (U.A.E.)");
    EXPECT_EQ(LocaleEnglishName(20490), "Spanish (Puerto Rico)");
    EXPECT_EQ(LocaleEnglishName(1025), "Arabic (Saudi Arabia)");
    // Not in the table: the system's English language name and the locale's code.
    EXPECT_EQ(LocaleEnglishName(1047), "Romansh (RMC)");
    EXPECT_EQ(LocaleEnglishName(0x4009), "English (ENN)");     // English (India)
    EXPECT_EQ(LocaleEnglishName(0x0C07), "German (Austria)");  // 3079 is a table row
    // A bare language outside the table: its English name alone.
    EXPECT_EQ(LocaleEnglishName(9), "English");
    EXPECT_EQ(LocaleEnglishName(0x19), "Russian");
    // A locale the system does not know has no name.
    EXPECT_EQ(LocaleEnglishName(0x3FFF), "");
}

TEST(KLocalesSystem, ThePseudoLocaleIsALanguageLikeAnyOther) {
    // Named alike on every system (Wine and the host table do not know it), so that a pseudo
    // file is found by its code and its module has a name of its own.
    EXPECT_EQ(LocaleAbbrev(0x0501), "QPS");
    EXPECT_EQ(LocaleFromAbbrev("QPS"), 0x0501u);
    EXPECT_EQ(LocaleFromAbbrev("qps"), 0x0501u);
    EXPECT_EQ(FindLocaleByAbbrev("QP", 0), 0u);
    EXPECT_EQ(LocaleEnglishName(0x0501), "Pseudo");
    EXPECT_EQ(LocaleCodePage(0x0501), 1252u);
    EXPECT_EQ(LocaleCharset(0x0501), 0u);  // ANSI_CHARSET
    // Language lists stay as the system has them: where it does not know the locale (the host
    // table, Wine), it is not added to them.
    if (Nls().GetLocaleInfo(0x0501, LOCALE_SABBREVLANGNAME_, nullptr, 0) == 0) {
        EXPECT_FALSE(HasLcid(Installed(1), 0x0501));
        EXPECT_FALSE(HasLcid(Installed(2), 0x0501));
    }
}

TEST(KLocalesSystem, CodePagesAndCharsets) {
    EXPECT_EQ(LocaleCodePage(1049), 1251u);
    EXPECT_EQ(LocaleCodePage(1032), 1253u);
    EXPECT_EQ(LocaleCodePage(1041), 932u);
    EXPECT_EQ(LocaleCodePage(1033), 1252u);
    EXPECT_EQ(LocaleCodePage(1054), 874u);
    EXPECT_EQ(LocaleCodePage(1081), 0u);       // Hindi has no ANSI code page
    EXPECT_EQ(LocaleCodePage(0x3FFF), 1252u);  // unknown: the system's

    EXPECT_EQ(CodePageToCharset(1252), 0);    // ANSI_CHARSET
    EXPECT_EQ(CodePageToCharset(1251), 204);  // RUSSIAN_CHARSET
    EXPECT_EQ(CodePageToCharset(1253), 161);  // GREEK_CHARSET
    EXPECT_EQ(CodePageToCharset(1250), 238);  // EASTEUROPE_CHARSET
    EXPECT_EQ(CodePageToCharset(932), 128);   // SHIFTJIS_CHARSET
    EXPECT_EQ(CodePageToCharset(936), 134);   // GB2312_CHARSET
    EXPECT_EQ(CodePageToCharset(874), 222);   // THAI_CHARSET
    EXPECT_EQ(CodePageToCharset(12345), CodePageToCharset(Nls().GetACP()));
    EXPECT_EQ(CodePageToCharset(12345), 0);
    EXPECT_EQ(CodePageToCharset(866), 0);  // valid, but no charset of its own

    EXPECT_EQ(LocaleCharset(1049), 204);
    EXPECT_EQ(LocaleCharset(1041), 128);
    EXPECT_EQ(LocaleCharset(1031), 0);
    EXPECT_EQ(LocaleCharset(1081), 0);  // code page 0 is no table entry: the system's
}

TEST(KLocalesSystem, LocaleFromAbbrevIgnoresLetterCase) {
    EXPECT_EQ(LocaleFromAbbrev("DEU"), 1031u);
    EXPECT_EQ(LocaleFromAbbrev("deu"), 1031u);
    EXPECT_EQ(LocaleFromAbbrev("dEu"), 1031u);
    EXPECT_EQ(LocaleFromAbbrev("ENU"), 1033u);
    EXPECT_EQ(LocaleFromAbbrev("RUS"), 1049u);
    EXPECT_EQ(LocaleFromAbbrev("jpn"), 1041u);
    EXPECT_EQ(LocaleFromAbbrev("DEA"), 0x0C07u);
    // Two letters name a language that has several locales.
    EXPECT_EQ(LocaleFromAbbrev("DE"), 7u);
    EXPECT_EQ(LocaleFromAbbrev("en"), 9u);
    EXPECT_EQ(LocaleFromAbbrev("Ru"), 0x19u);
    EXPECT_EQ(LocaleFromAbbrev("JA"), 0u);  // one Japanese locale only: no neutral entry
    EXPECT_EQ(LocaleFromAbbrev("XX"), 0u);
    EXPECT_EQ(LocaleFromAbbrev(""), 0u);
    // Mode 0 compares two letters only.
    EXPECT_EQ(FindLocaleByAbbrev("EN", 0), 9u);
    EXPECT_EQ(FindLocaleByAbbrev("ENU", 0), 0u);
    EXPECT_EQ(FindLocaleByAbbrev("JP", 0), 1041u);
}

TEST(KLocalesSystem, InstalledLocales) {
    TLocaleList all = Installed(1), perLanguage = Installed(0), withNeutral = Installed(2);
    ASSERT_GT(all.size(), 50u);
    EXPECT_FALSE(HasLcid(all, 1));
    EXPECT_TRUE(HasLcid(all, 1033));
    EXPECT_FALSE(HasLcid(all, 1081));  // no valid ANSI code page
    EXPECT_FALSE(HasLcid(all, 9));
    for (const auto& e : all) EXPECT_FALSE(e.first.empty());

    // Mode 0: one entry per language; a language with several locales under its bare id.
    std::set<uint16_t> languages;
    for (const auto& e : perLanguage) EXPECT_TRUE(languages.insert(PrimaryLangId(e.second)).second) << e.first;
    auto english = std::find_if(perLanguage.begin(), perLanguage.end(),
                                [](const auto& e) { return PrimaryLangId(e.second) == 9; });
    ASSERT_NE(english, perLanguage.end());
    EXPECT_EQ(english->second, 9u);
    EXPECT_EQ(english->first, "English");
    EXPECT_TRUE(HasLcid(perLanguage, 1041));  // the only Japanese locale keeps its id and name
    EXPECT_FALSE(HasLcid(perLanguage, 1033));

    // Mode 2: everything of the enumeration, in order, plus neutral entries.
    TLocaleList specific;
    for (const auto& e : withNeutral)
        if (e.second != PrimaryLangId(e.second)) specific.push_back(e);
    EXPECT_EQ(specific, all);
    auto neutral = std::find(withNeutral.begin(), withNeutral.end(), std::pair<std::string, LCID>("English", 9));
    ASSERT_NE(neutral, withNeutral.end());
    auto firstEnglish = std::find_if(withNeutral.begin(), withNeutral.end(),
                                     [](const auto& e) { return PrimaryLangId(e.second) == 9 && e.second != 9; });
    EXPECT_EQ(neutral + 1, firstEnglish);
    EXPECT_TRUE(HasLcid(withNeutral, 7));
    EXPECT_FALSE(HasLcid(withNeutral, 0x11));  // Japanese: one locale, no neutral entry
    EXPECT_EQ(withNeutral.size() - all.size(),
              static_cast<size_t>(std::count_if(perLanguage.begin(), perLanguage.end(),
                                                [](const auto& e) { return e.second == PrimaryLangId(e.second); })));
}

TEST(KLocalesSystem, ConversionsRoundTrip) {
    const std::u16string russian = u"\u041f\u0440\u0438\u0432\u0435\u0442";  // Privet
    const std::string russianAnsi = "\xcf\xf0\xe8\xe2\xe5\xf2";
    EXPECT_EQ(WideToAnsiLocale(russian, 1049), russianAnsi);
    EXPECT_EQ(AnsiToWideLocale(russianAnsi, 1049), russian);

    const std::u16string greek = u"\u039a\u03b1\u03bb\u03b7\u03bc\u03ad\u03c1\u03b1";  // Kalimera
    const std::string greekAnsi = "\xca\xe1\xeb\xe7\xec\xdd\xf1\xe1";
    EXPECT_EQ(WideToAnsiLocale(greek, 1032), greekAnsi);
    EXPECT_EQ(AnsiToWideLocale(greekAnsi, 1032), greek);

    const std::u16string japanese = u"\u65e5\u672c\u8a9e\uff71abc";  // Nihongo, half-width A, ASCII
    const std::string japaneseAnsi =
        "\x93\xfa\x96\x7b\x8c\xea\xb1"
        "abc";
    EXPECT_EQ(WideToAnsiLocale(japanese, 1041), japaneseAnsi);
    EXPECT_EQ(AnsiToWideLocale(japaneseAnsi, 1041), japanese);

    EXPECT_EQ(AnsiToWideLocale("caf\xe9", 1031), u"caf\u00e9");
    EXPECT_EQ(WideToAnsiLocale(u"\u20ac", 1031), "\x80");  // the euro sign of the page
    EXPECT_EQ(AnsiToWideCP("\xc3\xa9\xe2\x82\xac", 65001), u"\u00e9\u20ac");
    EXPECT_EQ(WideToAnsiCP(u"\u00e9\u20ac", 65001), "\xc3\xa9\xe2\x82\xac");
    EXPECT_EQ(AnsiToWideCP("\xe9", 0), u"\u00e9");  // CP_ACP
    EXPECT_EQ(AnsiToWideCP("\xa4", 28605), u"\u20ac");

    // Characters the page does not have become the default character.
    EXPECT_EQ(WideToAnsiCP(u"a\u0416b", 1252), "a?b");
    // Zero-terminated sources: the text ends at the first zero.
    EXPECT_EQ(AnsiToWideCP(std::string("ab\0cd", 5), 1252), u"ab");
    EXPECT_EQ(WideToAnsiCP(std::u16string(u"ab\0cd", 5), 1252), "ab");
    EXPECT_EQ(AnsiToWideCP("", 1251), u"");
    EXPECT_EQ(WideToAnsiCP(u"", 1251), "");
    // A code page the system does not know: the system's ANSI code page instead.
    EXPECT_EQ(AnsiToWideCP("\xe9", 12345), u"\u00e9");
    EXPECT_EQ(WideToAnsiCP(u"\u00e9", 12345), "\xe9");
    // Hindi has code page 0, which converts with the system's.
    EXPECT_EQ(AnsiToWideLocale("\xe9", 1081), u"\u00e9");
}

TEST(KLocalesSystem, ConversionsOfUnusualCharacters) {
    // Best fit and the page's unassigned bytes.
    EXPECT_EQ(WideToAnsiCP(u"\u0100\u0141", 1252), "AL");
    EXPECT_EQ(AnsiToWideCP("\x81\x8d", 1252), u"\u0081\u008d");
    EXPECT_EQ(WideToAnsiCP(u"\u0081\u008d", 1252), "\x81\x8d");
    EXPECT_EQ(AnsiToWideCP("\xdb", 874), u"\uf8c1");
    EXPECT_EQ(WideToAnsiCP(u"\uf8c1", 874), "\xdb");
    // Bad sequences become one replacement character each.
    EXPECT_EQ(AnsiToWideCP("a\x80z", 65001), u"a\ufffdz");
    EXPECT_EQ(AnsiToWideCP("a\xc3", 65001), u"a\ufffd");
    EXPECT_EQ(AnsiToWideCP("a\x81\xaez", 932), u"a\u30fbz");
    EXPECT_EQ(AnsiToWideCP("\xb2\xbbz", 936), u"\u4e0dz");
}

TEST(KLocalesSystem, LongTextConverts) {
    std::string ansi;
    for (int i = 0; i < 20000; ++i) ansi += static_cast<char>(0xC0 + i % 64);
    std::u16string wide = AnsiToWideLocale(ansi, 1049);
    ASSERT_EQ(wide.size(), ansi.size());
    EXPECT_EQ(wide[0], u'\u0410');
    EXPECT_EQ(wide[63], u'\u044f');
    EXPECT_EQ(WideToAnsiLocale(wide, 1049), ansi);
}

// ---- The unit's own rules, on a system of our making ----

namespace {

class TFakeNls : public INls {
public:
    struct TLoc {
        std::string lang, abbrev, english, codePage;
    };
    std::map<LCID, TLoc> locales;
    std::vector<std::string> enumerated;
    std::set<uint32_t> validCodePages{1250, 1251, 1252};
    std::map<uint32_t, uint8_t> charsets{{1252, 0}, {1251, 204}};
    std::set<uint32_t> unusable;  // code pages whose conversions fail
    uint32_t acp = 1252;
    LCID brokenLcid = 0xFFFFFFFF;  // its second GetLocaleInfo call returns another count
    std::vector<uint32_t> conversions;

    int GetLocaleInfo(LCID lcid, uint32_t type, char* buffer, int size) override {
        auto it = locales.find(lcid);
        if (it == locales.end()) return 0;
        const TLoc& l = it->second;
        const std::string* v = type == LOCALE_SLANGUAGE_              ? &l.lang
                               : type == LOCALE_SABBREVLANGNAME_      ? &l.abbrev
                               : type == LOCALE_SENGLANGUAGE_         ? &l.english
                               : type == LOCALE_IDEFAULTANSICODEPAGE_ ? &l.codePage
                                                                      : nullptr;
        if (!v) return 0;
        int needed = static_cast<int>(v->size()) + 1;
        if (size == 0) return needed;
        if (size < needed) return 0;
        std::copy(v->c_str(), v->c_str() + needed, buffer);
        return lcid == brokenLcid ? needed - 1 : needed;
    }
    std::vector<std::string> EnumSystemLocales() override { return enumerated; }
    bool IsValidCodePage(uint32_t cp) override { return validCodePages.count(cp) != 0; }
    uint32_t GetACP() override { return acp; }
    bool CodePageCharset(uint32_t cp, uint8_t& cs) override {
        auto it = charsets.find(cp);
        if (it == charsets.end()) return false;
        cs = it->second;
        return true;
    }
    // Conversions tag the text with the code page used, so that a test sees which one it was.
    bool MultiByteToWide(uint32_t cp, const std::string& text, std::u16string& out) override {
        conversions.push_back(cp);
        if (unusable.count(cp)) return false;
        out = std::u16string(text.begin(), text.end()) + u"@" + std::u16string(1, static_cast<char16_t>(cp));
        return true;
    }
    bool WideToMultiByte(uint32_t cp, const std::u16string& text, std::string& out) override {
        conversions.push_back(cp);
        if (unusable.count(cp)) return false;
        out.clear();
        for (char16_t c : text) out += static_cast<char>(c);
        out += "@" + std::to_string(cp);
        return true;
    }
};

class KLocalesFake : public ::testing::Test {
protected:
    void SetUp() override {
        nls.locales = {
            {0x409, {"English (United States)", "ENU", "English", "1252"}},
            {0x809, {"English (United Kingdom)", "ENG", "English", "1252"}},
            {0xC09, {"English (Australia)", "ENA", "English", "1252"}},
            {0x009, {"English (United States)", "ENU", "English", "1252"}},
            {0x407, {"German (Germany)", "DEU", "German", "1252"}},
            {0x807, {"German (Switzerland)", "DES", "German", "1252"}},
            {0x007, {"German", "DEU", "German", "1252"}},
            {0x410, {"Italian (Italy)", "ITA", "Italian", "1252"}},
            {0x439, {"Hindi (India)", "HIN", "Hindi", "0"}},
            {0x419, {"", "RUS", "Russian", "1251"}},
            {0x40C, {"French (France)", "FRA", "French", "1252"}},
            {0x417, {"Romansh (Switzerland)", "RMC", "Romansh (Switzerland)", "1252"}},
            {0x422, {"Ukrainian (Ukraine)", "UKR", "Ukrainian", ""}},
            {0x423, {"Belarusian (Belarus)", "BEL", "Belarusian", "12x"}},
        };
        nls.enumerated = {"",         "not hex",  "00000409", "00000407", "00000809", "00000439", "00000419",
                          "0000040c", "00000c09", "00000807", "00000007", "00000422", "00000423", "00000410"};
        nls.brokenLcid = 0x40C;
        SetNls(&nls);
    }
    void TearDown() override { SetNls(nullptr); }

    TFakeNls nls;
};

TLocaleList L(std::initializer_list<std::pair<const char*, LCID>> items) {
    TLocaleList r;
    for (const auto& i : items) r.emplace_back(i.first, i.second);
    return r;
}

}  // namespace

TEST_F(KLocalesFake, NlsCanBeSubstitutedAndRestored) {
    EXPECT_EQ(&Nls(), &nls);
    SetNls(nullptr);
    EXPECT_NE(&Nls(), &nls);
    EXPECT_EQ(Nls().GetACP(), 1252u);
}

TEST_F(KLocalesFake, CountMismatchRaises) {
    try {
        GetLocaleString(0x40C, LOCALE_SABBREVLANGNAME_);
        FAIL() << "no error";
    } catch (const ELocalesError& e) {
        EXPECT_EQ(e.Message(), "Can not get locale info");
    }
    EXPECT_THROW(LocaleAbbrev(0x40C), ELocalesError);
    EXPECT_THROW(LocaleCodePage(0x40C), ELocalesError);
    EXPECT_THROW(LocaleCharset(0x40C), ELocalesError);
    nls.brokenLcid = 0x417;  // not a table row: the system is asked
    EXPECT_THROW(LocaleEnglishName(0x417), ELocalesError);
}

TEST_F(KLocalesFake, EnglishNameRules) {
    nls.brokenLcid = 1036;
    EXPECT_EQ(LocaleEnglishName(1036), "French (France)");  // table: the system is not asked
    EXPECT_EQ(LocaleEnglishName(0x417), "Romansh (RMC)");
    EXPECT_EQ(LocaleEnglishName(0x007), "German");
    EXPECT_EQ(LocaleEnglishName(0x2222), "");
}

TEST_F(KLocalesFake, CodePageOfALocale) {
    EXPECT_EQ(LocaleCodePage(0x419), 1251u);
    EXPECT_EQ(LocaleCodePage(0x422), 1252u);  // empty: the system's
    EXPECT_EQ(LocaleCodePage(0x423), 1252u);  // not a number: the system's
    EXPECT_EQ(LocaleCodePage(0x2222), 1252u);
    nls.acp = 1250;
    EXPECT_EQ(LocaleCodePage(0x2222), 1250u);
}

TEST_F(KLocalesFake, CharsetFallsBackToTheSystemsThenDefault) {
    EXPECT_EQ(CodePageToCharset(1251), 204);
    EXPECT_EQ(CodePageToCharset(999), 0);
    nls.acp = 1251;
    EXPECT_EQ(CodePageToCharset(999), 204);
    nls.acp = 777;
    EXPECT_EQ(CodePageToCharset(999), DEFAULT_CHARSET_);
    EXPECT_EQ(LocaleCharset(0x419), 204);
}

TEST_F(KLocalesFake, EnumerationSkipsWhatFails) {
    // Empty and non-hex texts, code page 0, an empty name and a failing query are left out.
    EXPECT_EQ(Installed(1), L({{"English (United States)", 0x409},
                               {"German (Germany)", 0x407},
                               {"English (United Kingdom)", 0x809},
                               {"English (Australia)", 0xC09},
                               {"German (Switzerland)", 0x807},
                               {"German", 0x007},
                               {"Italian (Italy)", 0x410}}));
    EXPECT_EQ(Installed(7), Installed(1));  // any other mode: as enumerated
}

TEST_F(KLocalesFake, ModeZeroKeepsOneEntryPerLanguage) {
    EXPECT_EQ(Installed(0), L({{"English", 9}, {"German", 7}, {"Italian (Italy)", 0x410}}));
}

TEST_F(KLocalesFake, ModeTwoAddsMissingNeutralEntries) {
    // English gets a neutral entry before its first locale; German already has one.
    EXPECT_EQ(Installed(2), L({{"English", 9},
                               {"English (United States)", 0x409},
                               {"German (Germany)", 0x407},
                               {"English (United Kingdom)", 0x809},
                               {"English (Australia)", 0xC09},
                               {"German (Switzerland)", 0x807},
                               {"German", 0x007},
                               {"Italian (Italy)", 0x410}}));
    // Without the bare German entry German gets one too, and the step past the inserted entry
    // does not skip the next language.
    nls.enumerated = {"00000407", "00000410", "00000810", "00000807"};
    nls.locales[0x810] = {"Italian (Switzerland)", "ITS", "Italian", "1252"};
    EXPECT_EQ(Installed(2), L({{"German", 7},
                               {"German (Germany)", 0x407},
                               {"Italian", 0x10},
                               {"Italian (Italy)", 0x410},
                               {"Italian (Switzerland)", 0x810},
                               {"German (Switzerland)", 0x807}}));
}

TEST_F(KLocalesFake, FindByAbbrev) {
    nls.locales[0x010] = {"Italian", "ITA", "Italian", "1252"};
    EXPECT_EQ(FindLocaleByAbbrev("en", 2), 9u);
    EXPECT_EQ(FindLocaleByAbbrev("eng", 2), 0x809u);
    EXPECT_EQ(FindLocaleByAbbrev("DEU", 2), 0x407u);  // the first in list order
    EXPECT_EQ(FindLocaleByAbbrev("de", 2), 7u);
    EXPECT_EQ(FindLocaleByAbbrev("ita", 2), 0x410u);
    EXPECT_EQ(FindLocaleByAbbrev("it", 2), 0u);  // one Italian locale: no neutral entry
    EXPECT_EQ(FindLocaleByAbbrev("it", 0), 0x410u);
    EXPECT_EQ(FindLocaleByAbbrev("EN", 0), 9u);
    EXPECT_EQ(FindLocaleByAbbrev("ENU", 0), 0u);
    EXPECT_EQ(FindLocaleByAbbrev("fra", 2), 0u);  // its queries fail: not installed
    EXPECT_EQ(LocaleFromAbbrev("Eng"), 0x809u);
}

TEST_F(KLocalesFake, ConversionFallsBackToTheSystemsCodePage) {
    EXPECT_EQ(AnsiToWideCP("ab", 1251), u"ab@\u04e3");
    nls.unusable = {1251};
    nls.conversions.clear();
    EXPECT_EQ(AnsiToWideCP("ab", 1251), u"ab@\u04e4");  // 1252
    EXPECT_EQ(nls.conversions, (std::vector<uint32_t>{1251, 1252}));
    EXPECT_EQ(WideToAnsiCP(u"ab", 1251), "ab@1252");
    // Nothing usable at all: the bytes as Latin-1 rather than nothing.
    nls.unusable = {1251, 1252};
    EXPECT_EQ(AnsiToWideCP("a\xe9", 1251), u"a\u00e9");
    EXPECT_EQ(WideToAnsiCP(u"a\u00e9\u0416", 1251), "a\xe9?");
    // The locale's code page is the one asked first.
    nls.unusable.clear();
    nls.conversions.clear();
    EXPECT_EQ(AnsiToWideLocale("x", 0x419), u"x@\u04e3");
    EXPECT_EQ(WideToAnsiLocale(u"x", 0x410), "x@1252");
    EXPECT_EQ(nls.conversions, (std::vector<uint32_t>{1251, 1252}));
}

// Names as glibc's locales and CLDR read them: a name without a script means the script of
// glibc's locale of that name, a bare language its main locale.
TEST(KLocalesSystem, LocalesFromPosixNamesAndTags) {
    struct {
        const char* Name;
        LCID Lcid;
        bool Region;
    } cases[] = {
        {"zh_CN", 0x0804, true},
        {"zh_TW", 0x0404, true},
        {"zh_HK", 0x0C04, true},
        {"zh_SG", 0x1004, true},
        {"zh-Hant", 0x0404, true},
        {"zh-Hans", 0x0804, true},
        {"pt_PT", 0x0816, true},
        {"pt_BR", 0x0416, true},
        {"es_MX", 0x080A, true},
        {"zh_CN.UTF-8", 0x0804, true},
        {"pt-PT", 0x0816, true},
        {"PT_pt", 0x0816, true},
        {"sr_RS@latin", 0x241A, true},
        {"sr_RS@cyrillic", 0x281A, true},
        {"sr_RS", 0x281A, true},
        {"sr_ME", 0x301A, true},
        {"sr_BA", 0x1C1A, true},
        {"sr_BA@latin", 0x181A, true},
        {"sr", 0x281A, true},
        {"sr@latin", 0x241A, true},
        {"sr@cyrillic", 0x281A, true},
        {"sr-Latn", 0x241A, true},
        {"sr-Latn-RS", 0x241A, true},
        {"sr-Cyrl-RS.UTF-8", 0x281A, true},
        {"az_AZ", 0x042C, true},
        {"az", 0x042C, true},
        {"az_AZ@cyrillic", 0x082C, true},
        {"uz_UZ", 0x0443, true},
        {"uz_UZ@cyrillic", 0x0843, true},
        {"bs", 0x141A, true},
        {"bs_BA", 0x141A, true},
        {"mn_MN", 0x0450, true},
        {"mn", 0x0450, true},
        {"pa_IN", 0x0446, true},
        {"pa_PK", 0x0846, true},
        {"sd_IN@devanagari", 0x0459, true},
        {"sd", 0x0859, true},
        {"iu_CA", 0x045D, true},
        {"iu_CA@latin", 0x085D, true},
        {"ca_ES", 0x0403, true},
        {"ca_ES@valencia", 0x0803, true},
        {"ca", 0x0403, true},
        {"de_DE@euro", 0x0407, true},
        {"es_ES", 0x0C0A, true},
        {"es_ES@tradnl", 0x040A, true},
        {"de", 0x0407, true},
        {"zh", 0x0804, true},
        {"pt", 0x0416, true},
        {"es", 0x0C0A, true},
        {"no", 0x0414, true},
        {"nb_NO", 0x0414, true},
        {"nn_NO", 0x0814, true},
        // A region, script or variant the system lacks: the language's main locale, in the
        // script asked for where there is one.
        {"pt_XX", 0x0416, false},
        {"de_ZZ.ISO-8859-1", 0x0407, false},
        {"en_150", 0x0409, false},
        {"sr_XX@latin", 0x241A, false},
        {"sd_IN", 0x0859, false},  // glibc's sd_IN is Arabic; the system's Sindhi of India is not
        {"ca_AD@valencia", 0x0803, false},
        {"de_DE@phonebook", 0x0407, false},
    };
    for (const auto& c : cases) {
        bool region = !c.Region;
        EXPECT_EQ(LocaleFromName(c.Name, &region), c.Lcid) << c.Name << std::hex << " gave " << LocaleFromName(c.Name);
        EXPECT_EQ(region, c.Region) << c.Name;
    }
    EXPECT_EQ(LocaleFromName("xx_YY"), 0u);
    EXPECT_EQ(LocaleFromName(""), 0u);
    EXPECT_EQ(LocaleFromName("_"), 0u);
}

// The name written for a locale reads back as that locale, and other tools read it so too.
TEST(KLocalesSystem, LocaleNamesBothWays) {
    struct {
        LCID Lcid;
        const char* Name;
    } cases[] = {
        {0x0407, "de"},
        {0x0807, "de_CH"},
        {0x0409, "en"},
        {0x0809, "en_GB"},
        {0x0404, "zh_TW"},
        {0x0804, "zh_CN"},
        {0x0C04, "zh_HK"},
        {0x1004, "zh_SG"},
        {0x0416, "pt_BR"},
        {0x0816, "pt_PT"},
        {0x0C0A, "es"},
        {0x040A, "es_ES@tradnl"},
        {0x0403, "ca"},
        {0x0803, "ca_ES@valencia"},
        {0x281A, "sr"},
        {0x241A, "sr_RS@latin"},
        {0x1C1A, "sr_BA@cyrillic"},
        {0x181A, "sr_BA@latin"},
        {0x301A, "sr_ME@cyrillic"},
        {0x2C1A, "sr_ME@latin"},
        {0x042C, "az"},
        {0x082C, "az_AZ@cyrillic"},
        {0x0443, "uz"},
        {0x0843, "uz_UZ@cyrillic"},
        {0x141A, "bs"},
        {0x201A, "bs_BA@cyrillic"},
        {0x041A, "hr"},
        {0x101A, "hr_BA"},
        {0x0450, "mn"},
        {0x0850, "mn_CN"},
        {0x0C50, "mn_MN@mongolian"},
        {0x0446, "pa"},
        {0x0846, "pa_PK"},
        {0x0859, "sd"},
        {0x0459, "sd_IN@devanagari"},
        {0x045D, "iu"},
        {0x085D, "iu_CA@latin"},
        {0x0414, "nb"},
        {0x0814, "nn"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LocaleName(c.Lcid), c.Name) << std::hex << c.Lcid;
        bool exact = false;
        EXPECT_EQ(LocaleFromName(c.Name, &exact), c.Lcid) << c.Name;
        EXPECT_TRUE(exact) << c.Name;
    }
}

TEST(KLocalesSystem, LocaleNamesReadBack) {
    // Every installed locale that has a name comes back from it.
    size_t named = 0;
    for (const std::string& text : Nls().EnumSystemLocales()) {
        LCID lcid = static_cast<LCID>(HexToInt(text));
        std::string name = LocaleName(lcid);
        if (name.empty()) continue;
        ++named;
        bool exact = false;
        EXPECT_EQ(LocaleFromName(name, &exact), lcid) << name;
        EXPECT_TRUE(exact) << name;
    }
    EXPECT_GT(named, 150u);
}

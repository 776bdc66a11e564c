#include "localizer/kutils/KLocales.h"

#include <algorithm>
#include <unordered_map>

#include "localizer/kutils/KStrings.h"
#include "localizer/kutils/nls/NlsBackend.h"

namespace kutils {

namespace {

INls* g_nls = nullptr;

// English display names shown before the system is asked (the system's names differ between
// versions, these are the ones the language files and lists were made with).
const std::unordered_map<LCID, const char*>& EnglishNames() {
    static const std::unordered_map<LCID, const char*> table = {
        {1025, "Arabic (Saudi Arabia)"},
        {1026, "Bulgarian"},
        {1027, "Catalan"},
        {1028, "Chinese (Taiwan)"},
        {1029, "Czech"},
        {1030, "Danish"},
        {1031, "German (Germany)"},
        {1032, "Greek"},
        {1033, "English (United States)"},
        {1034, "Spanish (Traditional Sort)"},
        {1035, "Finnish"},
        {1036, "French (France)"},
        {1037, "Hebrew"},
        {1038, "Hungarian"},
        {1039, "Icelandic"},
        {1040, "Italian (Italy)"},
        {1041, "Japanese"},
        {1042, "Korean"},
        {1043, "Dutch (Netherlands)"},
        {1044, "Norwegian (Bokmal)"},
        {1045, "Polish"},
        {1046, "Portuguese (Brazil)"},
        {1048, "Romanian"},
        {1049, "Russian"},
        {1050, "Croatian"},
        {1051, "Slovak"},
        {1052, "Albanian"},
        {1053, "Swedish"},
        {1054, "Thai"},
        {1055, "Turkish"},
        {1056, "Urdu"},
        {1057, "Indonesian"},
        {1058, "Ukrainian"},
        {1059, "Belarusian"},
        {1060, "Slovenian"},
        {1061, "Estonian"},
        {1062, "Latvian"},
        {1063, "Lithuanian"},
        {1065, "Farsi"},
        {1066, "Vietnamese"},
        {1067, "Armenian"},
        {1068, "Azeri (Latin)"},
        {1069, "Basque"},
        {1071, "Macedonian (FYROM)"},
        {1078, "Afrikaans"},
        {1079, "Georgian"},
        {1080, "Faeroese"},
        {1081, "Hindi"},
        {1086, "Malay (Malaysia)"},
        {1087, "Kazakh"},
        {1088, "Kyrgyz (Cyrillic)"},
        {1089, "Swahili"},
        {1091, "Uzbek (Latin)"},
        {1092, "Tatar"},
        {1094, "Punjabi"},
        {1095, "Gujarati"},
        {1097, "Tamil"},
        {1098, "Telugu"},
        {1099, "Kannada"},
        {1102, "Marathi"},
        {1103, "Sanskrit"},
        {1104, "Mongolian (Cyrillic)"},
        {1110, "Galician"},
        {1111, "Konkani"},
        {1114, "Syriac"},
        {1125, "Divehi"},
        {2049, "Arabic (Iraq)"},
        {2052, "Chinese (PRC)"},
        {2055, "German (Switzerland)"},
        {2057, "English (United Kingdom)"},
        {2058, "Spanish (Mexico)"},
        {2060, "French (Belgium)"},
        {2064, "Italian (Switzerland)"},
        {2067, "Dutch (Belgium)"},
        {2068, "Norwegian (Nynorsk)"},
        {2070, "Portuguese (Portugal)"},
        {2074, "Serbian (Latin)"},
        {2077, "Swedish (Finland)"},
        {2092, "Azeri (Cyrillic)"},
        {2110, "Malay (Brunei Darussalam)"},
        {2115, "Uzbek (Cyrillic)"},
        {3073, "Arabic (Egypt)"},
        {3076, "Chinese (Hong Kong)"},
        {3079, "German (Austria)"},
        {3081, "English (Australia)"},
        {3082, "Spanish (International Sort)"},
        {3084, "French (Canada)"},
        {3098, "Serbian (Cyrillic)"},
        {4097, "Arabic (Libya)"},
        {4100, "Chinese (Singapore)"},
        {4103, "German (Luxembourg)"},
        {4105, "English (Canada)"},
        {4106, "Spanish (Guatemala)"},
        {4108, "French (Switzerland)"},
        {5121, "Arabic (Algeria)"},
        {5124, "Chinese (Macau)"},
        {5127, "German (Liechtenstein)"},
        {5129, "English (New Zealand)"},
        {5130, "Spanish (Costa Rica)"},
        {5132, "French (Luxembourg)"},
        {6145, "Arabic (Morocco)"},
        {6153, "English (Ireland)"},
        {6154, "Spanish (Panama)"},
        {6156, "French (Monaco)"},
        {7169, "Arabic (Tunisia)"},
        {7177, "English (South Africa)"},
        {7178, "Spanish (Dominican Republic)"},
        {8193, "Arabic (Oman)"},
        {8201, "English (Jamaica)"},
        {8202, "Spanish (Venezuela)"},
        {9217, "Arabic (Yemen)"},
        {9225, "English (Caribbean)"},
        {9226, "Spanish (Colombia)"},
        {10241, "Arabic (Syria)"},
        {10249, "English (Belize)"},
        {10250, "Spanish (Peru)"},
        {11265, "Arabic (Jordan)"},
        {11273, "English (Trinidad)"},
        {11274, "Spanish (Argentina)"},
        {12289, "Arabic (Lebanon)"},
        {12297, "English (Zimbabwe)"},
        {12298, "Spanish (Ecuador)"},
        {13313, "Arabic (Kuwait)"},
        {13321, "English (Philippines)"},
        {13322, "Spanish (Chile)"},
        {14337, "Arabic (U.A.E.)"},
        {14346, "Spanish (Uruguay)"},
        {15361, "Arabic (Bahrain)"},
        {15370, "Spanish (Paraguay)"},
        {16385, "Arabic (Qatar)"},
        {16394, "Spanish (Bolivia)"},
        {17418, "Spanish (El Salvador)"},
        {18442, "Spanish (Honduras)"},
        {19466, "Spanish (Nicaragua)"},
        {20490, "Spanish (Puerto Rico)"},
        {0x0501, "Pseudo"},
    };
    return table;
}

// Locales the localizer names itself, on every system alike: the pseudo-locale, so that a
// pseudo-translation is a language like any other, with one file and module name (APP.QPS.lng,
// APP.QPS) whether or not the system knows the locale (Wine does not).
struct TOwnLocale {
    LCID Lcid;
    const char* Language;  // LOCALE_SLANGUAGE and LOCALE_SENGLANGUAGE
    const char* Abbrev;
    const char* AnsiCodePage;
};
constexpr TOwnLocale kOwnLocales[] = {{0x0501, "Pseudo", "QPS", "1252"}};

const char* OwnLocaleInfo(LCID lcid, uint32_t type) {
    for (const TOwnLocale& l : kOwnLocales) {
        if (l.Lcid != lcid) continue;
        switch (type) {
            case LOCALE_SLANGUAGE_:
            case LOCALE_SENGLANGUAGE_:
                return l.Language;
            case LOCALE_SABBREVLANGNAME_:
                return l.Abbrev;
            case LOCALE_IDEFAULTANSICODEPAGE_:
                return l.AnsiCodePage;
            default:
                return nullptr;
        }
    }
    return nullptr;
}

bool IsBareLanguage(LCID lcid) {
    return lcid == PrimaryLangId(lcid);
}

// Text up to the first zero byte, as a zero-terminated source of the API.
std::string UpToZero(const std::string& s) {
    return s.substr(0, s.find('\0'));
}
std::u16string UpToZero(const std::u16string& s) {
    return s.substr(0, s.find(u'\0'));
}

}  // namespace

INls& Nls() {
    return g_nls ? *g_nls : nls::DefaultNls();
}

void SetNls(INls* nls) {
    g_nls = nls;
}

std::string GetLocaleString(LCID lcid, uint32_t type) {
    if (const char* own = OwnLocaleInfo(lcid, type)) return own;
    INls& n = Nls();
    int size = n.GetLocaleInfo(lcid, type, nullptr, 0);
    if (size < 0) size = 0;
    std::string buffer(static_cast<size_t>(size), '\0');
    if (n.GetLocaleInfo(lcid, type, size > 0 ? buffer.data() : nullptr, size) != size)
        throw ELocalesError("Can not get locale info");
    return UpToZero(buffer);
}

std::string LocaleEnglishName(LCID lcid) {
    const auto& table = EnglishNames();
    auto it = table.find(lcid);
    if (it != table.end()) return it->second;
    std::string name = GetLocaleString(lcid, LOCALE_SENGLANGUAGE_);
    // A locale the system does not know has no name, not an empty one with brackets.
    if (IsBareLanguage(lcid) || name.empty()) return name;
    return TrimmedPartBefore(" (", name) + " (" + GetLocaleString(lcid, LOCALE_SABBREVLANGNAME_) + ")";
}

std::string LocaleAbbrev(LCID lcid) {
    std::string code = GetLocaleString(lcid, LOCALE_SABBREVLANGNAME_);
    if (IsBareLanguage(lcid) && code.size() > 2) code.resize(2);
    return code;
}

void GetInstalledLocales(std::vector<std::pair<std::string, LCID>>& list, uint8_t mode) {
    list.clear();
    std::vector<std::pair<std::string, LCID>> work;
    INls& n = Nls();
    for (const std::string& text : n.EnumSystemLocales()) {
        if (text.empty()) continue;
        // A locale whose queries fail is left out; the enumeration goes on.
        try {
            LCID lcid = static_cast<LCID>(HexToInt(text));
            int32_t codePage = 0;
            if (!fw::TryStrToInt(GetLocaleString(lcid, LOCALE_IDEFAULTANSICODEPAGE_), codePage)) continue;
            if (!n.IsValidCodePage(static_cast<uint32_t>(codePage))) continue;
            std::string name = GetLocaleString(lcid, LOCALE_SLANGUAGE_);
            if (!name.empty()) work.emplace_back(std::move(name), lcid);
        } catch (const fw::Exception&) {
        }
    }

    if (mode == 0) {
        // One entry per language: the first locale of a language with several stands for it.
        for (size_t i = 0; i < work.size(); ++i) {
            uint16_t p = PrimaryLangId(work[i].second);
            auto later = std::remove_if(work.begin() + static_cast<std::ptrdiff_t>(i) + 1, work.end(),
                                        [p](const auto& e) { return PrimaryLangId(e.second) == p; });
            if (later != work.end()) {
                work.erase(later, work.end());
                work[i] = {TrimmedPartBefore("(", work[i].first), p};
            }
        }
    } else if (mode == 2) {
        // A neutral entry before the first locale of every language with several and none yet.
        for (size_t i = 0; i + 1 < work.size();) {
            uint16_t p = PrimaryLangId(work[i].second);
            bool hasNeutral = std::any_of(work.begin(), work.end(), [p](const auto& e) { return e.second == p; });
            bool hasMore = !hasNeutral && std::any_of(work.begin() + static_cast<std::ptrdiff_t>(i) + 1, work.end(),
                                                      [p](const auto& e) { return PrimaryLangId(e.second) == p; });
            if (hasMore) {
                work.insert(work.begin() + static_cast<std::ptrdiff_t>(i), {TrimmedPartBefore("(", work[i].first), p});
                i += 2;
            } else {
                ++i;
            }
        }
    }
    list = std::move(work);
}

LCID FindLocaleByAbbrev(std::string_view code, uint8_t mode) {
    std::vector<std::pair<std::string, LCID>> list;
    GetInstalledLocales(list, mode);
    for (const auto& e : list) {
        std::string abbrev = LocaleAbbrev(e.second);
        if (mode == 0 && abbrev.size() > 2) abbrev.resize(2);
        if (fw::SameTextAscii(abbrev, code)) return e.second;
    }
    // The localizer's own locales are found by their code, though they are no installed locale.
    for (const TOwnLocale& l : kOwnLocales)
        if (mode != 0 && fw::SameTextAscii(l.Abbrev, code)) return l.Lcid;
    return 0;
}

LCID LocaleFromAbbrev(std::string_view code) {
    return FindLocaleByAbbrev(code, 2);
}

uint16_t PrimaryLangId(LCID lcid) {
    return static_cast<uint16_t>(lcid & 0x3FF);
}

uint32_t LocaleCodePage(LCID lcid) {
    std::string text = GetLocaleString(lcid, LOCALE_IDEFAULTANSICODEPAGE_);
    int32_t codePage = 0;
    if (text.empty() || !fw::TryStrToInt(text, codePage)) return Nls().GetACP();
    return static_cast<uint32_t>(codePage);
}

uint8_t CodePageToCharset(uint32_t codePage) {
    INls& n = Nls();
    uint8_t charset = 0;
    if (n.CodePageCharset(codePage, charset)) return charset;
    if (n.CodePageCharset(n.GetACP(), charset)) return charset;
    return DEFAULT_CHARSET_;
}

uint8_t LocaleCharset(LCID lcid) {
    return CodePageToCharset(LocaleCodePage(lcid));
}

std::u16string AnsiToWideCP(const std::string& text, uint32_t codePage) {
    INls& n = Nls();
    std::string source = UpToZero(text);
    std::u16string out;
    if (n.MultiByteToWide(codePage, source, out)) return UpToZero(out);
    // The runtime's own conversion: the system code page, and when even that is unusable the
    // bytes taken as Latin-1 rather than nothing.
    if (n.MultiByteToWide(n.GetACP(), source, out)) return UpToZero(out);
    std::u16string latin1;
    for (char c : source) latin1 += static_cast<char16_t>(static_cast<unsigned char>(c));
    return latin1;
}

std::string WideToAnsiCP(const std::u16string& text, uint32_t codePage) {
    INls& n = Nls();
    std::u16string source = UpToZero(text);
    std::string out;
    if (n.WideToMultiByte(codePage, source, out)) return UpToZero(out);
    if (n.WideToMultiByte(n.GetACP(), source, out)) return UpToZero(out);
    out.clear();
    for (char16_t c : source) out += c < 256 ? static_cast<char>(c) : '?';
    return out;
}

std::u16string AnsiToWideLocale(const std::string& text, LCID lcid) {
    return AnsiToWideCP(text, LocaleCodePage(lcid));
}

std::string WideToAnsiLocale(const std::u16string& text, LCID lcid) {
    return WideToAnsiCP(text, LocaleCodePage(lcid));
}

namespace {

// A locale name split into its parts; the language in lower case, script and region as written
// in tags ("Latn", "PT"). POSIX names ("sr_RS.UTF-8@latin") and tags ("sr-Latn-RS") both read.
struct TLocaleName {
    std::string Language, Script, Region;
    std::string Variant;  // "valencia" of "ca-ES-valencia" or "ca_ES@valencia", "tradnl"
};

std::string LowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string UpperAscii(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// Scripts as POSIX names give them after "@" (glibc's sr_RS@latin, uz_UZ@cyrillic,
// sd_IN@devanagari), and the script codes written in their place.
struct TScriptModifier {
    const char* Script;
    const char* Modifier;
};
constexpr TScriptModifier kScriptModifiers[] = {
    {"Latn", "latin"}, {"Cyrl", "cyrillic"}, {"Deva", "devanagari"}, {"Arab", "arabic"}, {"Mong", "mongolian"},
};

// The script a name means when it names none, as glibc's locale of that name and CLDR's likely
// subtags have it ("" where the locale table's own scripts need no default): az_AZ and uz_UZ are
// Latin, sr_RS and sr_ME Cyrillic, zh_TW Traditional. A region of "" stands for any other.
struct TDefaultScript {
    const char* Language;
    const char* Region;
    const char* Script;
};
constexpr TDefaultScript kDefaultScripts[] = {
    {"az", "IR", "Arab"}, {"az", "", "Latn"},   {"bs", "", "Latn"},   {"iu", "", "Cans"},   {"ks", "", "Arab"},
    {"mn", "CN", "Mong"}, {"mn", "", "Cyrl"},   {"pa", "PK", "Arab"}, {"pa", "", "Guru"},   {"sd", "", "Arab"},
    {"sr", "", "Cyrl"},   {"uz", "AF", "Arab"}, {"uz", "", "Latn"},   {"zh", "TW", "Hant"}, {"zh", "HK", "Hant"},
    {"zh", "MO", "Hant"}, {"zh", "", "Hans"},
};

// The region of a language's main locale where it is not the locale table's primary one
// (SUBLANG_DEFAULT): "zh" is China, "sr" Serbia, "es" Spain (not its traditional sort).
struct TMainRegion {
    const char* Language;
    const char* Script;  // "" for any
    const char* Region;
};
constexpr TMainRegion kMainRegions[] = {
    {"zh", "Hans", "CN"}, {"zh", "Hant", "TW"}, {"sr", "", "RS"}, {"bs", "", "BA"},     {"es", "", "ES"},
    {"sd", "Arab", "PK"}, {"sd", "Deva", "IN"}, {"ff", "", "SN"}, {"mn", "Mong", "CN"},
};

// Old language codes that other tools still write.
constexpr std::pair<const char*, const char*> kLanguageAliases[] = {
    {"no", "nb"}, {"iw", "he"}, {"in", "id"}, {"ji", "yi"}};

std::string DefaultScript(const std::string& language, const std::string& region) {
    for (const TDefaultScript& d : kDefaultScripts)
        if (language == d.Language && (!*d.Region || region == d.Region)) return d.Script;
    return {};
}

std::string MainRegion(const std::string& language, const std::string& script) {
    for (const TMainRegion& m : kMainRegions)
        if (language == m.Language && (!*m.Script || script == m.Script)) return m.Region;
    return {};
}

TLocaleName SplitLocaleName(std::string_view name) {
    TLocaleName n;
    std::string modifier;
    size_t at = name.find('@');
    if (at != std::string_view::npos)
        modifier = LowerAscii(std::string(name.substr(at + 1))), name = name.substr(0, at);
    name = name.substr(0, name.find('.'));  // the charset
    std::vector<std::string> parts;
    std::string cur;
    for (char c : name) {
        if (c == '_' || c == '-') {
            parts.push_back(cur), cur.clear();
        } else {
            cur += c;
        }
    }
    parts.push_back(cur);
    n.Language = LowerAscii(parts[0]);
    for (const auto& [alias, language] : kLanguageAliases)
        if (n.Language == alias) n.Language = language;
    for (size_t i = 1; i < parts.size(); ++i) {
        const std::string& p = parts[i];
        if (p.size() == 4 && n.Script.empty() && n.Region.empty()) {
            n.Script = UpperAscii(p.substr(0, 1)) + LowerAscii(p.substr(1));
        } else if ((p.size() == 2 || p.size() == 3) && n.Region.empty()) {
            n.Region = UpperAscii(p);
        } else if (n.Variant.empty()) {
            n.Variant = LowerAscii(p);
        }
    }
    // "@euro" names a currency, not a language.
    if (modifier.empty() || modifier == "euro") return n;
    for (const TScriptModifier& m : kScriptModifiers)
        if (modifier == m.Modifier || modifier == LowerAscii(m.Script)) {
            if (n.Script.empty()) n.Script = m.Script;
            return n;
        }
    if (n.Variant.empty()) n.Variant = modifier;
    return n;
}

std::string LocaleTag(LCID lcid) {
    try {
        return GetLocaleString(lcid, LOCALE_SNAME_);
    } catch (const ELocalesError&) {
        return {};
    }
}

bool IsPrimaryLocale(LCID lcid) {
    return (lcid & 0xFC00) == 0x0400;  // SUBLANG_DEFAULT
}

// A script not known on one side matches any.
bool SameScript(const std::string& a, const std::string& b) {
    return a.empty() || b.empty() || a == b;
}

}  // namespace

LCID LocaleFromName(std::string_view name, bool* regionFound) {
    TLocaleName want = SplitLocaleName(name);
    if (regionFound) *regionFound = false;
    if (want.Language.empty()) return 0;
    const std::string wantScript = want.Script.empty() ? DefaultScript(want.Language, want.Region) : want.Script;
    struct TCandidate {
        LCID Lcid;
        TLocaleName Tag;
        std::string Script;  // its own, or the one its language and region mean
    };
    std::vector<TCandidate> candidates;
    for (const std::string& text : Nls().EnumSystemLocales()) {
        if (text.empty()) continue;
        LCID lcid = static_cast<LCID>(HexToInt(text));
        TLocaleName has = SplitLocaleName(LocaleTag(lcid));
        if (has.Language != want.Language) continue;
        std::string script = has.Script.empty() ? DefaultScript(has.Language, has.Region) : has.Script;
        candidates.push_back({lcid, std::move(has), std::move(script)});
    }
    auto fits = [&](const TCandidate& c) { return SameScript(wantScript, c.Script) && c.Tag.Variant == want.Variant; };
    // A name with a region: the locale of that region, script and variant, else the language's
    // main locale.
    if (!want.Region.empty()) {
        const TCandidate* best = nullptr;
        for (const TCandidate& c : candidates)
            if (c.Tag.Region == want.Region && fits(c) &&
                (!best || (IsPrimaryLocale(c.Lcid) && !IsPrimaryLocale(best->Lcid))))
                best = &c;
        if (best) {
            if (regionFound) *regionFound = true;
            return best->Lcid;
        }
    }
    // The language's main locale (in the script and variant asked for, where there is one): its
    // main region, else its primary locale; system order last.
    const std::string mainRegion = MainRegion(want.Language, wantScript);
    const TCandidate* best = nullptr;
    std::vector<int> bestRank;
    int index = 0;
    for (const TCandidate& c : candidates) {
        std::vector<int> rank = {SameScript(wantScript, c.Script) ? 0 : 1, c.Tag.Variant == want.Variant ? 0 : 1,
                                 !mainRegion.empty() && c.Tag.Region != mainRegion ? 1 : 0,
                                 IsPrimaryLocale(c.Lcid) ? 0 : 1, index++};
        if (!best || rank < bestRank) best = &c, bestRank = std::move(rank);
    }
    if (!best) return 0;
    if (regionFound) *regionFound = want.Region.empty() && fits(*best);
    return best->Lcid;
}

std::string LocaleName(LCID lcid) {
    TLocaleName n = SplitLocaleName(LocaleTag(lcid));
    if (n.Language.empty()) return {};
    auto readsBack = [lcid](const std::string& name) {
        bool exact = false;
        return LocaleFromName(name, &exact) == lcid && exact;
    };
    // The bare language where it names this very locale ("de" for German (Germany)); never for
    // languages whose bare name tools read differently ("pt" is Portugal's to many translation
    // teams, Brazil's to CLDR; "zh" Simplified or Traditional Chinese depending on who reads it).
    if (n.Language != "pt" && n.Language != "zh" && readsBack(n.Language)) return n.Language;
    if (n.Region.empty()) return {};
    // The script after "@" where the region alone does not tell it, and for the languages whose
    // catalogues name their script (sr@latin, uz_UZ@cyrillic); else a variant ("ca_ES@valencia").
    std::string modifier;
    const std::string defaultScript = DefaultScript(n.Language, n.Region);
    const bool namesScript = n.Language == "sr" || n.Language == "bs" || n.Language == "az" || n.Language == "uz";
    if (!n.Script.empty() && ((!defaultScript.empty() && n.Script != defaultScript) || namesScript)) {
        for (const TScriptModifier& m : kScriptModifiers)
            if (n.Script == m.Script) modifier = m.Modifier;
        if (modifier.empty()) modifier = LowerAscii(n.Script);
    }
    if (!n.Variant.empty()) modifier = n.Variant;
    std::string full = n.Language + "_" + n.Region + (modifier.empty() ? "" : "@" + modifier);
    return readsBack(full) ? full : std::string();
}

bool LocaleKnown(LCID lcid) {
    if (lcid == 0 || lcid > 0xFFFF) return false;
    try {
        return !GetLocaleString(lcid, LOCALE_SENGLANGUAGE_).empty();
    } catch (const ELocalesError&) {
        return false;
    }
}

}  // namespace kutils

// Translations against a native dictionary: carrying them to a new one, statistics and
// pseudo-translation.
#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "Catalog.h"
#include "localizer/langres/LangRes.h"
#include "localizer/langres/Translatable.h"

namespace catalog {

namespace {

std::string Key(TItemCategory c, uint32_t id) {
    return std::to_string(static_cast<int>(c)) + ":" + std::to_string(id);
}

}  // namespace

TLangFileImage UpdateTranslation(const TLangFileImage& nativeIn, const TLangFileImage& oldIn, TUpdateCounts& counts) {
    counts = {};
    TLangFileImage out = nativeIn;  // the native layout; values replaced below
    TLangFileImage old = oldIn;
    std::vector<TItemRef> was = Items(old);
    std::map<std::string, size_t> byPath, byId;
    for (size_t i = 0; i < was.size(); ++i) {
        byPath.emplace(std::to_string(was[i].Category) + fw::UpperCaseAscii(was[i].Path()), i);
        byId.emplace(Key(was[i].Category, was[i].Record->Id), i);
    }
    std::set<size_t> used;
    for (TItemRef& item : Items(out)) {
        TLFRecord& rec = *item.Record;
        long m = -1;
        auto p = byPath.find(std::to_string(item.Category) + fw::UpperCaseAscii(item.Path()));
        if (p != byPath.end() && !used.count(p->second)) m = static_cast<long>(p->second);
        if (m < 0) {
            auto q = byId.find(Key(item.Category, rec.Id));
            if (q != byId.end() && !used.count(q->second)) m = static_cast<long>(q->second);
        }
        if (m >= 0 && was[static_cast<size_t>(m)].Record->Kind != rec.Kind) m = -1;
        const int32_t nativeRevision = rec.Revision;
        if (m >= 0) used.insert(static_cast<size_t>(m));
        if (m < 0 || was[static_cast<size_t>(m)].Record->Revision < 0) {
            // Untranslated: follows the native text.
            rec.Revision = -1;
            rec.Flags = static_cast<uint16_t>(rec.Flags & ~langres::vfConfirmed);
            if (m >= 0) rec.Stamp = was[static_cast<size_t>(m)].Record->Stamp;
            ++counts.Untranslated;
            continue;
        }
        const TLFRecord& t = *was[static_cast<size_t>(m)].Record;
        rec.Value = t.Value;
        rec.Revision = t.Revision;
        rec.Flags = t.Flags;
        rec.Stamp = t.Stamp;
        if (nativeRevision > t.Revision) {
            rec.Flags = static_cast<uint16_t>(rec.Flags & ~langres::vfConfirmed);
            ++counts.Unconfirmed;
        } else {
            ++counts.Translated;
        }
    }
    counts.Obsolete = was.size() - used.size();
    auto& H = out.Header;
    const auto& O = oldIn.Header;
    H.LangId = O.LangId;
    H.EnglishLangName = O.EnglishLangName;
    H.NativeLangName = O.NativeLangName;
    H.Build = O.Build;
    H.Options = O.Options;
    H.Word = O.Word;
    H.IsNative = 0;
    out.Trailing.clear();
    return out;
}

TStats Statistics(TLangFileImage& file, TLangFileImage* native) {
    TStats stats;
    stats.All.Section = "all";
    std::map<std::string, size_t> byId;
    std::vector<TItemRef> own = Items(file);
    for (size_t i = 0; i < own.size(); ++i) byId.emplace(Key(own[i].Category, own[i].Record->Id), i);
    std::vector<TItemRef> items = native ? Items(*native) : own;
    std::map<std::string, size_t> lineOf;
    for (const TItemRef& item : items) {
        const char* section = item.Category == icConstant ? "unit" : item.Category == icProperty ? "form" : "group";
        std::string key = std::string(section) + " " + item.Owner;
        auto l = lineOf.find(key);
        if (l == lineOf.end()) {
            l = lineOf.emplace(key, stats.Lines.size()).first;
            stats.Lines.push_back({section, item.Owner});
        }
        TStatsLine& line = stats.Lines[l->second];
        const TLFRecord* t = item.Record;
        if (native) {
            auto f = byId.find(Key(item.Category, item.Record->Id));
            t = f == byId.end() || own[f->second].Record->Kind != item.Record->Kind ? nullptr : own[f->second].Record;
        }
        for (TStatsLine* s : {&line, &stats.All}) {
            ++s->Total;
            if (!t || t->Revision < 0) continue;
            ++s->Translated;
            bool outdated = native && item.Record->Revision > t->Revision;
            if (outdated) ++s->Outdated;
            if (!outdated && (t->Flags & langres::vfConfirmed)) ++s->Confirmed;
        }
    }
    return stats;
}

// ---- pseudo-translation

namespace {

// The look-alikes of one language's code page: each ASCII letter and the pad.
struct TLookAlikes {
    char16_t Upper[26];
    char16_t Lower[26];
    char16_t Pad;
};

// Accented look-alikes within Latin-1, as pseudo-translations in code page 1252 always had them.
constexpr char16_t kUpper1252[] = u"ÀBÇÐÉFGHÎJKLMÑÖPQRSTÛVWXÝZ";
constexpr char16_t kLower1252[] = u"åbçðéfghîjklmñöþqrstûvwxýz";

// For the other code pages, the candidates of each letter in order of preference: accented
// Latin letters, fullwidth forms (the double-byte code pages), then Greek and Cyrillic letters
// of the same shape. A letter none of whose candidates the code page holds stays as it is.
// clang-format off
constexpr std::u16string_view kUpperCandidates[26] = {
    u"ÀÁÂÃÄÅĄĂĀＡΆΑА", u"ＢΒВ",           u"ÇĆČĈĊＣС",        u"ÐĎĐＤ",        u"ÉÈÊËĘĚĒĖＥΈΕЁЕ",
    u"Ｆ",             u"ĞĢĜĠＧ",          u"ĤĦＨΉΗН",         u"ÎÍÌÏİĮĪＩΊΙЇІ", u"ĴＪЈ",
    u"ĶＫΚЌК",         u"ĹĽĻŁĿＬ",         u"ＭΜМ",            u"ÑŃŇŅＮΝ",      u"ÖÓÒÔÕØŐŌＯΌΟО",
    u"ＰΡР",           u"Ｑ",              u"ŔŘŖＲ",           u"ŠŚŞŜＳЅ",      u"ŤŢŦＴΤТ",
    u"ÛÚÙÜŮŰŲŪƯＵ",   u"Ｖ",              u"ŴＷ",             u"ＸΧХ",         u"ÝŸŶＹΎΥЎ",
    u"ŽŹŻＺΖ",
};
constexpr std::u16string_view kLowerCandidates[26] = {
    u"åáàâãäąăāａάαа", u"ｂ",              u"çćčĉċｃс",         u"ðďđｄ",        u"éèêëęěēėｅέёе",
    u"ｆ",             u"ğģĝġｇ",          u"ĥħｈ",             u"îíìïįīıｉίιїі", u"ĵｊј",
    u"ķĸｋκќ",         u"ĺľļłŀｌ",         u"ｍ",               u"ñńňņｎήη",     u"öóòôõøőōｏόοо",
    u"þｐρр",          u"ｑ",              u"ŕřŗｒ",            u"šśşŝｓѕ",      u"ťţŧｔ",
    u"ûúùüůűųūưｕύυ",  u"ｖν",             u"ŵｗώω",            u"ｘχх",         u"ýÿŷｙўу",
    u"žźżｚ",
};
// clang-format on

TLookAlikes LookAlikesFor(uint16_t langId) {
    TLookAlikes t;
    if (langres::LangCodePage(langId) == 1252) {
        std::copy(kUpper1252, kUpper1252 + 26, t.Upper);
        std::copy(kLower1252, kLower1252 + 26, t.Lower);
        t.Pad = u'\u00B7';
        return t;
    }
    std::string ansi;
    auto held = [&](char16_t c) { return langres::LangAnsiHoldsText(std::u16string(1, c), langId, ansi); };
    auto pick = [&](std::u16string_view candidates, char16_t plain) {
        for (char16_t c : candidates)
            if (held(c)) return c;
        return plain;
    };
    for (int i = 0; i < 26; ++i) {
        t.Upper[i] = pick(kUpperCandidates[i], static_cast<char16_t>('A' + i));
        t.Lower[i] = pick(kLowerCandidates[i], static_cast<char16_t>('a' + i));
    }
    t.Pad = pick(u"\u00B7\u30FB", u'.');
    return t;
}

char16_t Accented(char16_t c, const TLookAlikes& t) {
    if (c >= 'A' && c <= 'Z') return t.Upper[c - 'A'];
    if (c >= 'a' && c <= 'z') return t.Lower[c - 'a'];
    return c;
}

std::u16string PseudoCore(const std::u16string& s, const TLookAlikes& t) {
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        char16_t c = s[i];
        if (c == '%') {
            size_t n = langres::FormatSpecifierLength(s, i);
            if (n) {
                out.append(s, i, n);
                i += n;
                continue;
            }
        }
        if (c == '&' && i + 1 < s.size()) {  // the accelerator and its key stay as they are
            out += c;
            out += s[i + 1];
            i += 2;
            continue;
        }
        out += Accented(c, t);
        ++i;
    }
    return out;
}

bool IsBlank(char16_t c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsMask(const std::u16string& part) {
    return part.find(u'*') != std::u16string::npos || part.find(u'?') != std::u16string::npos;
}

// One text, bracketed and lengthened; its blanks at either end stay outside.
std::u16string PseudoOne(const std::u16string& text, int expandPercent, const TLookAlikes& t) {
    size_t a = 0, b = text.size();
    while (a < b && IsBlank(text[a])) ++a;
    while (b > a && IsBlank(text[b - 1])) --b;
    if (a == b) return text;
    std::u16string core = text.substr(a, b - a);
    size_t pad = static_cast<size_t>(std::ceil(core.size() * std::max(expandPercent, 0) / 100.0));
    return text.substr(0, a) + u"[" + PseudoCore(core, t) + std::u16string(pad, t.Pad) + u"]" + text.substr(b);
}

// File filters ("Text files|*.txt"): each description on its own, the masks untouched (a mask
// with a bracket or a pad glued to it would match no file).
std::u16string PseudoWith(const std::u16string& text, int expandPercent, const TLookAlikes& t) {
    // Numbers, formats and symbols are values, not words: a program may read them back.
    if (!langres::IsTranslatableText(text)) return text;
    if (text.find(u'|') == std::u16string::npos) return PseudoOne(text, expandPercent, t);
    std::u16string out;
    size_t start = 0;
    while (true) {
        size_t bar = text.find(u'|', start);
        std::u16string part = text.substr(start, bar == std::u16string::npos ? std::u16string::npos : bar - start);
        out += IsMask(part) || !langres::IsTranslatableText(part) ? part : PseudoOne(part, expandPercent, t);
        if (bar == std::u16string::npos) break;
        out += u'|';
        start = bar + 1;
    }
    return out;
}

}  // namespace

std::u16string PseudoText(const std::u16string& text, int expandPercent, uint16_t langId) {
    return PseudoWith(text, expandPercent, LookAlikesFor(langId));
}

TLangFileImage PseudoTranslation(const TLangFileImage& native, uint16_t langId, int expandPercent) {
    const TLookAlikes t = LookAlikesFor(langId);
    TLangFileImage out = native;
    for (TItemRef& item : Items(out)) {
        TLFRecord& r = *item.Record;
        if (r.Kind == langres::vkString) {
            r.Value.Text = PseudoWith(r.Value.Text, expandPercent, t);
        } else if (r.Kind == langres::vkStringList) {
            std::u16string result;
            size_t start = 0;
            while (true) {
                size_t eol = r.Value.Text.find(u"\r\n", start);
                result += PseudoWith(r.Value.Text.substr(start, eol == std::u16string::npos ? eol : eol - start),
                                     expandPercent, t);
                if (eol == std::u16string::npos) break;
                result += u"\r\n";
                start = eol + 2;
            }
            r.Value.Text = result;
        }
        r.Flags = static_cast<uint16_t>(r.Flags | langres::vfConfirmed);
    }
    auto& H = out.Header;
    H.LangId = langId;
    H.EnglishLangName = "Pseudo";
    H.NativeLangName = u"Pseudo";
    H.IsNative = 0;
    return out;
}

}  // namespace catalog

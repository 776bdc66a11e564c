#include "Exchange.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "framework/Classes.h"
#include "framework/FormStream.h"
#include "localizer/kutils/KLocales.h"
#include "localizer/langres/LangRes.h"

namespace catalog {

const char* const FactsTag = "vtploc: ";

namespace {

std::string Replace(std::string s, const std::string& from, const std::string& to) {
    for (size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += to.size()) s.replace(at, from.size(), to);
    return s;
}

const char* KindName(uint32_t kind) {
    static const char* names[] = {"float", "integer", "string", "list", "string list", "binary", "ident", "set"};
    return kind < 8 ? names[kind] : "unknown";
}

std::string HexWord(uint64_t v, int digits) {
    std::string s;
    for (int i = digits - 1; i >= 0; --i) s += "0123456789abcdef"[(v >> (4 * i)) & 15];
    return s;
}

// The value of ", NAME VALUE" in the facts line, when there.
bool FactField(const std::string& line, const char* name, std::string& value) {
    std::string key = std::string(", ") + name + " ";
    size_t at = line.find(key);
    if (at == std::string::npos) return false;
    size_t b = at + key.size(), e = line.find(',', b);
    value = line.substr(b, e == std::string::npos ? std::string::npos : e - b);
    return true;
}

// ---- line ends: exchanged texts break lines with "\n" alone; the facts keep where CR LF stood

std::string EolPattern(const std::u16string& text) {
    std::string p;
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] == u'\n') p += i > 0 && text[i - 1] == u'\r' ? '1' : '0';
    return p;
}

std::string ToEntryText(const std::u16string& text) {
    return Replace(fw::Utf16ToUtf8(text), "\r\n", "\n");
}

// An entry's text with its line ends as the pattern says; without a pattern that fits, as the
// native text has them (CR LF when it has any, or is a string list).
std::string FromEntryText(const std::string& text, const std::string* pattern, bool crlf) {
    size_t breaks = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    if (!pattern || pattern->size() != breaks) return crlf ? Replace(text, "\n", "\r\n") : text;
    std::string out;
    size_t k = 0;
    for (char c : text) {
        if (c == '\n' && (*pattern)[k++] == '1') out += '\r';
        out += c;
    }
    return out;
}

// Kinds whose values the file stores and a translator can edit.
bool IsText(uint32_t kind) {
    return kind == langres::vkString || kind == langres::vkStringList;
}
bool IsNumber(uint32_t kind) {
    return kind == langres::vkInteger || kind == langres::vkFloat;
}

const char* const EmptyPlaceholder = "<empty>";  // no brackets: checkers count those

std::string ValuePlaceholder(uint32_t kind) {
    return std::string("<") + KindName(kind) + ">";
}

TEntryKind EntryKindOf(const TLFRecord& n) {
    if (IsText(n.Kind)) return n.Value.Text.empty() ? ekEmptyText : ekText;
    if (IsNumber(n.Kind) && n.Value.Present) return ekNumber;
    return ekNoValue;
}

// Whether import gives a text of this native item CR LF line ends when no pattern says where
// they stand: string lists and texts whose native text has them.
bool DefaultCrLf(const TLFRecord& native) {
    return native.Kind == langres::vkStringList || native.Value.Text.find(u"\r\n") != std::u16string::npos;
}

// The line-end pattern of text as import would give it back by default.
std::string DefaultEolPattern(const std::u16string& text, const TLFRecord& native) {
    size_t breaks = static_cast<size_t>(std::count(text.begin(), text.end(), u'\n'));
    return std::string(breaks, DefaultCrLf(native) ? '1' : '0');
}

// A float value's bits, copied, never loaded as a number (x87 would change a NaN's).
uint64_t FloatBits(const langres::TLFValue& v) {
    uint64_t bits;
    std::memcpy(&bits, &v.Float, sizeof bits);
    return bits;
}

std::string NumberText(const TLFRecord& r) {
    if (r.Kind == langres::vkInteger) return std::to_string(r.Value.Int);
    return langres::FloatToText(r.Value.Float);
}

// A number the translator gave: the float's own bits while its text is unchanged.
bool SetNumber(TLFRecord& rec, const std::string& text, const TEntryFacts& st) {
    if (rec.Kind == langres::vkInteger) {
        std::string t = fw::Trim(text);
        int32_t v = 0;
        const char* b = t.data() + (!t.empty() && t[0] == '+');
        auto r = std::from_chars(b, t.data() + t.size(), v);
        if (t.empty() || r.ec != std::errc() || r.ptr != t.data() + t.size()) return false;
        rec.Value.Int = v;
        rec.Value.Text = langres::AsciiToWide(std::to_string(v));
    } else {
        uint64_t bits = st.Bits;
        langres::TLFValue carried;
        std::memcpy(&carried.Float, &bits, sizeof bits);
        if (!st.HasBits || langres::FloatToText(carried.Float) != text) {
            double d = 0;
            if (!langres::TextToFloat(text, d)) return false;
            std::memcpy(&bits, &d, sizeof bits);
        }
        std::memcpy(&rec.Value.Float, &bits, sizeof bits);
        rec.Value.Text = langres::AsciiToWide(langres::FloatToText(rec.Value.Float));
    }
    rec.Value.Present = true;
    return true;
}

}  // namespace

std::string FormatFacts(const TEntryFacts& f) {
    std::string s = std::string(FactsTag) + "revision " + std::to_string(f.Revision) + ", flags 0x" +
                    HexWord(f.Flags, 4) + ", stamp " + HexWord(f.Stamp, 16);
    if (f.HasBits) s += ", value bits 0x" + HexWord(f.Bits, 16);
    if (f.HasMsgidEol) s += ", msgid eol " + f.MsgidEol;
    if (f.HasMsgstrEol) s += ", msgstr eol " + f.MsgstrEol;
    if (!f.MsgidChars.empty()) s += ", msgid chars " + f.MsgidChars;
    if (!f.MsgstrChars.empty()) s += ", msgstr chars " + f.MsgstrChars;
    if (f.EmptyTranslation) s += ", empty translation";
    if (!f.Item.empty()) s += ", item " + f.Item;
    return s;
}

TEntryFacts ParseFacts(const std::string& text) {
    TEntryFacts st;
    size_t at = text.find(FactsTag);
    if (at == std::string::npos) return st;
    std::string line = text.substr(at + std::strlen(FactsTag));
    line = line.substr(0, line.find('\n'));
    size_t item = line.find(", item ");
    if (item != std::string::npos) {
        st.Item = fw::Trim(line.substr(item + 7));
        line.resize(item);
    }
    long rev = 0;
    unsigned flags = 0;
    unsigned long long stamp = 0;
    if (std::sscanf(line.c_str(), "revision %ld, flags 0x%x, stamp %llx", &rev, &flags, &stamp) >= 2) {
        st.Present = true;
        st.Revision = static_cast<int32_t>(rev);
        st.Flags = static_cast<uint16_t>(flags);
        st.Stamp = stamp;
    }
    std::string v;
    if (FactField(line, "value bits", v)) {
        char* end = nullptr;
        st.Bits = std::strtoull(v.c_str(), &end, 16);
        st.HasBits = end && *end == '\0' && v.size() > 2;
    }
    auto eol = [](const std::string& s) { return s.find_first_not_of("01") == std::string::npos; };
    st.HasMsgidEol = FactField(line, "msgid eol", st.MsgidEol) && eol(st.MsgidEol);
    st.HasMsgstrEol = FactField(line, "msgstr eol", st.MsgstrEol) && eol(st.MsgstrEol);
    auto chars = [](const std::string& s) {
        return s.find_first_not_of("0123456789abcdefABCDEF.") == std::string::npos;
    };
    if (!FactField(line, "msgid chars", st.MsgidChars) || !chars(st.MsgidChars)) st.MsgidChars.clear();
    if (!FactField(line, "msgstr chars", st.MsgstrChars) || !chars(st.MsgstrChars)) st.MsgstrChars.clear();
    st.EmptyTranslation = line.find(", empty translation") != std::string::npos;
    return st;
}

std::string FileFacts(const TLFHeader& h) {
    return "version " + std::to_string(h.Version) + ", revision " + std::to_string(h.Revision) + ", build " +
           std::to_string(h.Build) + ", options 0x" + HexWord(h.Options, 4) + ", word 0x" + HexWord(h.Word, 4);
}

bool ParseFileFacts(const std::string& text, TLFHeader& h) {
    unsigned version = 0, options = 0, word = 0;
    unsigned long revision = 0, build = 0;
    if (std::sscanf(text.c_str(), "version %u, revision %lu, build %lu, options 0x%x, word 0x%x", &version, &revision,
                    &build, &options, &word) != 5)
        return false;
    h.Build = static_cast<uint32_t>(build);
    h.Options = static_cast<uint16_t>(options);
    h.Word = static_cast<uint16_t>(word);
    return true;
}

TExport ExportEntries(const TLangFileImage& nativeIn, const TLangFileImage* translation, const std::string& format) {
    TLangFileImage native = nativeIn;
    TLangFileImage aligned;
    TUpdateCounts counts;
    if (translation) aligned = UpdateTranslation(nativeIn, *translation, counts);
    std::vector<TItemRef> items = Items(native);
    std::vector<TItemRef> trans = translation ? Items(aligned) : std::vector<TItemRef>{};
    TExport out;
    out.Header = translation ? aligned.Header : native.Header;
    out.Template = !translation;

    std::map<std::string, size_t> seen;
    for (size_t i = 0; i < items.size(); ++i) {
        const TLFRecord& n = *items[i].Record;
        const TLFRecord& t = translation ? *trans[i].Record : n;
        const bool translated = translation && t.Revision >= 0;
        const TEntryKind kind = EntryKindOf(n);
        if (translation && kind != ekText && kind != ekNumber && !translated && t.Stamp == n.Stamp) continue;
        TExportEntry e;
        e.Path = items[i].Path();
        if (!seen.emplace(fw::UpperCaseAscii(e.Path), i).second)
            throw ECatalogError("two items have the path " + e.Path + "; " + format + " cannot tell them apart");
        e.Category = items[i].Category;
        e.Owner = items[i].Owner;
        e.Component = items[i].Component;
        e.Kind = n.Kind;
        e.ResId = n.ResId;
        e.EntryKind = kind;
        e.Translated = translated;
        e.Confirmed = translated && (t.Flags & langres::vfConfirmed);
        e.Notes = std::string("kind: ") + KindName(n.Kind);
        if (items[i].Category == icConstant) e.Notes += ", string-table id " + std::to_string(n.ResId);
        e.Notes += "\n";
        if (n.Kind == langres::vkStringList) e.Notes += "one line per list item\n";
        TEntryFacts& f = e.Facts;
        TEntryFacts& nf = e.NativeFacts;
        f.Present = nf.Present = true;
        f.Revision = t.Revision, nf.Revision = n.Revision;
        f.Flags = t.Flags, nf.Flags = n.Flags;
        f.Stamp = t.Stamp, nf.Stamp = n.Stamp;
        switch (kind) {
            case ekText:
            case ekEmptyText: {
                e.Source = kind == ekText ? ToEntryText(n.Value.Text) : EmptyPlaceholder;
                if (kind == ekEmptyText) e.Notes += "the native text is empty\n";
                f.MsgidEol = nf.MsgidEol = EolPattern(n.Value.Text);
                f.HasMsgidEol = nf.HasMsgidEol = f.MsgidEol.find('1') != std::string::npos;
                // Where the default of import would not give them back.
                f.MsgstrEol = EolPattern(t.Value.Text);
                f.HasMsgstrEol = translation && f.MsgstrEol != DefaultEolPattern(t.Value.Text, n);
                if (translated) e.Target = ToEntryText(t.Value.Text);
                f.EmptyTranslation = translated && e.Target.empty();
                break;
            }
            case ekNumber:
                e.Source = NumberText(n);
                e.Notes += "a number: keep it one\n";
                f.HasBits = nf.HasBits = n.Kind == langres::vkFloat;
                f.Bits = FloatBits(t.Value);
                nf.Bits = FloatBits(n.Value);
                if (translated) e.Target = NumberText(t);
                break;
            case ekNoValue:
                e.Source = ValuePlaceholder(n.Kind);
                e.Notes += "no value is stored for this kind: the entry carries the translation's state\n";
                if (translated) e.Target = ValuePlaceholder(n.Kind);
                break;
        }
        out.Entries.push_back(std::move(e));
    }
    return out;
}

TEntryImport::TEntryImport(const TLangFileImage& native, uint16_t langId) : native_(native) {
    // Nothing translated, in the native layout.
    TLangFileImage empty = native;
    empty.Units.clear(), empty.Forms.clear(), empty.Groups.clear();
    empty.Header.LangId = langId;
    TUpdateCounts counts;
    image_ = UpdateTranslation(native, empty, counts);
    items_ = Items(image_);
    nativeItems_ = Items(native_);
    for (size_t i = 0; i < items_.size(); ++i) byPath_.emplace(items_[i].Path(), i);
}

size_t TEntryImport::Find(const std::string& path) const {
    auto found = byPath_.find(path);
    return found == byPath_.end() ? npos : found->second;
}

void TEntryImport::Apply(size_t item, const TImportEntry& e) {
    if (!TryApply(item, e))
        throw ECatalogError(e.Where + ": " + e.Name + ": \"" + e.Target + "\" is not " +
                            (nativeItems_[item].Record->Kind == langres::vkInteger ? "an integer" : "a number"));
}

bool TEntryImport::IsTranslated(size_t item) const {
    return items_[item].Record->Revision >= 0;
}

bool TEntryImport::TryApply(size_t item, const TImportEntry& e) {
    TLFRecord& rec = *items_[item].Record;
    const TLFRecord& nat = *nativeItems_[item].Record;
    const TEntryKind kind = EntryKindOf(nat);
    const TEntryFacts& st = e.Facts;
    bool sameSource = false;
    switch (kind) {
        case ekText:
            sameSource = ToEntryText(nat.Value.Text) == e.Source &&
                         (!st.HasMsgidEol || st.MsgidEol == EolPattern(nat.Value.Text));
            break;
        case ekEmptyText:
            sameSource = e.Source == EmptyPlaceholder;
            break;
        case ekNumber:
            sameSource = e.Source == NumberText(nat);
            break;
        case ekNoValue:
            sameSource = e.Source == ValuePlaceholder(nat.Kind);
            break;
    }
    const TLFRecord was = rec;
    if (st.Present) {
        rec.Flags = st.Flags;
        rec.Stamp = st.Stamp;
    }
    if (!e.Translated) {
        rec.Revision = -1;
        rec.Flags = static_cast<uint16_t>(rec.Flags & ~langres::vfConfirmed);
        return true;
    }
    if (kind == ekText || kind == ekEmptyText) {
        rec.Value.Text =
            fw::Utf8ToUtf16(FromEntryText(e.Target, st.HasMsgstrEol ? &st.MsgstrEol : nullptr, DefaultCrLf(nat)));
        rec.Value.Present = true;
    } else if (kind == ekNumber && !SetNumber(rec, e.Target, st)) {
        rec = was;
        return false;
    }
    // A translation made for another native text is kept but outdated, whatever revision its
    // facts give.
    const int32_t natRev = nat.Revision >= 0 ? nat.Revision : static_cast<int32_t>(native_.Header.Revision);
    bool confirmed = e.Confirmed && sameSource;
    rec.Revision = st.Present ? st.Revision : natRev;
    if (rec.Revision < 0 || (confirmed && rec.Revision < natRev)) rec.Revision = natRev;
    if (!sameSource && rec.Revision >= natRev) rec.Revision = std::max(natRev - 1, 0);
    rec.Flags = static_cast<uint16_t>(confirmed ? rec.Flags | langres::vfConfirmed : rec.Flags & ~langres::vfConfirmed);
    ++translated_;
    if (!confirmed) ++fuzzy_;
    return true;
}

std::string IsoLanguage(uint16_t langId) {
    return kutils::LocaleName(langId);
}

uint16_t LangIdFromIso(const std::string& code, bool* regionFound) {
    return static_cast<uint16_t>(kutils::LocaleFromName(code, regionFound));
}

bool LanguageIdOf(const std::string& text, bool named, uint16_t& id) {
    const std::string t = fw::Trim(text);
    int base = 10;
    size_t start = 0;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) base = 16, start = 2;
    uint32_t v = 0;
    auto r = std::from_chars(t.data() + start, t.data() + t.size(), v, base);
    if (start >= t.size() || r.ec != std::errc() || r.ptr != t.data() + t.size() || !v || v > 0xFFFF) return false;
    if (!named && !kutils::LocaleKnown(v)) return false;
    id = static_cast<uint16_t>(v);
    return true;
}

std::string BadLanguageId(const std::string& text) {
    return "X-Language-Id \"" + text + "\" is not a locale this system knows";
}

}  // namespace catalog

// The native dictionary of a program from its string table and form resources.
#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "Catalog.h"
#include "FormTree.h"
#include "framework/FormStream.h"
#include "localizer/kutils/KLocales.h"
#include "localizer/kutils/KStrings.h"
#include "localizer/langres/LangRes.h"
#include "localizer/langres/SettingsRecord.h"
#include "localizer/langres/Translatable.h"
#include "localizer/resources/FormWalk.h"
#include "localizer/resources/ResProc.h"

namespace catalog {

using langres::CompareNames;

namespace {

struct NameLess {
    bool operator()(const std::string& a, const std::string& b) const { return CompareNames(a, b) < 0; }
};

// What one form contributes: component key ("" for the form itself) -> property -> record.
using TPropMap = std::map<std::string, TLFRecord, NameLess>;
struct TFormAcc {
    std::map<std::string, TPropMap, NameLess> Components;
    std::map<std::string, std::string, NameLess> Classes;  // component key -> class
};

// Walks a binary form and keys every translatable property the way the module builder looks it
// up (resources::TFormKeyWalker).
class TFormWalker : public resources::TFormKeyWalker {
public:
    TFormWalker(fw::TFormReader& r, TFormAcc& acc, uint16_t langId) : TFormKeyWalker(r), acc_(acc), langId_(langId) {}

private:
    void Property(const std::string& path, const std::string& prop) override {
        fw::TValueType t = r_.NextValue();
        switch (t) {
            case fw::vaString:
            case fw::vaLString: {
                std::string s = r_.ReadAnsiString();
                Add(path, prop, langres::vkString, kutils::AnsiToWideLocale(s, langId_), false);
                break;
            }
            case fw::vaWString:
            case fw::vaUTF8String: {
                std::u16string w = r_.ReadWideString();
                Add(path, prop, langres::vkString, w, NeedsWide(w));
                break;
            }
            case fw::vaList:
                ReadList(path, prop);
                break;
            default:
                r_.SkipValue();
                break;
        }
    }

    void ReadList(const std::string& path, const std::string& prop) {
        r_.ReadValue();
        r_.EnterNesting();
        bool strings = true, wide = false;
        std::u16string text;
        int count = 0;
        while (!r_.EndOfList()) {
            fw::TValueType t = r_.NextValue();
            std::u16string line;
            if (t == fw::vaString || t == fw::vaLString) {
                line = kutils::AnsiToWideLocale(r_.ReadAnsiString(), langId_);
            } else if (t == fw::vaWString || t == fw::vaUTF8String) {
                line = r_.ReadWideString();
                wide = wide || NeedsWide(line);
            } else {
                strings = false;
                r_.SkipValue();
                continue;
            }
            if (count++) text += u"\r\n";
            text += line;
        }
        r_.ReadListEnd();
        r_.LeaveNesting();
        if (strings && count) Add(path, prop, langres::vkStringList, text, wide);
    }

    // A text the native code page cannot hold is written by the module builder in escaped
    // Unicode form.
    bool NeedsWide(const std::u16string& w) const {
        return kutils::AnsiToWideLocale(kutils::WideToAnsiLocale(w, langId_), langId_) != w;
    }

    void Add(const std::string& path, const std::string& prop, langres::TLResValueKind kind, const std::u16string& text,
             bool wide) {
        if (!langres::IsTranslatableText(text) || !langres::IsTranslatableProperty(prop, kind)) return;
        TPropMap& props = acc_.Components[ComponentKey(path)];
        if (props.count(prop)) return;
        TLFRecord rec;
        rec.Name = prop;
        rec.Kind = kind;
        rec.Flags = wide ? langres::vfWide : 0;
        rec.Value.Present = true;
        rec.Value.Text = text;
        props.emplace(prop, std::move(rec));
    }

    void Child(const std::string& componentKey, const std::string& className) override {
        acc_.Classes.emplace(componentKey, className);
    }

    TFormAcc& acc_;
    uint16_t langId_;
};

struct TProgramLanguage {
    bool Found = false;
    uint16_t LangId = 0;
    std::string English;
    std::u16string Native;
};

TProgramLanguage ReadProgramLanguage(const resources::TResProcessor& program) {
    TProgramLanguage lang;
    auto* rc = dynamic_cast<resources::TResRCData*>(program.FindBlock(10));
    if (!rc) return lang;
    for (auto [name, sig] : {std::pair{langres::SExeSettingsName, langres::SExeSignature},
                             std::pair{langres::SLibSettingsName, langres::SLibSignature}}) {
        resources::TResRCDataItem* item = rc->FindByName(name);
        if (!item) continue;
        fw::TMemoryStream data;
        item->SaveData(data);
        langres::TSettingsRecord rec;
        if (langres::ReadSettingsRecordData(data.Bytes().data(), data.Bytes().size(), rec, sig) && rec.LangId) {
            lang.Found = true;
            lang.LangId = rec.LangId;
            lang.English = rec.EnglishLangName;
            lang.Native = rec.NativeLangName;
            return lang;
        }
    }
    return lang;
}

bool IsEmbeddedName(const std::string& name) {
    return fw::SameTextAscii(name, langres::SExeSettingsName) || fw::SameTextAscii(name, langres::SLibSettingsName) ||
           fw::SameTextAscii(name, "QLX_LOC_LANGS_");
}

bool SameValue(const TLFRecord& a, const TLFRecord& b) {
    return a.Kind == b.Kind && a.Value.Text == b.Value.Text;
}

}  // namespace

std::string TItemRef::Path() const {
    std::string p = Owner;
    if (!Component.empty()) p += "." + Component;
    return p + "." + Record->Name;
}

std::vector<TItemRef> Items(TLangFileImage& image) {
    std::vector<TItemRef> out;
    for (auto& u : image.Units)
        for (auto& c : u.Constants) out.push_back({icConstant, u.Name, "", &c});
    for (auto& f : image.Forms) {
        for (auto& p : f.Properties) out.push_back({icProperty, f.Name, "", &p});
        for (auto& c : f.Components)
            for (auto& p : c.Properties) out.push_back({icProperty, f.Name, c.Name, &p});
    }
    for (auto& g : image.Groups)
        for (auto& e : g.Externals) out.push_back({icExternal, g.Name, "", &e});
    return out;
}

namespace {

// The text with every comment replaced by a blank, as the preprocessor sees it: block comments
// may span lines (their line ends stay, so line numbers hold); comment marks inside string and
// character literals are text.
std::string WithoutComments(const std::string& in) {
    std::string out;
    out.reserve(in.size());
    for (size_t i = 0; i < in.size();) {
        char c = in[i];
        if (c == '"' || c == '\'') {
            out += c;
            for (++i; i < in.size() && in[i] != c && in[i] != '\n'; ++i) {
                if (in[i] == '\\' && i + 1 < in.size() && in[i + 1] != '\n') out += in[i++];
                out += in[i];
            }
            if (i < in.size() && in[i] == c) out += in[i++];
        } else if (c == '/' && i + 1 < in.size() && in[i + 1] == '/') {
            while (i < in.size() && in[i] != '\n') ++i;
            out += ' ';
        } else if (c == '/' && i + 1 < in.size() && in[i + 1] == '*') {
            size_t end = in.find("*/", i + 2);
            end = end == std::string::npos ? in.size() : end + 2;
            for (; i < end; ++i)
                if (in[i] == '\n') out += '\n';
            out += ' ';
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

}  // namespace

// Lines ended by a backslash joined with the next, before comments are read, as the
// preprocessor joins them. The line ends taken out follow the joined line, so that every line
// keeps its number.
std::string JoinContinuedLines(const std::string& in) {
    std::string out;
    out.reserve(in.size());
    size_t joined = 0;
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '\\') {
            size_t next = i + 1;
            if (next < in.size() && in[next] == '\r') ++next;
            if (next < in.size() && in[next] == '\n') {
                ++joined;
                i = next;
                continue;
            }
        }
        out += in[i];
        if (in[i] == '\n') out.append(joined, '\n'), joined = 0;
    }
    return out;
}

std::map<uint16_t, std::string> ParseResourceHeader(const std::string& source, const std::string& fileName) {
    std::map<uint16_t, std::string> names;
    const std::string text = WithoutComments(JoinContinuedLines(source));
    size_t pos = 0;
    int lineNo = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        std::vector<std::string> words;
        std::string w;
        for (char c : line) {
            if (std::isspace(static_cast<unsigned char>(c)) || c == '(' || c == ')') {
                if (!w.empty()) words.push_back(w), w.clear();
            } else {
                w += c;
            }
        }
        if (!w.empty()) words.push_back(w);
        // "#define" or "# define"
        if (!words.empty() && words[0] == "#" && words.size() > 1) {
            words.erase(words.begin());
            words[0] = "#" + words[0];
        }
        if (words.size() != 3 || words[0] != "#define") continue;
        const std::string& value = words[2];
        std::string digits = value;
        while (!digits.empty() &&
               (digits.back() == 'u' || digits.back() == 'U' || digits.back() == 'l' || digits.back() == 'L'))
            digits.pop_back();
        int base = 10;
        size_t start = 0;
        if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
            base = 16, start = 2;
        else if (digits.size() > 1 && digits[0] == '0')
            base = 8, start = 1;  // C reads 010 as 8
        if (digits.empty() || start >= digits.size()) continue;
        bool numeric = true;
        for (size_t i = start; i < digits.size(); ++i) {
            unsigned char d = static_cast<unsigned char>(digits[i]);
            if (!(base == 16 ? std::isxdigit(d) : base == 8 ? d >= '0' && d <= '7' : std::isdigit(d))) numeric = false;
        }
        if (!numeric) continue;  // a define of something else
        if (digits.size() - start > 8)
            throw ECatalogError(fileName + ":" + std::to_string(lineNo) + ": " + words[1] + " = " + value +
                                " is not a string id (0 to 65535)");
        unsigned long v = std::stoul(digits.substr(start), nullptr, base);
        if (v > 0xFFFF)
            throw ECatalogError(fileName + ":" + std::to_string(lineNo) + ": " + words[1] + " = " + value +
                                " is not a string id (0 to 65535)");
        auto id = static_cast<uint16_t>(v);
        auto it = names.find(id);
        bool ids = words[1].rfind("IDS_", 0) == 0;
        if (it == names.end())
            names.emplace(id, words[1]);
        else if (ids && it->second.rfind("IDS_", 0) != 0)
            it->second = words[1];
    }
    return names;
}

std::string DefaultConstantName(uint16_t id) {
    return "S" + std::to_string(id);
}

TExtractResult ExtractNative(const resources::TResProcessor& program, const std::string& programName,
                             const TExtractOptions& options) {
    TExtractResult result;
    TProgramLanguage lang = ReadProgramLanguage(program);
    if (options.LangId) {
        if (!lang.Found || lang.LangId != options.LangId) {
            lang.LangId = options.LangId;
            lang.English = kutils::LocaleEnglishName(options.LangId);
            lang.Native = kutils::AnsiToWideLocale(kutils::LocaleEnglishName(options.LangId), options.LangId);
        }
        lang.Found = true;
    }
    if (!lang.Found)
        throw ECatalogError(programName +
                            ": no settings record names the program's native language; give it with --lang");

    // String table: one unit.
    std::map<std::string, TLFRecord, NameLess> constants;
    auto* strings = dynamic_cast<resources::TResString*>(program.FindBlock(6));
    if (strings && strings->Count()) {
        for (int i = 0; i < strings->Count(); ++i) {
            resources::TResStringItem* s = strings->Strings(i);
            // Entries without a letter ("%d", "0.00") stay as the program has them.
            if (!s || !langres::IsTranslatableText(s->Text)) continue;
            auto id = static_cast<uint16_t>(s->Id);
            auto named = options.Names.find(id);
            TLFRecord rec;
            rec.Name = named != options.Names.end() ? named->second : DefaultConstantName(id);
            rec.ResId = id;
            rec.Kind = langres::vkString;
            rec.Value.Present = true;
            rec.Value.Text = s->Text;
            if (!constants.emplace(rec.Name, rec).second)
                throw ECatalogError(programName + ": string ids " + std::to_string(constants.at(rec.Name).ResId) +
                                    " and " + std::to_string(id) + " both have the name " + rec.Name);
        }
    } else {
        result.Notes.push_back("no string table");
    }

    // Forms.
    std::map<std::string, TFormAcc, NameLess> forms;
    auto* rc = dynamic_cast<resources::TResRCData*>(program.FindBlock(10));
    size_t formCount = 0;
    if (rc) {
        for (int i = 0; i < rc->Count(); ++i) {
            resources::TResRCDataItem* item = rc->Items(i);
            if (IsEmbeddedName(item->Name)) continue;
            fw::TMemoryStream data;
            item->SaveData(data);
            std::vector<uint8_t> binary;
            try {
                if (!FormResourceBinary(data.Bytes(), binary)) continue;
                TFormAcc acc;
                fw::TFormReader reader(binary);
                TFormWalker walker(reader, acc, lang.LangId);
                std::string formName = walker.Walk();
                if (!resources::TResRCData::NameIs(*item, "T" + formName))
                    result.Notes.push_back("form resource " + item->Utf8Name() + " holds class T" + formName +
                                           "; the program looks it up as T" + fw::UpperCaseAscii(formName));
                ++formCount;
                for (const auto& [key, cls] : acc.Classes)
                    result.Classes.emplace(fw::UpperCaseAscii(formName + "." + key), cls);
                if (acc.Components.empty()) continue;
                auto [it, fresh] = forms.emplace(formName, std::move(acc));
                if (!fresh) result.Notes.push_back("form " + formName + " is stored twice; the first one is used");
            } catch (const fw::Exception& e) {
                throw ECatalogError(programName + ": form resource " + item->Utf8Name() + ": " + e.Message());
            }
        }
    }
    if (!formCount) result.Notes.push_back("no form resources");

    // The image in name order.
    TLangFileImage& img = result.Image;
    auto& H = img.Header;
    H.Version = langres::LangFileMaxVersion;
    H.LangId = lang.LangId;
    H.EnglishLangName = lang.English;
    H.NativeLangName = lang.Native;
    H.IsNative = 1;
    if (!constants.empty()) {
        langres::TLFUnit unit;
        unit.Name = options.UnitName;
        for (auto& [name, rec] : constants) unit.Constants.push_back(rec);
        img.Units.push_back(std::move(unit));
    }
    for (auto& [name, acc] : forms) {
        langres::TLFForm form;
        form.Name = name;
        for (auto& [comp, props] : acc.Components) {
            std::vector<TLFRecord>* list;
            if (comp.empty()) {
                list = &form.Properties;
            } else {
                form.Components.push_back({comp, 0, {}});
                list = &form.Components.back().Properties;
            }
            for (auto& [pn, rec] : props) list->push_back(rec);
        }
        img.Forms.push_back(std::move(form));
    }
    result.Counts.Forms = img.Forms.size();

    std::vector<TItemRef> fresh = Items(img);
    for (const auto& it : fresh) (it.Category == icConstant ? result.Counts.Constants : result.Counts.Properties)++;

    if (!options.Previous) {
        H.Revision = 1;
        uint32_t last[3] = {0, 0, 0};
        for (auto& it : fresh) {
            it.Record->Id = ++last[it.Category];
            it.Record->Revision = 1;
        }
        H.LastConstantId = last[icConstant];
        H.LastPropertyId = last[icProperty];
        result.Counts.Added = fresh.size();
        return result;
    }

    // Following a previous dictionary: match by path, constants also by string id.
    TLangFileImage prev = *options.Previous;
    std::vector<TItemRef> old = Items(prev);
    std::map<std::string, size_t> byPath;
    std::map<uint16_t, size_t> byResId;
    uint32_t last[3] = {prev.Header.LastConstantId, prev.Header.LastPropertyId, prev.Header.LastExternalId};
    for (size_t i = 0; i < old.size(); ++i) {
        if (old[i].Category == icExternal) continue;
        byPath.emplace(fw::UpperCaseAscii(old[i].Path()), i);
        if (old[i].Category == icConstant) byResId.emplace(old[i].Record->ResId, i);
        last[old[i].Category] = std::max(last[old[i].Category], old[i].Record->Id);
    }
    std::vector<long> match(fresh.size(), -1);
    std::set<size_t> used;
    for (size_t i = 0; i < fresh.size(); ++i) {
        auto p = byPath.find(fw::UpperCaseAscii(fresh[i].Path()));
        long m = -1;
        if (p != byPath.end() && old[p->second].Category == fresh[i].Category) m = static_cast<long>(p->second);
        if (m < 0 && fresh[i].Category == icConstant) {
            auto r = byResId.find(fresh[i].Record->ResId);
            if (r != byResId.end()) m = static_cast<long>(r->second);
        }
        if (m >= 0 &&
            (used.count(static_cast<size_t>(m)) || old[static_cast<size_t>(m)].Record->Kind != fresh[i].Record->Kind))
            m = -1;
        if (m >= 0) used.insert(static_cast<size_t>(m));
        match[i] = m;
    }
    auto& C = result.Counts;
    for (size_t i = 0; i < fresh.size(); ++i) {
        if (match[i] < 0)
            ++C.Added;
        else if (SameValue(*old[static_cast<size_t>(match[i])].Record, *fresh[i].Record))
            ++C.Unchanged;
        else
            ++C.Changed;
    }
    for (size_t i = 0; i < old.size(); ++i)
        if (old[i].Category != icExternal && !used.count(i)) ++C.Removed;
    bool changed = C.Added || C.Changed || C.Removed;
    H.Revision = prev.Header.Revision + (changed ? 1 : 0);
    H.Build = prev.Header.Build;
    H.Word = prev.Header.Word;
    H.Options = prev.Header.Options;
    for (size_t i = 0; i < fresh.size(); ++i) {
        TLFRecord& rec = *fresh[i].Record;
        if (match[i] < 0) {
            rec.Id = ++last[fresh[i].Category];
            rec.Revision = static_cast<int32_t>(H.Revision);
            continue;
        }
        const TLFRecord& was = *old[static_cast<size_t>(match[i])].Record;
        rec.Id = was.Id;
        rec.Stamp = was.Stamp;
        rec.Flags = static_cast<uint16_t>((was.Flags & ~langres::vfWide) | (rec.Flags & langres::vfWide));
        rec.Revision = SameValue(was, rec) ? was.Revision : static_cast<int32_t>(H.Revision);
    }
    // Units keep their flags; external groups are not in the program and stay as they were.
    for (auto& u : img.Units)
        for (const auto& pu : prev.Units)
            if (CompareNames(u.Name, pu.Name) == 0) u.Flags = pu.Flags;
    for (auto& f : img.Forms)
        for (const auto& pf : prev.Forms)
            if (CompareNames(f.Name, pf.Name) == 0) {
                f.Flags = pf.Flags;
                for (auto& c : f.Components)
                    for (const auto& pc : pf.Components)
                        if (CompareNames(c.Name, pc.Name) == 0) c.Flags = pc.Flags;
            }
    img.Groups = prev.Groups;
    H.LastConstantId = last[icConstant];
    H.LastPropertyId = last[icProperty];
    H.LastExternalId = prev.Header.LastExternalId;
    return result;
}

}  // namespace catalog

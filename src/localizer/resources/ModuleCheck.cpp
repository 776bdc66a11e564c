#include "ModuleCheck.h"

#include <map>

#include "FormConvert.h"
#include "Generation.h"
#include "ResProc.h"
#include "localizer/langres/LFProc.h"
#include "localizer/langres/LangContainer.h"
#include "localizer/langres/SettingsRecord.h"

namespace resources {

namespace {

using langres::TSettingsRecord;

// A form resource: a binary or resource form stream (images, DVCLAL, PACKAGEINFO are not).
bool IsForm(TResRCDataItem* item) {
    item->Data.SetPosition(0);
    return DetectFormFormat(item->Data) != 2;
}

// Whether the form converts to its text form; the reason when it does not.
bool FormReadable(TResRCDataItem* item, std::string& why) {
    try {
        fw::TMemoryStream copy, text;
        item->SaveData(copy);
        copy.SetPosition(0);
        if (DetectFormFormat(copy) == 0)
            FormResourceToText(copy, text);
        else
            FormBinaryToText(copy, text);
        return true;
    } catch (const std::exception& e) {
        why = e.what();
        return false;
    }
}

bool ReadRecord(TResProcessor& p, const char* name, const char* signature, TSettingsRecord& rec) {
    auto* rc = static_cast<TResRCData*>(p.FindBlock(10));
    auto* item = rc ? rc->FindByName(name) : nullptr;
    if (!item) return false;
    const std::vector<uint8_t>& data = item->Data.Bytes();
    return langres::ReadSettingsRecordData(data.data(), data.size(), rec, signature);
}

bool IsSettingsOrEmbedded(const std::string& name) {
    return fw::SameTextAscii(name, langres::SLibSettingsName) || fw::SameTextAscii(name, langres::SExeSettingsName) ||
           fw::SameTextAscii(name, langres::SEmbeddedLangsName);
}

std::string LanguageSuffix(uint16_t language) {
    return language ? fw::Format(" (language 0x%.4x)", {static_cast<unsigned>(language)}) : std::string();
}

class TChecker {
public:
    TChecker(TModuleCheck& out) : out_(out) {}

    void Line(std::string s) { out_.Lines.push_back(std::move(s)); }

    int stringsMissing = 0, stringsSame = 0;
    int formsMissing = 0, formsUnreadable = 0, formsSame = 0;
    int otherMissing = 0, otherChanged = 0;

    // Strings of the program the module does not have, and ones it holds unchanged: every
    // language of every block.
    void Strings(TResProcessor& app, TResProcessor& mod) {
        auto* appStrings = static_cast<TResString*>(app.FindBlock(6));
        auto* modStrings = static_cast<TResString*>(mod.FindBlock(6));
        const auto appLanguages = GroupLanguages(appStrings), modLanguages = GroupLanguages(modStrings);
        auto check = [&](int32_t id, uint16_t language, const std::u16string& text) {
            const std::u16string* t = StringIn(modStrings, modLanguages, id, language);
            if (!t) {
                Line("missing string: " + std::to_string(id) + LanguageSuffix(language));
                ++stringsMissing;
            } else if (*t == text) {
                ++stringsSame;
            }
        };
        if (appStrings) {
            for (int i = 0; i < appStrings->Count(); ++i) {
                auto* s = appStrings->Strings(i);
                check(s->Id, appLanguages.at(s->Id / 16 + 1), s->Text);
            }
            for (int b = 0; b < appStrings->LangBlockCount(); ++b) {
                const auto* lb = appStrings->LangBlocks(b);
                for (int slot = 0; slot < 16; ++slot)
                    if (!lb->Texts[slot].empty()) check(16 * lb->Block - 16 + slot, lb->Language, lb->Texts[slot]);
            }
        }
        Line(fw::Format("strings: %d missing, %d the same as the program's", {stringsMissing, stringsSame}));
    }

    // The program's RCDATA other than the settings and the embedded languages: forms (which the
    // module translates) apart from the rest (which it copies). With a reader, every form is
    // also read as the program's own form reader reads it.
    void RCData(TResProcessor& app, TResProcessor& mod, bool readable, const TFormReaderKinds* reader) {
        auto* appRc = static_cast<TResRCData*>(app.FindBlock(10));
        auto* modRc = static_cast<TResRCData*>(mod.FindBlock(10));
        if (!appRc) return;
        for (int i = 0; i < appRc->Count(); ++i) {
            auto* item = appRc->Items(i);
            if (IsSettingsOrEmbedded(item->Name)) continue;
            // A language other than 0 (only where the program's languages are kept) is named.
            const std::string what = item->Utf8Name() + LanguageSuffix(item->Language);
            auto* other = SameItem(modRc, item);
            const bool form = IsForm(item);
            if (!other) {
                Line(std::string("missing ") + (form ? "form" : "resource") + ": " + what);
                ++(form ? formsMissing : otherMissing);
                continue;
            }
            const bool same = other->Data.Bytes() == item->Data.Bytes();
            std::string why;
            if (form && readable && !FormReadable(other, why)) {
                Line("unreadable form: " + what + ": " + why);
                ++formsUnreadable;
            } else if (form && reader && !ReaderTakes(*reader, other, what)) {
                ++formsUnreadable;
            } else if (form && same) {
                Line("not translated: " + what);
                ++formsSame;
            } else if (!form && !same) {
                Line("changed resource: " + what);
                ++otherChanged;
            }
        }
    }

    // Resources of other types, which a module for a program without settings records copies.
    void OtherTypes(TResProcessor& app, TResProcessor& mod) {
        for (int b = 0; b < app.BlockCount(); ++b) {
            auto* raw = dynamic_cast<TResRawBlock*>(app.Blocks(b));
            if (!raw) continue;
            const TResRawBlock* same = RawOfType(mod, raw->Type);
            for (const auto& e : raw->Entries) {
                const TResRawEntry* found = EntryIn(same, e);
                if (!found) {
                    Line("missing resource: " + RawText(raw->Type, e));
                    ++otherMissing;
                } else if (found->Data != e.Data) {
                    Line("changed resource: " + RawText(raw->Type, e));
                    ++otherChanged;
                }
            }
        }
        // What the module has beyond the program's resources changes what the program finds too
        // (a further language of its version information, say).
        for (int k = 0; k < mod.BlockCount(); ++k) {
            auto* m = dynamic_cast<TResRawBlock*>(mod.Blocks(k));
            if (!m) continue;
            const TResRawBlock* own = RawOfType(app, m->Type);
            for (const auto& e : m->Entries) {
                if (EntryIn(own, e)) continue;
                Line("extra resource: " + RawText(m->Type, e));
                ++otherChanged;
            }
        }
    }

    // RCDATA of the module that the program does not have (its settings record aside).
    void ExtraRCData(TResProcessor& app, TResProcessor& mod) {
        auto* appRc = static_cast<TResRCData*>(app.FindBlock(10));
        auto* modRc = static_cast<TResRCData*>(mod.FindBlock(10));
        for (int i = 0; modRc && i < modRc->Count(); ++i) {
            auto* item = modRc->Items(i);
            if (fw::SameTextAscii(item->Name, langres::SLibSettingsName) || SameItem(appRc, item)) continue;
            Line("extra resource: " + item->Utf8Name() + LanguageSuffix(item->Language));
            ++otherChanged;
        }
    }

private:
    static bool SameId(const TResId& a, const TResId& b) {
        return a.IsName == b.IsName && (a.IsName ? a.Name == b.Name : a.Id == b.Id);
    }
    static std::string IdText(const TResId& id) { return id.IsName ? fw::Utf16ToUtf8(id.Name) : std::to_string(id.Id); }
    static const TResRawBlock* RawOfType(const TResProcessor& p, const TResId& type) {
        for (int k = 0; k < p.BlockCount(); ++k) {
            auto* raw = dynamic_cast<const TResRawBlock*>(p.Blocks(k));
            if (raw && SameId(raw->Type, type)) return raw;
        }
        return nullptr;
    }
    // The entry of the same name and language in `block` (null: none, or no block).
    static const TResRawEntry* EntryIn(const TResRawBlock* block, const TResRawEntry& e) {
        for (size_t i = 0; block && i < block->Entries.size(); ++i)
            if (block->Entries[i].Language == e.Language && SameId(block->Entries[i].Name, e.Name))
                return &block->Entries[i];
        return nullptr;
    }
    static std::string RawText(const TResId& type, const TResRawEntry& e) {
        return "type " + IdText(type) + " " + IdText(e.Name) +
               fw::Format(" language 0x%.4x", {static_cast<unsigned>(e.Language)});
    }

    static std::map<int32_t, uint16_t> GroupLanguages(const TResString* s) {
        std::map<int32_t, uint16_t> m;
        for (int g = 0; s && g < s->GroupCount(); ++g) m.emplace(s->Groups(g)->Id, s->Groups(g)->Language);
        return m;
    }

    // The text of string `id` in `language`: in the table itself where its block has that
    // language, else in a block of a further language; null when there is none.
    static const std::u16string* StringIn(const TResString* s, const std::map<int32_t, uint16_t>& groupLanguage,
                                          int32_t id, uint16_t language) {
        if (!s) return nullptr;
        const int32_t block = id / 16 + 1;
        auto g = groupLanguage.find(block);
        if (g != groupLanguage.end() && g->second == language) {
            const auto* item = s->FindString(id);
            return item ? &item->Text : nullptr;
        }
        for (int b = 0; b < s->LangBlockCount(); ++b) {
            const auto* lb = s->LangBlocks(b);
            if (lb->Block == block && lb->Language == language && !lb->Texts[id % 16].empty())
                return &lb->Texts[id % 16];
        }
        return nullptr;
    }

    // The module's item for a program's item: the same name (or id) and language.
    static TResRCDataItem* SameItem(TResRCData* rc, const TResRCDataItem* item) {
        for (int i = 0; rc && i < rc->Count(); ++i) {
            auto* other = rc->Items(i);
            if (other->Language == item->Language && TResRCData::SameName(*other, *item)) return other;
        }
        return nullptr;
    }

    // Whether every string value of the module's form is of a kind the program's reader takes;
    // each one that is not is named.
    bool ReaderTakes(const TFormReaderKinds& reader, TResRCDataItem* form, const std::string& what) {
        const std::vector<uint8_t>& data = form->Data.Bytes();
        bool takes = true;
        std::string last;  // the lines of a string list are one item
        for (const TFormStringValue& v : ScanForm(data.data(), data.size()).Strings) {
            if (reader.Takes(v.Tag) || v.Item == last) continue;
            last = v.Item;
            Line("unreadable form: " + what + ": " + v.Item + ": " +
                 (v.Tag == fw::vaWString ? "a wide string" : "a UTF-8 string") +
                 ", which this program's form reader does not take");
            takes = false;
        }
        return takes;
    }

    TModuleCheck& out_;
};

void LanguageLines(TModuleCheck& out, const TSettingsRecord& lib) {
    out.Lines.push_back(fw::Format("language: 0x%.4X %s (%s)", {static_cast<unsigned>(lib.LangId), lib.EnglishLangName,
                                                                fw::Utf16ToUtf8(lib.NativeLangName)}));
    out.Lines.push_back(fw::Format("build: %u", {static_cast<unsigned long long>(lib.Build)}));
}

// A program built with the framework's own tools: its run-time library takes any module named
// after it, so the questions are whether the module holds everything the program asks for and
// whether the program's form reader reads every form of it.
void CheckWithoutRecords(const std::string& programFile, const std::string& moduleFile, TModuleCheck& out) {
    TResProcessor app, mod;
    app.KeepAllResources = true;
    mod.KeepAllResources = true;
    app.LoadFromFile(programFile);
    mod.LoadFromFile(moduleFile);
    out.Lines.push_back("program: no settings records; its run-time library loads a module named after it");
    const TFormReaderKinds reader = ProgramFormReader(app);
    out.Lines.push_back("form reader: " + reader.Describe());
    TSettingsRecord lib;
    if (ReadRecord(mod, langres::SLibSettingsName, langres::SLibSignature, lib)) LanguageLines(out, lib);
    TChecker n(out);
    n.Strings(app, mod);
    n.RCData(app, mod, true, &reader);
    n.Line(fw::Format("forms: %d missing, %d unreadable, %d not translated",
                      {n.formsMissing, n.formsUnreadable, n.formsSame}));
    n.OtherTypes(app, mod);
    n.ExtraRCData(app, mod);
    n.Line(fw::Format("other resources: %d missing, %d changed", {n.otherMissing, n.otherChanged}));
    if (n.formsUnreadable) {
        out.Verdict = fw::Format("\"%s\" does not suit the program: %d of its forms would not read",
                                 {moduleFile, n.formsUnreadable});
        return;
    }
    if (n.stringsMissing || n.formsMissing || n.otherMissing || n.otherChanged) {
        out.Verdict = "\"" + moduleFile + "\" is incomplete: the program would show untranslated or broken parts";
        return;
    }
    out.Accepted = true;
    out.Lines.push_back("complete");
}

}  // namespace

TModuleCheck CheckModule(const std::string& programFile, const std::string& moduleFile) {
    TModuleCheck out;
    TResProcessor app, mod;
    app.LoadFromFile(programFile);
    if (!langres::TLangFile::HasSettingsRecords(app)) {
        CheckWithoutRecords(programFile, moduleFile, out);
        return out;
    }
    TSettingsRecord exe, lib;
    if (!ReadRecord(app, langres::SExeSettingsName, langres::SExeSignature, exe))
        throw EExeError("\"" + programFile + "\" has no valid program settings record (" + langres::SExeSettingsName +
                        ")");
    mod.LoadFromFile(moduleFile);
    if (!ReadRecord(mod, langres::SLibSettingsName, langres::SLibSignature, lib)) {
        out.Lines.push_back(std::string("module: no valid ") + langres::SLibSettingsName +
                            " record: not a translated resource module");
        out.Verdict = "\"" + moduleFile + "\" would be refused: it is not a translated resource module";
        return out;
    }
    LanguageLines(out, lib);
    out.Lines.push_back(fw::Format("revision: %u (program: %u)", {static_cast<unsigned long long>(lib.Revision),
                                                                  static_cast<unsigned long long>(exe.Revision)}));
    TChecker n(out);
    n.Strings(app, mod);
    n.RCData(app, mod, false, nullptr);
    n.Line(fw::Format("forms: %d missing, %d not translated", {n.formsMissing, n.formsSame}));
    n.Line(fw::Format("other resources: %d missing, %d changed", {n.otherMissing, n.otherChanged}));
    auto* modRc = static_cast<TResRCData*>(mod.FindBlock(10));
    for (const char* name : {langres::SExeSettingsName, langres::SEmbeddedLangsName})
        if (modRc && modRc->FindByName(name)) n.Line(std::string("extra resource: ") + name);
    if (lib.Revision != exe.Revision) {
        out.Verdict = fw::Format(
            "\"%s\" would be refused: it was made for revision %u, the program has %u",
            {moduleFile, static_cast<unsigned long long>(lib.Revision), static_cast<unsigned long long>(exe.Revision)});
        return out;
    }
    out.Accepted = true;
    out.Lines.push_back("accepted");
    return out;
}

TModuleContents CountModule(const std::string& moduleFile) {
    TResProcessor written;
    written.KeepAllResources = true;
    written.LoadFromFile(moduleFile);
    TModuleContents c;
    for (int b = 0; b < written.BlockCount(); ++b) {
        TResBlock* block = written.Blocks(b);
        if (block->ResType() == 6 && dynamic_cast<TResString*>(block)) {
            auto* table = static_cast<TResString*>(block);
            c.Strings = table->Count();
            for (int k = 0; k < table->LangBlockCount(); ++k)
                for (const auto& text : table->LangBlocks(k)->Texts) c.Strings += text.empty() ? 0 : 1;
        } else if (auto* rc = dynamic_cast<TResRCData*>(block)) {
            for (int i = 0; i < rc->Count(); ++i) {
                if (fw::SameTextAscii(rc->Items(i)->Name, langres::SLibSettingsName)) continue;
                ++(IsForm(rc->Items(i)) ? c.Forms : c.Other);
            }
        } else {
            c.Other += block->Count();
        }
    }
    return c;
}

}  // namespace resources

// vtploc module build|verify: translated resource modules without a Windows machine.
//   build --app APP.exe --lang FILE.lng [--native FILE.ntv.lng] (-o OUT | --out-dir DIR)
//       the module the run-time localizer would write for that language, made by the same code
//       (TLangFile::SaveResourceModule from the module file). The native language comes from
//       --native or, like at run time, from the application's embedded container. --out-dir
//       names the module as the framework's run-time library looks for it beside the program:
//       DIR/APP.<locale abbreviation>, for example DIR/APP.DEU.
//       A program without settings records (built with the framework's own tools) gets a module
//       that holds all its resources: strings and forms translated, the rest copied.
//   verify --app APP.exe MODULE
//       whether the program would accept the module (its revision), its language and build,
//       and what it lacks. Exit status 0 only when it would be accepted, 1 when not. For a
//       program without settings records: whether the module is complete.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Command.h"
#include "framework/Classes.h"
#include "localizer/kutils/KLocales.h"
#include "localizer/langres/LFProc.h"
#include "localizer/langres/LangContainer.h"
#include "localizer/langres/SettingsRecord.h"
#include "localizer/resources/FormConvert.h"
#include "localizer/resources/ResProc.h"

namespace vtploc {

namespace {

// A module the program would refuse: the reason on stderr, exit status 1 (2 is for errors).
[[noreturn]] void Rejected(const std::string& why) {
    std::fflush(stdout);
    std::fprintf(stderr, "vtploc: %s\n", why.c_str());
    std::exit(1);
}

bool FileExists(const std::string& name) {
    std::error_code ec;
    return std::filesystem::is_regular_file(name, ec);
}

using langres::TLangFile;
using langres::TLangResource;
using langres::TSettingsRecord;
using resources::TResBlock;
using resources::TResProcessor;
using resources::TResRCData;
using resources::TResString;

struct ModuleArgs {
    std::string app, lang, native, out, outDir, module;
};

// The name the framework's run-time library looks for beside the program: its file name with
// the locale abbreviation of the language as extension.
std::string RuntimeModuleName(const std::string& app, uint32_t langId) {
    const std::string abbrev = kutils::LocaleAbbrev(langId);
    if (abbrev.empty()) throw UsageError(fw::Format("Language 0x%.4x has no locale abbreviation", {langId}));
    return std::filesystem::path(app).filename().replace_extension(abbrev).string();
}

// A form resource: a binary or resource form stream (images, DVCLAL, PACKAGEINFO are not).
bool IsForm(resources::TResRCDataItem* item) {
    item->Data.SetPosition(0);
    return resources::DetectFormFormat(item->Data) != 2;
}

// Whether the form converts to its text form; the reason when it does not.
bool FormReadable(resources::TResRCDataItem* item, std::string& why) {
    try {
        fw::TMemoryStream copy, text;
        item->SaveData(copy);
        copy.SetPosition(0);
        if (resources::DetectFormFormat(copy) == 0)
            resources::FormResourceToText(copy, text);
        else
            resources::FormBinaryToText(copy, text);
        return true;
    } catch (const std::exception& e) {
        why = e.what();
        return false;
    }
}

void LoadNative(const ModuleArgs& a, TLangResource& model) {
    if (!a.native.empty()) {
        if (!FileExists(a.native)) throw UsageError("Native language file \"" + a.native + "\" is not found");
        TLangFile native(a.native);
        if (!native.IsNative) throw UsageError(a.native + ": not a native dictionary");
        native.LoadFromFile(&model, -1);
        return;
    }
    TResProcessor app;
    app.LoadFromFile(a.app);
    auto* rc = static_cast<TResRCData*>(app.FindBlock(10));
    auto* item = rc ? rc->FindByName(langres::SEmbeddedLangsName) : nullptr;
    std::vector<uint8_t> image;
    if (item) {
        fw::TMemoryStream data;
        item->SaveData(data);
        langres::ExtractContainerLanguage(data.Bytes().data(), data.Bytes().size(), 0, image);
    }
    if (image.empty())
        throw UsageError("\"" + a.app +
                         "\" has no embedded native language; name the native language file with --native");
    TLangFile native;
    fw::TMemoryStream s(image);
    native.LoadFromStream(s, &model, -1);
}

void Build(const ModuleArgs& a) {
    if (!FileExists(a.app)) throw UsageError("Application \"" + a.app + "\" is not found");
    if (!FileExists(a.lang)) throw UsageError("Language file \"" + a.lang + "\" is not found");
    if (a.out.empty() == a.outDir.empty()) throw UsageError("Name the module with -o OUT or --out-dir DIR");
    if (!a.outDir.empty() && !std::filesystem::is_directory(a.outDir))
        throw UsageError("Output folder \"" + a.outDir + "\" is not found");
    TLangResource model;
    LoadNative(a, model);
    TLangFile lf(a.lang);
    int index = model.AddLanguage(0, static_cast<uint16_t>(lf.LangId));
    lf.LoadFromFile(&model, index);
    lf.DllLangIndex = index;
    lf.ModuleTimeStamp = SourceDateEpoch();
    const std::string out =
        a.out.empty() ? (std::filesystem::path(a.outDir) / RuntimeModuleName(a.app, lf.LangId)).string() : a.out;
    // Written under a temporary name and renamed: a failure leaves no output behind.
    lf.SaveResourceModule(0, out, &model, a.app);

    // What a module for a program without settings records holds, since nothing else tells.
    TResProcessor program;
    program.LoadFromFile(a.app);
    if (TLangFile::HasSettingsRecords(program)) return;
    TResProcessor written;
    written.KeepAllResources = true;
    written.LoadFromFile(out);
    int strings = 0, forms = 0, other = 0;
    for (int b = 0; b < written.BlockCount(); ++b) {
        TResBlock* block = written.Blocks(b);
        if (block->ResType() == 6) {
            auto* table = static_cast<TResString*>(block);
            strings = table->Count();
            for (int k = 0; k < table->LangBlockCount(); ++k)
                for (const auto& text : table->LangBlocks(k)->Texts) strings += text.empty() ? 0 : 1;
        } else if (auto* rc = dynamic_cast<TResRCData*>(block)) {
            for (int i = 0; i < rc->Count(); ++i) {
                if (fw::SameTextAscii(rc->Items(i)->Name, langres::SLibSettingsName)) continue;
                ++(IsForm(rc->Items(i)) ? forms : other);
            }
        } else {
            other += block->Count();
        }
    }
    std::printf("%s: %d strings, %d forms, %d other resources (program without settings records)\n", out.c_str(),
                strings, forms, other);
}

bool ReadRecord(TResProcessor& p, const char* name, const char* signature, TSettingsRecord& rec) {
    auto* rc = static_cast<TResRCData*>(p.FindBlock(10));
    auto* item = rc ? rc->FindByName(name) : nullptr;
    if (!item) return false;
    fw::TMemoryStream data;
    item->SaveData(data);
    return langres::ReadSettingsRecordData(data.Bytes().data(), data.Bytes().size(), rec, signature);
}

std::vector<uint8_t> DataOf(const resources::TResRCDataItem* item) {
    auto* i = const_cast<resources::TResRCDataItem*>(item);
    fw::TMemoryStream data;
    i->SaveData(data);
    return data.Bytes();
}

bool IsSettingsOrEmbedded(const std::string& name) {
    return fw::SameTextAscii(name, langres::SLibSettingsName) || fw::SameTextAscii(name, langres::SExeSettingsName) ||
           fw::SameTextAscii(name, langres::SEmbeddedLangsName);
}

struct TCheckCounts {
    int stringsMissing = 0, stringsSame = 0;
    int formsMissing = 0, formsUnreadable = 0, formsSame = 0;
    int otherMissing = 0, otherChanged = 0;
};

// The text of string `id` in `language`: in the table itself where its block has that
// language, else in a block of a further language; null when there is none.
const std::u16string* StringIn(const TResString* s, const std::map<int32_t, uint16_t>& groupLanguage, int32_t id,
                               uint16_t language) {
    if (!s) return nullptr;
    const int32_t block = id / 16 + 1;
    auto g = groupLanguage.find(block);
    if (g != groupLanguage.end() && g->second == language) {
        const auto* item = s->FindString(id);
        return item ? &item->Text : nullptr;
    }
    for (int b = 0; b < s->LangBlockCount(); ++b) {
        const auto* lb = s->LangBlocks(b);
        if (lb->Block == block && lb->Language == language && !lb->Texts[id % 16].empty()) return &lb->Texts[id % 16];
    }
    return nullptr;
}

std::map<int32_t, uint16_t> GroupLanguages(const TResString* s) {
    std::map<int32_t, uint16_t> m;
    for (int g = 0; s && g < s->GroupCount(); ++g) m.emplace(s->Groups(g)->Id, s->Groups(g)->Language);
    return m;
}

// Strings of the program the module does not have, and ones it holds unchanged: every language
// of every block.
void CheckStrings(TResProcessor& app, TResProcessor& mod, TCheckCounts& n) {
    auto* appStrings = static_cast<TResString*>(app.FindBlock(6));
    auto* modStrings = static_cast<TResString*>(mod.FindBlock(6));
    const auto appLanguages = GroupLanguages(appStrings), modLanguages = GroupLanguages(modStrings);
    auto check = [&](int32_t id, uint16_t language, const std::u16string& text) {
        const std::u16string* t = StringIn(modStrings, modLanguages, id, language);
        if (!t) {
            if (language)
                std::printf("missing string: %d (language 0x%.4x)\n", id, static_cast<unsigned>(language));
            else
                std::printf("missing string: %d\n", id);
            ++n.stringsMissing;
        } else if (*t == text) {
            ++n.stringsSame;
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
    std::printf("strings: %d missing, %d the same as the program's\n", n.stringsMissing, n.stringsSame);
}

// The module's item for a program's item: the same name (or id) and language.
resources::TResRCDataItem* SameItem(TResRCData* rc, const resources::TResRCDataItem* item) {
    for (int i = 0; rc && i < rc->Count(); ++i) {
        auto* other = rc->Items(i);
        if (other->Language == item->Language && TResRCData::SameName(*other, *item)) return other;
    }
    return nullptr;
}

// The program's RCDATA other than the settings and the embedded languages: forms (which the
// module translates) apart from the rest (which it copies).
void CheckRCData(TResProcessor& app, TResProcessor& mod, TCheckCounts& n, bool readable) {
    auto* appRc = static_cast<TResRCData*>(app.FindBlock(10));
    auto* modRc = static_cast<TResRCData*>(mod.FindBlock(10));
    if (!appRc) return;
    for (int i = 0; i < appRc->Count(); ++i) {
        auto* item = appRc->Items(i);
        if (IsSettingsOrEmbedded(item->Name)) continue;
        // A language other than 0 (only where the program's languages are kept) is named.
        const std::string what =
            item->Utf8Name() + (item->Language
                                    ? fw::Format(" (language 0x%.4x)", {static_cast<unsigned>(item->Language)})
                                    : std::string());
        auto* other = SameItem(modRc, item);
        const bool form = IsForm(item);
        if (!other) {
            std::printf("missing %s: %s\n", form ? "form" : "resource", what.c_str());
            ++(form ? n.formsMissing : n.otherMissing);
            continue;
        }
        const bool same = DataOf(other) == DataOf(item);
        std::string why;
        if (form && readable && !FormReadable(other, why)) {
            std::printf("unreadable form: %s: %s\n", what.c_str(), why.c_str());
            ++n.formsUnreadable;
        } else if (form && same) {
            std::printf("not translated: %s\n", what.c_str());
            ++n.formsSame;
        } else if (!form && !same) {
            std::printf("changed resource: %s\n", what.c_str());
            ++n.otherChanged;
        }
    }
}

std::string TypeText(const resources::TResId& id) {
    return id.IsName ? fw::Utf16ToUtf8(id.Name) : std::to_string(id.Id);
}

// Resources of other types, which a module for a program without settings records copies.
void CheckOtherTypes(TResProcessor& app, TResProcessor& mod, TCheckCounts& n) {
    for (int b = 0; b < app.BlockCount(); ++b) {
        auto* raw = dynamic_cast<resources::TResRawBlock*>(app.Blocks(b));
        if (!raw) continue;
        const resources::TResRawBlock* same = nullptr;
        for (int k = 0; k < mod.BlockCount() && !same; ++k) {
            auto* m = dynamic_cast<resources::TResRawBlock*>(mod.Blocks(k));
            if (m && m->Type.IsName == raw->Type.IsName &&
                (raw->Type.IsName ? m->Type.Name == raw->Type.Name : m->Type.Id == raw->Type.Id))
                same = m;
        }
        for (const auto& e : raw->Entries) {
            const resources::TResRawEntry* found = nullptr;
            if (same)
                for (const auto& f : same->Entries)
                    if (f.Language == e.Language && f.Name.IsName == e.Name.IsName &&
                        (e.Name.IsName ? f.Name.Name == e.Name.Name : f.Name.Id == e.Name.Id))
                        found = &f;
            const std::string what = "type " + TypeText(raw->Type) + " " + TypeText(e.Name) +
                                     fw::Format(" language 0x%.4x", {static_cast<unsigned>(e.Language)});
            if (!found) {
                std::printf("missing resource: %s\n", what.c_str());
                ++n.otherMissing;
            } else if (found->Data != e.Data) {
                std::printf("changed resource: %s\n", what.c_str());
                ++n.otherChanged;
            }
        }
    }
}

void PrintLanguage(const TSettingsRecord& lib) {
    std::printf("language: 0x%04X %s (%s)\n", lib.LangId, lib.EnglishLangName.c_str(),
                fw::Utf16ToUtf8(lib.NativeLangName).c_str());
    std::printf("build: %u\n", lib.Build);
}

// A program built with the framework's own tools: its run-time library takes any module named
// after it, so the question is only whether the module holds everything the program asks for.
void VerifyWithoutRecords(const ModuleArgs& a) {
    TResProcessor app, mod;
    app.KeepAllResources = true;
    mod.KeepAllResources = true;
    app.LoadFromFile(a.app);
    mod.LoadFromFile(a.module);
    std::printf("program: no settings records; its run-time library loads a module named after it\n");
    TSettingsRecord lib;
    if (ReadRecord(mod, langres::SLibSettingsName, langres::SLibSignature, lib)) PrintLanguage(lib);
    TCheckCounts n;
    CheckStrings(app, mod, n);
    CheckRCData(app, mod, n, true);
    std::printf("forms: %d missing, %d unreadable, %d not translated\n", n.formsMissing, n.formsUnreadable,
                n.formsSame);
    CheckOtherTypes(app, mod, n);
    std::printf("other resources: %d missing, %d changed\n", n.otherMissing, n.otherChanged);
    if (n.stringsMissing || n.formsMissing || n.formsUnreadable || n.otherMissing || n.otherChanged)
        Rejected("\"" + a.module + "\" is incomplete: the program would show untranslated or broken parts");
    std::printf("complete\n");
}

void Verify(const ModuleArgs& a) {
    if (!FileExists(a.app)) throw UsageError("Application \"" + a.app + "\" is not found");
    if (!FileExists(a.module)) throw UsageError("Module \"" + a.module + "\" is not found");
    TResProcessor app, mod;
    app.LoadFromFile(a.app);
    if (!TLangFile::HasSettingsRecords(app)) return VerifyWithoutRecords(a);
    mod.LoadFromFile(a.module);
    TSettingsRecord exe, lib;
    if (!ReadRecord(app, langres::SExeSettingsName, langres::SExeSignature, exe))
        throw UsageError("\"" + a.app + "\" has no valid program settings record (" + langres::SExeSettingsName + ")");
    bool accepted = true;
    if (!ReadRecord(mod, langres::SLibSettingsName, langres::SLibSignature, lib)) {
        std::printf("module: no valid %s record: not a translated resource module\n", langres::SLibSettingsName);
        Rejected("\"" + a.module + "\" would be refused: it is not a translated resource module");
    }
    PrintLanguage(lib);
    std::printf("revision: %u (program: %u)\n", lib.Revision, exe.Revision);
    if (lib.Revision != exe.Revision) accepted = false;
    TCheckCounts n;
    CheckStrings(app, mod, n);
    CheckRCData(app, mod, n, false);
    std::printf("forms: %d missing, %d not translated\n", n.formsMissing, n.formsSame);
    std::printf("other resources: %d missing, %d changed\n", n.otherMissing, n.otherChanged);
    auto* modRc = static_cast<TResRCData*>(mod.FindBlock(10));
    for (const char* name : {langres::SExeSettingsName, langres::SEmbeddedLangsName})
        if (modRc && modRc->FindByName(name)) std::printf("extra resource: %s\n", name);
    if (!accepted)
        Rejected("\"" + a.module + "\" would be refused: it was made for revision " + std::to_string(lib.Revision) +
                 ", the program has " + std::to_string(exe.Revision));
    std::printf("accepted\n");
}

void Register(CLI::App& app) {
    CLI::App* module = app.add_subcommand("module", "Translated resource modules of an application");
    module->require_subcommand(1);
    auto args = std::make_shared<ModuleArgs>();

    CLI::App* build = module->add_subcommand("build", "Build the translated resource module of a language file");
    build->add_option("--app", args->app, "The application (or its untranslated copy)")->required();
    build->add_option("--lang", args->lang, "The language file to translate into")->required();
    build->add_option("--native", args->native, "The native language file (default: embedded in the application)");
    auto* o = build->add_option("-o,--output", args->out, "The module to write");
    build
        ->add_option("--out-dir", args->outDir,
                     "Write the module into this folder under the name the framework's run-time library looks "
                     "for: APP.<locale abbreviation> (APP.DEU)")
        ->excludes(o);
    build->callback([args] { Build(*args); });

    CLI::App* verify = module->add_subcommand("verify", "Check a translated resource module against its application");
    verify->add_option("--app", args->app, "The application")->required();
    verify->add_option("module", args->module, "The translated resource module")->required();
    verify->callback([args] { Verify(*args); });
}

CommandGroup registered(Register);

}  // namespace
}  // namespace vtploc

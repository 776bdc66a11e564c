// vtploc module build|verify: translated resource modules without a Windows machine.
//   build --app APP.exe --lang FILE.lng [--native FILE.ntv.lng] -o OUT
//       the module the run-time localizer would write for that language, made by the same code
//       (TLangFile::SaveResourceModule from the module file). The native language comes from
//       --native or, like at run time, from the application's embedded container.
//   verify --app APP.exe MODULE
//       whether the program would accept the module (its revision), its language and build,
//       and what it lacks. Exit status 0 only when it would be accepted, 1 when not.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Command.h"
#include "framework/Classes.h"
#include "localizer/langres/LFProc.h"
#include "localizer/langres/LangContainer.h"
#include "localizer/langres/SettingsRecord.h"
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
using resources::TResProcessor;
using resources::TResRCData;
using resources::TResString;

struct ModuleArgs {
    std::string app, lang, native, out, module;
};

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
    TLangResource model;
    LoadNative(a, model);
    TLangFile lf(a.lang);
    int index = model.AddLanguage(0, static_cast<uint16_t>(lf.LangId));
    lf.LoadFromFile(&model, index);
    lf.DllLangIndex = index;
    lf.ModuleTimeStamp = SourceDateEpoch();
    // Written under a temporary name and renamed: a failure leaves no output behind.
    lf.SaveResourceModule(0, a.out, &model, a.app);
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

std::string Narrow(const std::u16string& s) {
    std::string out;
    for (char16_t c : s) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

void Verify(const ModuleArgs& a) {
    TResProcessor app, mod;
    app.LoadFromFile(a.app);
    mod.LoadFromFile(a.module);
    TSettingsRecord exe, lib;
    if (!ReadRecord(app, langres::SExeSettingsName, langres::SExeSignature, exe))
        throw UsageError("\"" + a.app + "\" has no valid program settings record (" + langres::SExeSettingsName + ")");
    bool accepted = true;
    if (!ReadRecord(mod, langres::SLibSettingsName, langres::SLibSignature, lib)) {
        std::printf("module: no valid %s record: not a translated resource module\n", langres::SLibSettingsName);
        Rejected("\"" + a.module + "\" would be refused: it is not a translated resource module");
    }
    std::printf("language: 0x%04X %s (%s)\n", lib.LangId, lib.EnglishLangName.c_str(),
                Narrow(lib.NativeLangName).c_str());
    std::printf("build: %u\n", lib.Build);
    std::printf("revision: %u (program: %u)\n", lib.Revision, exe.Revision);
    if (lib.Revision != exe.Revision) accepted = false;

    // Strings of the program the module does not have, and ones it holds unchanged.
    auto* appStrings = static_cast<TResString*>(app.FindBlock(6));
    auto* modStrings = static_cast<TResString*>(mod.FindBlock(6));
    int missing = 0, same = 0;
    if (appStrings) {
        for (int i = 0; i < appStrings->Count(); ++i) {
            auto* s = appStrings->Strings(i);
            auto* t = modStrings ? modStrings->FindString(s->Id) : nullptr;
            if (!t) {
                std::printf("missing string: %d\n", s->Id);
                ++missing;
            } else if (t->Text == s->Text) {
                ++same;
            }
        }
    }
    std::printf("strings: %d missing, %d the same as the program's\n", missing, same);

    // Resources of the program other than the settings and the embedded languages: forms.
    auto* appRc = static_cast<TResRCData*>(app.FindBlock(10));
    auto* modRc = static_cast<TResRCData*>(mod.FindBlock(10));
    int formsMissing = 0, formsSame = 0;
    if (appRc) {
        for (int i = 0; i < appRc->Count(); ++i) {
            auto* item = appRc->Items(i);
            if (fw::SameTextAscii(item->Name, langres::SLibSettingsName) ||
                fw::SameTextAscii(item->Name, langres::SExeSettingsName) ||
                fw::SameTextAscii(item->Name, langres::SEmbeddedLangsName))
                continue;
            auto* other = modRc ? modRc->FindByName(item->Name) : nullptr;
            if (!other) {
                std::printf("missing resource: %s\n", item->Name.c_str());
                ++formsMissing;
            } else if (DataOf(other) == DataOf(item)) {
                std::printf("not translated: %s\n", item->Name.c_str());
                ++formsSame;
            }
        }
    }
    std::printf("forms: %d missing, %d not translated\n", formsMissing, formsSame);
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
    build->add_option("-o,--output", args->out, "The module to write")->required();
    build->callback([args] { Build(*args); });

    CLI::App* verify = module->add_subcommand("verify", "Check a translated resource module against its application");
    verify->add_option("--app", args->app, "The application")->required();
    verify->add_option("module", args->module, "The translated resource module")->required();
    verify->callback([args] { Verify(*args); });
}

CommandGroup registered(Register);

}  // namespace
}  // namespace vtploc

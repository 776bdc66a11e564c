// vtploc module build|verify: translated resource modules without a Windows machine.
//   build --app APP.exe --lang FILE.lng [--native FILE.ntv.lng] (-o OUT | --out-dir DIR)
//       the module the run-time localizer would write for that language, made by the same code
//       (TLangFile::SaveResourceModule from the module file). The native language comes from
//       --native or, like at run time, from the application's embedded container. --out-dir
//       names the module as the framework's run-time library looks for it beside the program:
//       DIR/APP.<locale abbreviation>, for example DIR/APP.DEU.
//       A program without settings records (built with the framework's own tools) gets a module
//       that holds all its resources: strings and forms translated, the rest copied, every form
//       value in a kind that program's form reader takes (or the texts that cannot be are named,
//       exit status 1, nothing written).
//   verify --app APP.exe MODULE
//       whether the program would accept the module (its revision), its language and build,
//       and what it lacks. Exit status 0 only when it would be accepted, 1 when not. For a
//       program without settings records: whether the module is complete and every form of it
//       reads with that program's own form reader. The checks are resources::CheckModule's.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Command.h"
#include "framework/Classes.h"
#include "localizer/kutils/KLocales.h"
#include "localizer/langres/LFProc.h"
#include "localizer/langres/LangContainer.h"
#include "localizer/resources/ModuleCheck.h"
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
using resources::TResProcessor;
using resources::TResRCData;

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
    const resources::TModuleContents c = resources::CountModule(out);
    std::printf("%s: %d strings, %d forms, %d other resources (program without settings records)\n", out.c_str(),
                c.Strings, c.Forms, c.Other);
}

void Verify(const ModuleArgs& a) {
    if (!FileExists(a.app)) throw UsageError("Application \"" + a.app + "\" is not found");
    if (!FileExists(a.module)) throw UsageError("Module \"" + a.module + "\" is not found");
    const resources::TModuleCheck check = resources::CheckModule(a.app, a.module);
    for (const std::string& line : check.Lines) std::printf("%s\n", line.c_str());
    if (!check.Accepted) Rejected(check.Verdict);
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

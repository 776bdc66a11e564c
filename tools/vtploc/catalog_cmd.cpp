// vtploc lng extract|update|stats|export|import|pseudo: the translators' loop.
//   extract --app APP.exe [--names resource.h] [--update OLD.ntv.lng] -o APP.ntv.lng
//   update --native NEW.ntv.lng OLD.lng -o NEW.lng
//   stats FILE.lng [--native NTV] [--min PERCENT]
//   export --po|--xliff FILE.lng [--native NTV] [--app APP.exe] -o FILE.po|FILE.xlf
//   import --po FILE.po|--xliff FILE.xlf --native NTV [--lang CODE] -o FILE.lng
//   pseudo NTV -o PSEUDO.lng [--lang CODE] [--expand PERCENT]
// Bad input: one line naming the file and what is wrong, exit status 1, nothing written.
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "Command.h"
#include "LangInput.h"
#include "framework/Classes.h"
#include "localizer/catalog/Catalog.h"
#include "localizer/catalog/XliffCatalog.h"
#include "localizer/kutils/KLocales.h"
#include "localizer/langres/LangWriter.h"
#include "localizer/resources/ResProc.h"
#ifdef VTP_HAVE_GETTEXTPO
#include "localizer/catalog/PoCatalog.h"
#endif

namespace vtploc {
namespace {

using catalog::TLangFileImage;

void WriteLangFile(const std::string& file, const TLangFileImage& img, bool compress) {
    std::vector<uint8_t> out;
    try {
        out = langres::WriteLangFile(img, compress);
    } catch (const fw::Exception& e) {
        throw InputError(file + ": " + e.Message());
    }
    WriteOutput(file, out);
}

// "0x0407", "1031" or a locale code ("DEU").
uint16_t ParseLang(const std::string& s) {
    if (s.empty()) return 0;
    char* end = nullptr;
    unsigned long v = std::strtoul(s.c_str(), &end, 0);
    if (end && *end == '\0' && v > 0 && v <= 0xFFFF) return static_cast<uint16_t>(v);
    uint32_t id = kutils::LocaleFromAbbrev(s);
    if (!id) throw UsageError("--lang: \"" + s + "\" is neither a language id nor a language code");
    return static_cast<uint16_t>(id);
}

struct Args {
    std::string app, names, unit, update, out, native, file, po, xliff, lang;
    bool compress = false, poFormat = false, xliffFormat = false;
    double min = -1;
    int expand = 35;
};

void Extract(const Args& a) {
    std::vector<uint8_t> bytes = ReadFile(a.app);
    resources::TResProcessor program;
    try {
        program.LoadFromFile(a.app);
    } catch (const fw::Exception& e) {
        throw InputError(a.app + ": not a readable program: " + e.Message());
    }
    catalog::TExtractOptions opt;
    opt.LangId = ParseLang(a.lang);
    if (!a.names.empty()) {
        std::vector<uint8_t> h = ReadFile(a.names);
        try {
            opt.Names = catalog::ParseResourceHeader(std::string(h.begin(), h.end()), a.names);
        } catch (const fw::Exception& e) {
            throw InputError(e.Message());
        }
        opt.UnitName = std::filesystem::path(a.names).stem().string();
    }
    if (!a.unit.empty()) opt.UnitName = a.unit;
    TLangFileImage previous;
    if (!a.update.empty()) {
        previous = ReadLangFile(a.update);
        opt.Previous = &previous;
    }
    catalog::TExtractResult r;
    try {
        r = catalog::ExtractNative(program, a.app, opt);
    } catch (const fw::Exception& e) {
        throw InputError(e.Message());
    }
    for (const auto& n : r.Notes) std::fprintf(stderr, "vtploc: %s: %s\n", a.app.c_str(), n.c_str());
    WriteLangFile(a.out, r.Image, a.compress);
    const auto& c = r.Counts;
    std::printf("%zu forms, %zu properties, %zu constants, revision %u\n", c.Forms, c.Properties, c.Constants,
                static_cast<unsigned>(r.Image.Header.Revision));
    if (opt.Previous)
        std::printf("%zu unchanged, %zu added, %zu changed, %zu removed\n", c.Unchanged, c.Added, c.Changed, c.Removed);
}

void Update(const Args& a) {
    TLangFileImage native = ReadNative(a.native);
    TLangFileImage old = ReadLangFile(a.file);
    catalog::TUpdateCounts c;
    TLangFileImage out = catalog::UpdateTranslation(native, old, c);
    WriteLangFile(a.out, out, a.compress);
    std::printf("%zu translated, %zu unconfirmed, %zu untranslated, %zu obsolete\n", c.Translated, c.Unconfirmed,
                c.Untranslated, c.Obsolete);
}

void Stats(const Args& a) {
    TLangFileImage file = ReadLangFile(a.file);
    TLangFileImage native;
    if (!a.native.empty()) native = ReadNative(a.native);
    catalog::TStats s = catalog::Statistics(file, a.native.empty() ? nullptr : &native);
    std::printf("%-6s %-32s %7s %10s %9s %8s\n", "", "name", "items", "translated", "confirmed", "outdated");
    for (const auto& l : s.Lines)
        std::printf("%-6s %-32s %7zu %10zu %9zu %8zu\n", l.Section.c_str(), l.Name.c_str(), l.Total, l.Translated,
                    l.Confirmed, l.Outdated);
    std::printf("%-6s %-32s %7zu %10zu %9zu %8zu\n", "all", "", s.All.Total, s.All.Translated, s.All.Confirmed,
                s.All.Outdated);
    std::printf("%.1f%% translated\n", s.Percent());
    if (a.min >= 0 && s.Percent() < a.min) {
        std::fflush(stdout);
        throw InputError(a.file + ": " + std::to_string(s.Percent()).substr(0, 5) + "% translated, below the " +
                         std::to_string(a.min).substr(0, 5) + "% required");
    }
}

void Pseudo(const Args& a) {
    TLangFileImage native = ReadLangFile(a.file);
    uint16_t lang = a.lang.empty() ? catalog::PseudoLangId : ParseLang(a.lang);
    WriteLangFile(a.out, catalog::PseudoTranslation(native, lang, a.expand), a.compress);
}

// The controls' classes (restype) and size limits (maxwidth, font) of the program named by --app.
void AddProgram(const Args& a, const TLangFileImage& native, catalog::TXliffOptions& opt) {
    if (a.app.empty()) return;
    ReadFile(a.app);
    resources::TResProcessor program;
    std::vector<std::string> notes;
    try {
        program.LoadFromFile(a.app);
        catalog::AddXliffProgram(opt, program, a.app, native.Header.LangId, notes);
    } catch (const fw::Exception& e) {
        throw InputError(a.app + ": not a readable program: " + e.Message());
    }
    for (const auto& n : notes) std::fprintf(stderr, "vtploc: %s: %s\n", a.app.c_str(), n.c_str());
}

void Export(const Args& a) {
    if (a.poFormat == a.xliffFormat) throw UsageError("lng export: give one of --po and --xliff");
    if (!a.app.empty() && !a.xliffFormat)
        throw UsageError("lng export: --app is for --xliff (the controls' classes and sizes)");
#ifndef VTP_HAVE_GETTEXTPO
    if (a.poFormat)
        throw UsageError("lng export --po: not in this build (gettext's PO library is not available for it)");
#endif
    TLangFileImage file = ReadLangFile(a.file);
    std::string project = std::filesystem::path(a.file).filename().string();
    project = project.substr(0, project.find('.'));
    TLangFileImage native;
    const bool translation = !a.native.empty();
    if (translation) {
        native = ReadNative(a.native);
    } else if (!file.Header.IsNative) {
        throw InputError(a.file + ": a translation; name its native dictionary with --native");
    }
    const TLangFileImage& dictionary = translation ? native : file;
    const TLangFileImage* tr = translation ? &file : nullptr;
    std::vector<uint8_t> out;
    try {
        if (a.xliffFormat) {
            catalog::TXliffOptions opt;
            opt.Original = project;
            AddProgram(a, dictionary, opt);
            out = catalog::ExportXliff(dictionary, tr, opt);
        } else {
#ifdef VTP_HAVE_GETTEXTPO
            out = catalog::ExportPo(dictionary, tr, project);
#endif
        }
    } catch (const fw::Exception& e) {
        throw InputError(a.file + ": " + e.Message());
    }
    WriteOutput(a.out, out);
}

void Import(const Args& a) {
    if (a.po.empty() == a.xliff.empty()) throw UsageError("lng import: give one of --po and --xliff");
#ifndef VTP_HAVE_GETTEXTPO
    if (!a.po.empty())
        throw UsageError("lng import --po: not in this build (gettext's PO library is not available for it)");
#endif
    TLangFileImage native = ReadNative(a.native);
    catalog::TImportResult r;
    try {
        if (!a.xliff.empty()) {
            r = catalog::ImportXliff(a.xliff, native, ParseLang(a.lang));
        } else {
#ifdef VTP_HAVE_GETTEXTPO
            r = catalog::ImportPo(a.po, native, ParseLang(a.lang));
#endif
        }
    } catch (const fw::Exception& e) {
        throw InputError(e.Message());
    }
    for (const auto& s : r.Notes) std::fprintf(stderr, "vtploc: %s\n", s.c_str());
    for (const auto& s : r.Skipped) std::fprintf(stderr, "vtploc: %s\n", s.c_str());
    WriteLangFile(a.out, r.Image, a.compress);
    if (!a.xliff.empty())
        std::printf("%zu units, %zu translated (%zu not confirmed), %zu obsolete\n", r.Entries, r.Translated, r.Fuzzy,
                    r.Skipped.size());
    else
        std::printf("%zu entries, %zu translated (%zu not confirmed), %zu skipped\n", r.Entries, r.Translated, r.Fuzzy,
                    r.Skipped.size());
}

void Register(CLI::App& app) {
    CLI::App* lng = Group(app, "lng", "Language files: read, dump, build; extract, update, stats, PO, pseudo");
    auto a = std::make_shared<Args>();

    CLI::App* ex = lng->add_subcommand("extract", "The native dictionary of a built program, from its resources");
    ex->add_option("--app", a->app, "the program (.exe or .dll)")->required();
    ex->add_option("--names", a->names, "resource header naming the string ids (#define NAME ID)");
    ex->add_option("--unit", a->unit, "unit of the string-table entries (default: the header's name, or Strings)");
    ex->add_option("--lang", a->lang, "native language id or code (default: the program's settings record)");
    ex->add_option("--update", a->update, "the previous native dictionary: keep its ids and revisions");
    ex->add_option("-o,--output", a->out, "native dictionary to write (.ntv.lng)")->required();
    ex->add_flag("--compress", a->compress, "store it as an LZK block");
    ex->callback([a] { Extract(*a); });

    CLI::App* up = lng->add_subcommand("update", "Carry a translation over to a new native dictionary");
    up->add_option("--native", a->native, "the new native dictionary")->required();
    up->add_option("FILE", a->file, "the translation to carry over")->required();
    up->add_option("-o,--output", a->out, "translation to write")->required();
    up->add_flag("--compress", a->compress, "store it as an LZK block");
    up->callback([a] { Update(*a); });

    CLI::App* st = lng->add_subcommand("stats", "How much of a language file is translated");
    st->add_option("FILE", a->file, "language file")->required();
    st->add_option("--native", a->native, "count against this native dictionary");
    st->add_option("--min", a->min, "fail (exit status 1) below this share in percent")->check(CLI::Range(0.0, 100.0));
    st->callback([a] { Stats(*a); });

    CLI::App* ps = lng->add_subcommand("pseudo", "A pseudo-translation of a native dictionary");
    ps->add_option("NATIVE", a->file, "native dictionary")->required();
    ps->add_option("-o,--output", a->out, "pseudo language file to write")->required();
    ps->add_option("--lang", a->lang, "language id or code (default 0x0501, Windows' pseudo-locale)");
    ps->add_option("--expand", a->expand, "lengthen texts by this many percent (default 35)")
        ->check(CLI::Range(0, 400));
    ps->add_flag("--compress", a->compress, "store it as an LZK block");
    ps->callback([a] { Pseudo(*a); });

    CLI::App* exp = lng->add_subcommand("export", "A language file as a PO or XLIFF 1.2 file for translators");
    exp->add_flag("--po", a->poFormat, "PO format");
    exp->add_flag("--xliff", a->xliffFormat, "XLIFF 1.2 format (CAT tools)");
    exp->add_option("FILE", a->file, "translation, or a native dictionary")->required();
    exp->add_option("--native", a->native, "the native dictionary of a translation");
    exp->add_option("--app", a->app,
                    "XLIFF: the program, whose forms give each control's class (restype) and the room of fixed-width "
                    "controls (maxwidth, font)");
    exp->add_option("-o,--output", a->out, "file to write")->required();
    exp->callback([a] { Export(*a); });

    CLI::App* imp = lng->add_subcommand("import", "A PO or XLIFF 1.2 file back into a language file");
    imp->add_option("--po", a->po, "PO file");
    imp->add_option("--xliff", a->xliff, "XLIFF 1.2 file");
    imp->add_option("--native", a->native, "the native dictionary")->required();
    imp->add_option("--lang", a->lang, "language id or code (default: from the file)");
    imp->add_option("-o,--output", a->out, "translation to write")->required();
    imp->add_flag("--compress", a->compress, "store it as an LZK block");
    imp->callback([a] { Import(*a); });
#ifndef VTP_HAVE_GETTEXTPO
    lng->footer(
        "PO export and import are not in this build (gettext's PO library is not available for it); "
        "XLIFF is.");
#endif
}

CommandGroup registered(Register);

}  // namespace
}  // namespace vtploc

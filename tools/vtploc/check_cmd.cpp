// vtploc lng check: the translation's quality gate from the built program.
//   check --app APP.exe --lang APP.de.lng [--native APP.ntv.lng] [--json] [--fail-on error|warning|never]
//         [--html REPORT.html]
// One line per finding (JSON Lines with --json), counts at the end; exit status 1 when a finding
// at --fail-on or above exists, and on bad input (nothing written then).
#include <cstdio>
#include <memory>
#include <string>

#include "Command.h"
#include "LangInput.h"
#include "framework/Classes.h"
#include "framework/FormStream.h"
#include "localizer/catalog/Check.h"
#include "localizer/resources/ResProc.h"

namespace vtploc {
namespace {

struct Args {
    std::string app, lang, native, html, failOn = "error";
    bool json = false;
};

void Check(const Args& a) {
    ReadFile(a.app);  // a missing program is named as such
    resources::TResProcessor program;
    try {
        program.LoadFromFile(a.app);
    } catch (const fw::Exception& e) {
        throw InputError(a.app + ": not a readable program: " + e.Message());
    }
    langres::TLangFileImage translation = ReadLangFile(a.lang);
    if (translation.Header.IsNative) throw InputError(a.lang + ": a native dictionary, not a translation");
    langres::TLangFileImage native;
    if (!a.native.empty()) {
        native = ReadNative(a.native);
    } else {
        // The program's own texts, as extract reads them.
        catalog::TExtractOptions opt;
        try {
            native = catalog::ExtractNative(program, a.app, opt).Image;
        } catch (const catalog::ECatalogError&) {
            opt.LangId = 0x0409;
            std::fprintf(stderr,
                         "vtploc: %s: no settings record names the native language; its 8-bit texts are read as "
                         "English (give --native)\n",
                         a.app.c_str());
            try {
                native = catalog::ExtractNative(program, a.app, opt).Image;
            } catch (const fw::Exception& e) {
                throw InputError(e.Message());
            }
        } catch (const fw::Exception& e) {
            throw InputError(e.Message());
        }
    }
    catalog::TCheckResult r;
    try {
        r = catalog::CheckTranslation(program, native, translation);
    } catch (const fw::Exception& e) {
        throw InputError(a.app + ": " + e.Message());
    }
    if (!a.html.empty()) {
        std::string page = catalog::CheckReportHtml(a.app, r);
        WriteOutput(a.html, std::vector<uint8_t>(page.begin(), page.end()));
    }
    for (const auto& n : r.Notes) std::fprintf(stderr, "vtploc: %s: %s\n", a.app.c_str(), n.c_str());
    for (const auto& f : r.Findings)
        std::printf("%s\n", (a.json ? catalog::FindingJson(a.app, f) : catalog::FindingLine(a.app, f)).c_str());
    std::fprintf(a.json ? stderr : stdout, "%s\n", catalog::CheckSummary(r).c_str());
    std::fflush(stdout);
    bool fail = false;
    for (const auto& f : r.Findings)
        fail |= a.failOn == "warning" || (a.failOn == "error" && catalog::IsErrorLevel(f.Level));
    if (fail && a.failOn != "never")
        throw InputError(a.lang + ": the check found faults at the level of --fail-on " + a.failOn);
}

struct FontArgs {
    std::string name = "MS Sans Serif";
    int height = -11;
    bool bold = false, italic = false;
};

// Each line of standard input (UTF-8) measured in the font as the check measures it:
// "WIDTH HEIGHT FACE" per line.
void Measure(const FontArgs& a) {
    catalog::measure::TFontDesc f;
    f.Name = a.name;
    f.Height = a.height;
    f.Bold = a.bold;
    f.Italic = a.italic;
    catalog::measure::ITextMeasure& m = catalog::measure::SystemTextMeasure();
    if (!m.Available()) throw UsageError("this system has no fonts to measure with");
    std::string face = m.FaceName(f);
    char buf[4096];
    while (std::fgets(buf, sizeof buf, stdin)) {
        std::string line = buf;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        catalog::measure::TTextSize s = m.Extent(f, fw::Utf8ToUtf16(line));
        std::printf("%d %d %s\n", s.Width, s.Height, face.c_str());
    }
}

void Register(CLI::App& app) {
    CLI::App* lng = Group(app, "lng", "Language files: read, dump, build; extract, update, stats, PO, pseudo");
    auto a = std::make_shared<Args>();
    CLI::App* ck =
        lng->add_subcommand("check",
                            "Check a translation against the program: fit in each control's font, accelerators, format "
                            "specifiers, blanks, consistency");
    ck->add_option("--app", a->app, "the program (.exe or .dll)")->required();
    ck->add_option("--lang", a->lang, "the translation (.lng)")->required();
    ck->add_option("--native", a->native, "the native dictionary (default: the program's own texts)");
    ck->add_flag("--json", a->json, "one JSON object per finding (JSON Lines)");
    ck->add_option("--fail-on", a->failOn, "exit status 1 on findings at this level or above (default error)")
        ->check(CLI::IsMember({"error", "warning", "never"}));
    ck->add_option("--html", a->html, "write a report that draws the forms with the findings marked");
    ck->callback([a] { Check(*a); });

    CLI::App* font = Group(app, "font", "Text extents as the translation check measures them");
    auto fa = std::make_shared<FontArgs>();
    CLI::App* ms = font->add_subcommand("measure", "Width of each line of standard input in a font");
    ms->add_option("--name", fa->name, "font family (default MS Sans Serif)");
    ms->add_option("--height", fa->height, "pixels: negative the em height, positive the cell height (default -11)");
    ms->add_flag("--bold", fa->bold, "bold");
    ms->add_flag("--italic", fa->italic, "italic");
    ms->callback([fa] { Measure(*fa); });
}

CommandGroup registered(Register);

}  // namespace
}  // namespace vtploc

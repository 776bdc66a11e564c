// The translation check on a 50-form program with a 1,000-item translation (buttons, check
// boxes, labels, group boxes and status panels in Tahoma, Arial and MS Sans Serif, a menu bar),
// against extracting the same program's dictionary, in the same process. The aim: the whole
// check in under a second.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "BenchSummary.h"
#include "framework/Classes.h"
#include "localizer/catalog/Check.h"
#include "localizer/langres/SettingsRecord.h"
#include "localizer/resources/FormConvert.h"
#include "localizer/resources/ResProc.h"

namespace {

constexpr int kForms = 50;

std::string FormText(int n) {
    static const char* kFonts[] = {"Tahoma", "Arial", "MS Sans Serif"};
    std::string t = "object Form" + std::to_string(n) + ": TForm" + std::to_string(n) + "\r\n";
    t += "  Caption = 'Settings of module " + std::to_string(n) + "'\r\n  Font.Name = '" + kFonts[n % 3] +
         "'\r\n  Font.Height = -11\r\n  ClientWidth = 420\r\n  ClientHeight = 300\r\n  Menu = Menu1\r\n";
    for (int c = 0; c < 4; ++c) {
        std::string i = std::to_string(c);
        t += "  object Button" + i + ": TButton\r\n    Left = " + std::to_string(8 + 80 * c) +
             "\r\n    Top = 8\r\n    Caption = '&Apply item " + i + "'\r\n  end\r\n";
        t += "  object Check" + i + ": TCheckBox\r\n    Left = 8\r\n    Top = " + std::to_string(40 + 20 * c) +
             "\r\n    Width = 150\r\n    Caption = 'Remember setting " + i + "'\r\n  end\r\n";
        t += "  object Label" + i + ": TLabel\r\n    Left = 170\r\n    Top = " + std::to_string(40 + 20 * c) +
             "\r\n    Caption = 'Value of setting " + i + ":'\r\n  end\r\n";
    }
    t += "  object Group: TGroupBox\r\n    Left = 8\r\n    Top = 130\r\n    Width = 200\r\n    Caption = 'Options'\r\n";
    for (int c = 0; c < 4; ++c)
        t += "    object Radio" + std::to_string(c) +
             ": TRadioButton\r\n      Left = 8\r\n      Top = " + std::to_string(16 + 20 * c) +
             "\r\n      Caption = 'Choice number " + std::to_string(c) + "'\r\n    end\r\n";
    t += "  end\r\n  object Status: TStatusBar\r\n    Panels = <\r\n      item\r\n        Text = 'Ready'\r\n"
         "        Width = 80\r\n      end\r\n      item\r\n        Text = 'No changes'\r\n      end>\r\n  end\r\n";
    t += "  object Menu1: TMainMenu\r\n    object FileItem: TMenuItem\r\n      Caption = '&File'\r\n    end\r\n"
         "    object HelpItem: TMenuItem\r\n      Caption = '&Help'\r\n    end\r\n  end\r\nend\r\n";
    return t;
}

void SetData(resources::TResRCDataItem* item, const std::vector<uint8_t>& bytes) {
    fw::TMemoryStream m(bytes);
    item->LoadData(m);
}

struct TWorld {
    resources::TResProcessor program;
    catalog::TLangFileImage native, translation;
    TWorld() {
        auto r = std::make_unique<resources::TResRCData>();
        for (int n = 0; n < kForms; ++n) {
            std::string text = FormText(n);
            fw::TMemoryStream in(std::vector<uint8_t>(text.begin(), text.end())), out;
            resources::FormTextToResource(in, out, false, 0);
            SetData(r->Add("TFORM" + std::to_string(n)), out.Bytes());
        }
        langres::TSettingsRecord rec;
        rec.Signature = langres::SExeSignature;
        rec.LangId = 0x0409;
        rec.EnglishLangName = "English";
        rec.NativeLangName = u"English";
        SetData(r->Add(langres::SExeSettingsName), langres::WriteSettingsRecordData(rec));
        program.AddBlock(std::move(r));
        native = catalog::ExtractNative(program, "big.exe", {}).Image;
        translation = catalog::PseudoTranslation(native, catalog::PseudoLangId, 35);
    }
    static TWorld& Get() {
        static TWorld w;
        return w;
    }
};

void BM_Extract(benchmark::State& state) {
    TWorld& w = TWorld::Get();
    for (auto _ : state) benchmark::DoNotOptimize(catalog::ExtractNative(w.program, "big.exe", {}));
}
BENCHMARK(BM_Extract)->Unit(benchmark::kMillisecond);

void BM_Check(benchmark::State& state) {
    TWorld& w = TWorld::Get();
    size_t texts = 0, measured = 0, findings = 0;
    for (auto _ : state) {
        catalog::TCheckResult r = catalog::CheckTranslation(w.program, w.native, w.translation);
        texts = r.Texts, measured = r.Measured, findings = r.Findings.size();
    }
    state.counters["texts"] = static_cast<double>(texts);
    state.counters["measured"] = static_cast<double>(measured);
    state.counters["findings"] = static_cast<double>(findings);
}
BENCHMARK(BM_Check)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    using namespace benchsummary;
    return Main(argc, argv,
                {{"lng check (50 forms, 1,000 texts) vs lng extract of the program", "BM_Check", "BM_Extract",
                  kTimeRatio, kNone, 0}},
                [](const TReporter& r) {
                    char buf[160];
                    double t = r.Time("BM_Check");
                    std::snprintf(buf, sizeof buf, "%-62s %8.3f s         (aim <= 1.00)%s",
                                  "lng check (50 forms, 1,000 texts), seconds of CPU", t,
                                  t > 0 && t <= 1 ? "  met" : "  NOT MET");
                    Emit(buf);
                });
}

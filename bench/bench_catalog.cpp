// The translators' loop on a large program: 300 forms and 20,000 string-table entries. The
// tool itself runs "lng extract" and "lng export --po" on it; the time is reported as a ratio to
// "pe list" (reading the program's resources alone) of the same file, timed in the same
// iterations.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "framework/Classes.h"
#include "localizer/langres/SettingsRecord.h"
#include "localizer/resources/FormConvert.h"
#include "localizer/resources/ResProc.h"

namespace {

constexpr int kForms = 300;
constexpr int kStrings = 20000;

std::string FormText(int n) {
    std::string t = "object Form" + std::to_string(n) + ": TForm" + std::to_string(n) + "\r\n";
    t += "  Caption = 'Settings of module " + std::to_string(n) + "'\r\n  Font.Name = 'Tahoma'\r\n";
    for (int c = 0; c < 12; ++c) {
        t += "  object Button" + std::to_string(c) + ": TButton\r\n    Left = " + std::to_string(8 + c) + "\r\n";
        t += "    Caption = '&Apply item " + std::to_string(c) + "'\r\n";
        t += "    Hint = 'Applies every change made on this page'\r\n  end\r\n";
    }
    t += "  object List: TListBox\r\n    Items.Strings = (\r\n      'First'\r\n      'Second')\r\n  end\r\n";
    t += "end\r\n";
    return t;
}

void SetData(resources::TResRCDataItem* item, const std::vector<uint8_t>& bytes) {
    fw::TMemoryStream m(bytes);
    item->LoadData(m);
}

struct TProgramFile {
    std::filesystem::path dir;
    std::string app;
    TProgramFile() {
        dir = std::filesystem::temp_directory_path() / ("vtp_bench_catalog_" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
        app = (dir / "big.exe").string();
        resources::TResProcessor p;
        p.FixedTimeStamp = 0x5F5E1000u;
        auto s = std::make_unique<resources::TResString>();
        for (int i = 0; i < kStrings; ++i)
            s->AddString(i + 1, u"Message number " + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)) +
                                    u" of the program, with %s in it");
        p.AddBlock(std::move(s));
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
        p.AddBlock(std::move(r));
        fw::TMemoryStream m;
        p.SaveToStream(m);
        fw::WriteFileAtomically(app, m.Memory(), static_cast<size_t>(m.Size()));
    }
    ~TProgramFile() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

double Seconds(const std::string& cmd) {
    auto t0 = std::chrono::steady_clock::now();
    if (std::system((cmd + " >/dev/null").c_str()) != 0) return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

std::string Q(const std::string& s) {
    return "'" + s + "'";
}

void BM_ExtractAndExportVsPeList(benchmark::State& state) {
    static TProgramFile program;
    const std::string tool = Q(VTPLOC_EXE);
    const std::string ntv = (program.dir / "big.ntv.lng").string(), po = (program.dir / "big.pot").string();
    double pe = 0, loop = 0, extract = 0;
    for (auto _ : state) {
        double a = Seconds(tool + " pe list " + Q(program.app));
        double b = Seconds(tool + " lng extract --app " + Q(program.app) + " -o " + Q(ntv));
        double c = Seconds(tool + " lng export --po " + Q(ntv) + " -o " + Q(po));
        if (a < 0 || b < 0 || c < 0) {
            state.SkipWithError("vtploc failed");
            break;
        }
        pe += a;
        loop += b + c;
        extract += b;
        state.SetIterationTime(b + c);
    }
    state.counters["pe_list_ms"] = benchmark::Counter(1000 * pe / static_cast<double>(state.iterations()));
    state.counters["extract_ms"] = benchmark::Counter(1000 * extract / static_cast<double>(state.iterations()));
    state.counters["ratio_to_pe_list"] = pe > 0 ? loop / pe : 0;
    state.counters["forms"] = kForms;
    state.counters["strings"] = kStrings;
}
BENCHMARK(BM_ExtractAndExportVsPeList)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();

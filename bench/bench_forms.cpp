// Translating the form resources of a module: 500 generated forms of about 4 KiB each through
// TFormProcessor::ProcessForms, against a plain copy of the same bytes in the same run.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "BenchSummary.h"
#include "framework/Classes.h"
#include "framework/FormStream.h"
#include "localizer/langres/LangRes.h"
#include "localizer/resources/FormConvert.h"
#include "localizer/resources/PrjProcs.h"
#include "localizer/resources/ResProc.h"

namespace {

constexpr int kForms = 500;

std::string FormText(int n) {
    std::string t = "object Form" + std::to_string(n) + ": TForm" + std::to_string(n) + "\r\n";
    t += "  Left = 100\r\n  Top = 120\r\n  Caption = 'Settings of module " + std::to_string(n) + "'\r\n";
    t += "  Font.Charset = DEFAULT_CHARSET\r\n  Font.Name = 'Tahoma'\r\n  Font.Height = -11\r\n";
    for (int c = 0; t.size() < 3800; ++c) {
        std::string name = "Button" + std::to_string(c);
        t += "  object " + name + ": TButton\r\n";
        t += "    Left = " + std::to_string(8 + c * 3) + "\r\n    Top = " + std::to_string(16 + c * 24) + "\r\n";
        t += "    Width = 75\r\n    Height = 25\r\n";
        t += "    Caption = '&Apply the changes to item " + std::to_string(c) + "'\r\n";
        t += "    Hint = 'Applies every change made on this page and keeps the window open'\r\n";
        t += "    Anchors = [akLeft, akTop]\r\n    TabOrder = " + std::to_string(c) + "\r\n  end\r\n";
    }
    t += "end\r\n";
    return t;
}

struct TFixture {
    std::vector<std::vector<uint8_t>> forms;  // resource forms
    langres::TLangResource model;
    size_t bytes = 0;

    TFixture() {
        model.SetNativeLangId(0x0409);
        model.AddLanguage(0, 0x0419);
        uint32_t id = 0;
        for (int n = 0; n < kForms; ++n) {
            std::string text = FormText(n);
            fw::TMemoryStream in(std::vector<uint8_t>(text.begin(), text.end())), res;
            resources::FormTextToResource(in, res, false, 0);
            forms.push_back(res.Bytes());
            bytes += res.Bytes().size();
            // A third of the captions and hints translated, as in a typical language file.
            langres::TLResFormItem* f = model.Forms->Ensure("Form" + std::to_string(n));
            f->EnsureProperty(++id, nullptr, "Caption", langres::vkString)
                ->Values->Values(1)
                ->SetText(u"\u041D\u0430\u0441\u0442\u0440\u043E\u0439\u043A\u0438");
            for (int c = 0; c < 12; c += 3) {
                std::string comp = "Button" + std::to_string(c);
                f->EnsureProperty(++id, &comp, "Caption", langres::vkString)
                    ->Values->Values(1)
                    ->SetText(u"&\u041F\u0440\u0438\u043C\u0435\u043D\u0438\u0442\u044C");
                f->EnsureProperty(++id, &comp, "Hint", langres::vkString)
                    ->Values->Values(1)
                    ->SetText(u"\u041F\u0440\u0438\u043C\u0435\u043D\u044F\u0435\u0442 \u0432\u0441\u0435");
            }
        }
    }

    std::unique_ptr<resources::TResProcessor> Module() const {
        auto rp = std::make_unique<resources::TResProcessor>();
        auto* rc = static_cast<resources::TResRCData*>(rp->AddBlock(std::make_unique<resources::TResRCData>()));
        for (int n = 0; n < kForms; ++n) {
            fw::TMemoryStream s(forms[static_cast<size_t>(n)]);
            rc->Add("TFORM" + std::to_string(n))->LoadData(s);
        }
        return rp;
    }
};

TFixture& Fixture() {
    static TFixture f;
    return f;
}

void BM_ProcessForms(benchmark::State& state) {
    TFixture& fx = Fixture();
    resources::TFormProcessor proc;
    proc.LangResource = &fx.model;
    proc.LangIndex = 1;
    proc.LangId = 0x0419;
    for (int n = 0; n < kForms; ++n) proc.FormNames.push_back("Form" + std::to_string(n));
    for (auto _ : state) {
        state.PauseTiming();
        auto rp = fx.Module();
        state.ResumeTiming();
        proc.ProcessForms(*rp);
        benchmark::DoNotOptimize(rp.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(fx.bytes));
    state.counters["forms/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kForms, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ProcessForms)->Unit(benchmark::kMillisecond);

// The peer: the same bytes copied form by form into fresh buffers.
void BM_CopyForms(benchmark::State& state) {
    TFixture& fx = Fixture();
    for (auto _ : state) {
        std::vector<std::vector<uint8_t>> copies;
        copies.reserve(kForms);
        for (const auto& f : fx.forms) copies.emplace_back(f.begin(), f.end());
        benchmark::DoNotOptimize(copies.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(fx.bytes));
    state.counters["forms/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kForms, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CopyForms)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    using namespace benchsummary;
    return Main(
        argc, argv,
        {{"form resources translated vs a plain copy", "BM_ProcessForms", "BM_CopyForms", kRateRatio, kNone, 0}});
}

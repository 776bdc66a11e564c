// Writing a translated resource module (20,000 strings, 500 RCDATA items of 2 KiB) against a
// plain copy of the same number of bytes into the same kind of stream, in the same process.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <utility>
#include <memory>
#include <string>
#include <vector>

#include "framework/Classes.h"
#include "localizer/resources/ResProc.h"

using namespace resources;

namespace {

std::unique_ptr<TResProcessor> BuildProcessor() {
    auto p = std::make_unique<TResProcessor>();
    p->FixedTimeStamp = 1;
    auto s = std::make_unique<TResString>();
    for (int i = 0; i < 20000; ++i) {
        std::u16string text = u"Translated message number ";
        for (char c : std::to_string(i)) text += static_cast<char16_t>(c);
        text.append(static_cast<size_t>(i % 40), u'\u00E9');
        s->AddString(i * 3 % 65536, text);
    }
    p->AddBlock(std::move(s));
    auto r = std::make_unique<TResRCData>();
    std::vector<uint8_t> data(2048);
    for (int i = 0; i < 500; ++i) {
        for (size_t k = 0; k < data.size(); ++k) data[k] = static_cast<uint8_t>(k * 31 + i);
        char name[32];
        std::snprintf(name, sizeof name, "TFORM%03d", i);
        fw::TMemoryStream m(data);
        r->Add(name)->LoadData(m);
    }
    p->AddBlock(std::move(r));
    return p;
}

TResProcessor& Processor() {
    static std::unique_ptr<TResProcessor> p = BuildProcessor();
    return *p;
}

int64_t ModuleBytes() {
    static int64_t n = [] {
        fw::TMemoryStream m;
        Processor().SaveToStream(m);
        return m.Size();
    }();
    return n;
}

void BM_SaveResourceModule(benchmark::State& state) {
    TResProcessor& p = Processor();
    int64_t bytes = 0;
    for (auto _ : state) {
        fw::TMemoryStream m;
        p.SaveToStream(m);
        bytes = m.Size();
        benchmark::DoNotOptimize(m.Memory());
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["module_bytes"] = static_cast<double>(bytes);
}

void BM_PlainCopySameBytes(benchmark::State& state) {
    std::vector<uint8_t> src(static_cast<size_t>(ModuleBytes()));
    for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i);
    for (auto _ : state) {
        fw::TMemoryStream m;
        m.WriteBuffer(src.data(), static_cast<int64_t>(src.size()));
        benchmark::DoNotOptimize(m.Memory());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(src.size()));
}

BENCHMARK(BM_SaveResourceModule)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainCopySameBytes)->Unit(benchmark::kMillisecond);

// Prints the usual table and then the ratio of the two throughputs.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& r : runs) {
            if (r.run_type != Run::RT_Iteration) continue;  // not the mean/median/stddev rows
            auto it = r.counters.find("bytes_per_second");
            if (it == r.counters.end()) continue;
            auto& [sum, n] = rates[r.run_name.function_name];
            sum += it->second;
            ++n;
        }
    }
    std::map<std::string, std::pair<double, int>> rates;  // sum of rates, runs
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    double save = 0, copy = 0;
    for (const auto& [name, acc] : reporter.rates) {
        if (name == "BM_SaveResourceModule") save = acc.first / acc.second;
        if (name == "BM_PlainCopySameBytes") copy = acc.first / acc.second;
    }
    if (save > 0 && copy > 0)
        std::printf("module written: %.1f MB/s, plain copy: %.1f MB/s, ratio %.3f (module bytes: %lld)\n", save / 1e6,
                    copy / 1e6, save / copy, static_cast<long long>(ModuleBytes()));
    benchmark::Shutdown();
    return 0;
}

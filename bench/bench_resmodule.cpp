// Writing a translated resource module (20,000 strings, 500 RCDATA items of 2 KiB) against a
// plain copy of the same number of bytes into the same kind of stream, in the same process.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "BenchSummary.h"
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

// Each a tenth of a millisecond: the best of ten runs of each, so that a moment of the shared
// machine's load does not decide the ratio.
BENCHMARK(BM_SaveResourceModule)->Unit(benchmark::kMillisecond)->Repetitions(10);
BENCHMARK(BM_PlainCopySameBytes)->Unit(benchmark::kMillisecond)->Repetitions(10);

}  // namespace

int main(int argc, char** argv) {
    using namespace benchsummary;
    return Main(
        argc, argv,
        {{"module write vs a plain copy", "BM_SaveResourceModule", "BM_PlainCopySameBytes", kRateRatio, kAtLeast, 0.5}},
        [](const TReporter&) { std::printf("  (module bytes: %lld)\n", static_cast<long long>(ModuleBytes())); });
}

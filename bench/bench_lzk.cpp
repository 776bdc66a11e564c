// LZK against zlib level 1 on the same ~4 MB input: pseudo-English text mixed with
// language-file-like records (ids, lengths, UTF-16 strings).
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "BenchSummary.h"
#include "framework/Classes.h"
#include "localizer/kutils/kcompress.h"

namespace {

using Bytes = std::vector<uint8_t>;

const Bytes& Input() {
    static const Bytes data = [] {
        static const char* words[] = {"the",      "of",       "and",     "to",      "a",        "in",         "is",
                                      "file",     "language", "form",    "caption", "settings", "window",     "program",
                                      "system",   "start",    "check",   "failed",  "please",   "install",    "library",
                                      "version",  "folder",   "open",    "cancel",  "help",     "error",      "value",
                                      "resource", "string",   "user",    "select",  "Vantra",   "Pro",        "Windows",
                                      "registry", "options",  "cleaner", "startup", "memory",   "disk",       "network",
                                      "privacy",  "repair",   "backup",  "restore", "tweak",    "performance"};
        uint64_t s = 12345;
        auto next = [&] {
            s = s * 6364136223846793005ull + 1442695040888963407ull;
            return static_cast<uint32_t>(s >> 33);
        };
        Bytes out;
        out.reserve(4u << 20);
        uint32_t id = 1000;
        while (out.size() < (4u << 20)) {
            // A paragraph of text.
            int words_n = 20 + static_cast<int>(next() % 60);
            bool cap = true;
            for (int i = 0; i < words_n; ++i) {
                std::string w = words[next() % 48];
                if (cap) w[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(w[0])));
                cap = false;
                out.insert(out.end(), w.begin(), w.end());
                uint32_t r = next() % 16;
                if (r == 0) {
                    out.push_back('.');
                    cap = true;
                } else if (r == 1) {
                    out.push_back(',');
                }
                out.push_back(' ');
            }
            out.push_back('\r');
            out.push_back('\n');
            // A batch of records: id, kind, length, UTF-16 text.
            int recs = 5 + static_cast<int>(next() % 20);
            for (int i = 0; i < recs; ++i) {
                id += 1 + next() % 5;
                for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(id >> (8 * k)));
                out.push_back(static_cast<uint8_t>(next() % 6));
                std::string text;
                int n = 1 + static_cast<int>(next() % 5);
                for (int k = 0; k < n; ++k) {
                    if (k) text += ' ';
                    text += words[next() % 48];
                }
                out.push_back(static_cast<uint8_t>(text.size()));
                out.push_back(static_cast<uint8_t>(text.size() >> 8));
                for (char c : text) {
                    out.push_back(static_cast<uint8_t>(c));
                    out.push_back(0);
                }
            }
        }
        out.resize(4u << 20);
        return out;
    }();
    return data;
}

Bytes LzkBlock() {
    fw::TBytesStream src(Input().data(), static_cast<int64_t>(Input().size()));
    fw::TMemoryStream dst;
    kutils::CompressStream(src, dst);
    return dst.Bytes();
}

Bytes ZlibBlock() {
    uLongf len = compressBound(static_cast<uLong>(Input().size()));
    Bytes out(len);
    compress2(out.data(), &len, Input().data(), static_cast<uLong>(Input().size()), 1);
    out.resize(len);
    return out;
}

void BM_LzkCompress(benchmark::State& state) {
    const Bytes& in = Input();
    size_t outSize = 0;
    fw::TMemoryStream dst;  // reused, like zlib's output buffer: no page faults in the timing
    for (auto _ : state) {
        fw::TBytesStream src(in.data(), static_cast<int64_t>(in.size()));
        dst.SetPosition(0);
        kutils::CompressStream(src, dst);
        outSize = static_cast<size_t>(dst.Position());
        benchmark::DoNotOptimize(dst.Bytes().data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
    state.counters["ratio"] = static_cast<double>(outSize) / static_cast<double>(in.size());
}

void BM_LzkDecompress(benchmark::State& state) {
    const Bytes block = LzkBlock();
    const Bytes& in = Input();
    fw::TMemoryStream dst;
    for (auto _ : state) {
        fw::TBytesStream src(block.data(), static_cast<int64_t>(block.size()));
        dst.SetPosition(0);
        kutils::DecompressStream(src, dst);
        if (dst.Position() != static_cast<int64_t>(in.size())) state.SkipWithError("size mismatch");
        benchmark::DoNotOptimize(dst.Bytes().data());
    }
    if (kutils::LzkDecompress(block) != in) state.SkipWithError("round trip differs");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
    state.counters["ratio"] = static_cast<double>(block.size()) / static_cast<double>(in.size());
}

void BM_ZlibCompressLevel1(benchmark::State& state) {
    const Bytes& in = Input();
    Bytes out(compressBound(static_cast<uLong>(in.size())));
    uLongf len = 0;
    for (auto _ : state) {
        len = static_cast<uLongf>(out.size());
        compress2(out.data(), &len, in.data(), static_cast<uLong>(in.size()), 1);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
    state.counters["ratio"] = static_cast<double>(len) / static_cast<double>(in.size());
}

void BM_ZlibDecompress(benchmark::State& state) {
    const Bytes block = ZlibBlock();
    const Bytes& in = Input();
    Bytes out(in.size());
    for (auto _ : state) {
        uLongf len = static_cast<uLongf>(out.size());
        if (uncompress(out.data(), &len, block.data(), static_cast<uLong>(block.size())) != Z_OK || len != in.size())
            state.SkipWithError("zlib failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
    state.counters["ratio"] = static_cast<double>(block.size()) / static_cast<double>(in.size());
}

// The peer of decoding at its best: the output bytes copied into a buffer that is already there.
void BM_MemcpyOutput(benchmark::State& state) {
    const Bytes& in = Input();
    Bytes out(in.size());
    for (auto _ : state) {
        std::memcpy(out.data(), in.data(), in.size());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}

}  // namespace

BENCHMARK(BM_LzkCompress)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibCompressLevel1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LzkDecompress)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibDecompress)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpyOutput)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    using namespace benchsummary;
    return Main(
        argc, argv,
        {{"LZK decode vs zlib level 1 inflate, same input", "BM_LzkDecompress", "BM_ZlibDecompress", kRateRatio,
          kAtLeast, 1.5},
         {"LZK decode vs memcpy of the output", "BM_LzkDecompress", "BM_MemcpyOutput", kRateRatio, kAtLeast, 0.1},
         {"LZK encode vs zlib level 1 deflate", "BM_LzkCompress", "BM_ZlibCompressLevel1", kRateRatio, kAtLeast, 1.2}});
}

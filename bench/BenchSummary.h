// The summary every benchmark program ends with: one line per figure, the ratio of a benchmark
// against its peer measured in the same process, and the aim. Times are CPU time per iteration
// (the machine is shared; wall time would count the others' work), the best of the repetitions.
// The lines also go to the file named by VTP_BENCH_SUMMARY, so that `./run bench` can show them
// all together at the end.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace benchsummary {

enum TMetric {
    kTimeRatio,  // time of the benchmark over time of the peer: "N x slower"
    kRateRatio,  // throughput of the benchmark over throughput of the peer (the inverse)
};
enum TAim { kNone, kAtLeast, kAtMost };

struct TFigure {
    std::string Name;
    std::string Bench;  // "BM_Name" or "BM_Name/arg"
    std::string Peer;
    TMetric Metric = kRateRatio;
    TAim Aim = kNone;
    double Target = 0;
};

class TReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            if (r.run_type != Run::RT_Iteration || r.error_occurred || r.iterations <= 0) continue;
            std::string key = r.run_name.function_name;
            if (!r.run_name.args.empty()) key += "/" + r.run_name.args;
            double t = r.cpu_accumulated_time / static_cast<double>(r.iterations);
            auto it = best_.find(key);
            if (it == best_.end() || t < it->second) best_[key] = t;
        }
    }
    // Seconds of CPU per iteration, 0 when the benchmark did not run.
    double Time(const std::string& key) const {
        auto it = best_.find(key);
        return it == best_.end() ? 0 : it->second;
    }

private:
    std::map<std::string, double> best_;
};

inline void Emit(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    if (const char* file = std::getenv("VTP_BENCH_SUMMARY"); file && *file) {
        if (FILE* f = std::fopen(file, "a")) {
            std::fprintf(f, "%s\n", line.c_str());
            std::fclose(f);
        }
    }
}

inline std::string Line(const TFigure& fig, const TReporter& r) {
    double b = r.Time(fig.Bench), p = r.Time(fig.Peer);
    char buf[512];
    if (b <= 0 || p <= 0) {
        std::snprintf(buf, sizeof buf, "%-62s  not measured", fig.Name.c_str());
        return buf;
    }
    double ratio = fig.Metric == kTimeRatio ? b / p : p / b;
    const char* unit = fig.Metric == kTimeRatio ? "x the time" : "x the speed";
    std::string aim = "no aim";
    const char* mark = "";
    if (fig.Aim != kNone) {
        char a[64];
        std::snprintf(a, sizeof a, "aim %s %.2f", fig.Aim == kAtLeast ? ">=" : "<=", fig.Target);
        aim = a;
        bool met = fig.Aim == kAtLeast ? ratio >= fig.Target : ratio <= fig.Target;
        mark = met ? "  met" : "  NOT MET";
    }
    std::snprintf(buf, sizeof buf, "%-62s %8.3f %-11s (%s)%s", fig.Name.c_str(), ratio, unit, aim.c_str(), mark);
    return buf;
}

// Runs the benchmarks selected on the command line, then prints the summary lines of the figures
// whose two benchmarks ran, and whatever more lines `extra` emits.
inline int Main(int argc, char** argv, const std::vector<TFigure>& figures,
                const std::function<void(const TReporter&)>& extra = nullptr) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    TReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n");
    for (const TFigure& f : figures)
        if (reporter.Time(f.Bench) > 0 || reporter.Time(f.Peer) > 0) Emit(Line(f, reporter));
    if (extra) extra(reporter);
    benchmark::Shutdown();
    return 0;
}

}  // namespace benchsummary

// Core value figures: pushes onto a string array and appends to a DynString, each
// against its standard-library baseline in the same run, and number_to_text per call.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "runtime/core/dyn_array.h"
#include "runtime/core/dyn_string.h"

namespace {

constexpr int COUNT = 1000000;
const char* const PIECES[] = {"tile", "12", ",", "<data>", "x=", "3"};

// Pushes of one short string value: the array copies it into each new element.
void BM_DynArrayPushCopy(benchmark::State& state) {
    runtime::DynString value("tile 1234");
    for (auto _ : state) {
        runtime::DynArray<runtime::DynString> lines;
        runtime::dimension(lines, 0);
        for (int i = 0; i < COUNT; ++i) runtime::push(lines, value);
        benchmark::DoNotOptimize(lines.elements);
    }
    state.SetItemsProcessed(state.iterations() * COUNT);
}

void BM_VectorPushBackCopy(benchmark::State& state) {
    std::string value("tile 1234");
    for (auto _ : state) {
        std::vector<std::string> lines;
        for (int i = 0; i < COUNT; ++i) lines.push_back(value);
        benchmark::DoNotOptimize(lines.data());
    }
    state.SetItemsProcessed(state.iterations() * COUNT);
}

// Pushes of values that already exist (as a line reader hands them over): moved in.
void BM_DynArrayPushMove(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<runtime::DynString> values(COUNT);
        for (auto& v : values) v.assign_exact("tile 1234");
        runtime::DynArray<runtime::DynString> lines;
        runtime::dimension(lines, 0);
        state.ResumeTiming();
        for (auto& v : values) runtime::push(lines, std::move(v));
        benchmark::DoNotOptimize(lines.elements);
        state.PauseTiming();
        lines = runtime::DynArray<runtime::DynString>();
        values = {};
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * COUNT);
}

void BM_VectorPushBackMove(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<std::string> values(COUNT, std::string("tile 1234 with heap text"));
        std::vector<std::string> lines;
        state.ResumeTiming();
        for (auto& v : values) lines.push_back(std::move(v));
        benchmark::DoNotOptimize(lines.data());
        state.PauseTiming();
        lines = {};
        values = {};
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * COUNT);
}

void BM_DynStringAppend(benchmark::State& state) {
    for (auto _ : state) {
        runtime::DynString s;
        for (int i = 0; i < COUNT; ++i) s += PIECES[i % 6];
        benchmark::DoNotOptimize(s.buffer);
    }
    state.SetItemsProcessed(state.iterations() * COUNT);
}

void BM_StdStringAppend(benchmark::State& state) {
    for (auto _ : state) {
        std::string s;
        for (int i = 0; i < COUNT; ++i) s += PIECES[i % 6];
        benchmark::DoNotOptimize(s.data());
    }
    state.SetItemsProcessed(state.iterations() * COUNT);
}

// Values over many magnitudes, both signs, integers and fractions, both text forms.
std::vector<double> varied_doubles() {
    std::vector<double> values;
    values.reserve(COUNT);
    uint32_t x = 12345;
    for (int i = 0; i < COUNT; ++i) {
        x = x * 1664525u + 1013904223u;
        double mantissa = (x >> 8) / 16777216.0;
        int exponent = static_cast<int>(x % 19) - 6;  // 1e-6 ... 1e12
        double v = mantissa * std::pow(10.0, exponent);
        if (i % 7 == 0) v = std::floor(v);
        if (x & 0x10000) v = -v;
        values.push_back(v);
    }
    return values;
}

void BM_NumberToText(benchmark::State& state) {
    std::vector<double> values = varied_doubles();
    for (auto _ : state) {
        for (double v : values) {
            runtime::DynString s = runtime::number_to_text(v);
            benchmark::DoNotOptimize(s.buffer);
        }
    }
    state.SetItemsProcessed(state.iterations() * COUNT);
}

void BM_NumberToTextInto(benchmark::State& state) {
    std::vector<double> values = varied_doubles();
    char out[40];
    for (auto _ : state) {
        for (double v : values) {
            benchmark::DoNotOptimize(runtime::number_to_text_into(v, out));
        }
    }
    state.SetItemsProcessed(state.iterations() * COUNT);
}

// printf of ten significant digits: the C library's own cost for comparable text.
void BM_SnprintfTenDigits(benchmark::State& state) {
    std::vector<double> values = varied_doubles();
    char out[40];
    for (auto _ : state) {
        for (double v : values)
            benchmark::DoNotOptimize(std::snprintf(out, sizeof out, "%.10g", v));
    }
    state.SetItemsProcessed(state.iterations() * COUNT);
}

BENCHMARK(BM_DynArrayPushCopy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VectorPushBackCopy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DynArrayPushMove)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VectorPushBackMove)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DynStringAppend)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StdStringAppend)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NumberToText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NumberToTextInto)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SnprintfTenDigits)->Unit(benchmark::kMillisecond);

// Keeps each run's CPU time (steadier than wall time on a shared machine) so the
// ratios can be printed after the table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration)
                seconds[run.benchmark_name()] = run.GetAdjustedCPUTime() / 1e3;  // reported in ms
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> seconds;
};

void print_ratio(const RatioReporter& r, const char* name, const char* ours, const char* base,
                 double target) {
    auto a = r.seconds.find(ours);
    auto b = r.seconds.find(base);
    if (a == r.seconds.end() || b == r.seconds.end() || b->second <= 0) return;
    double ratio = a->second / b->second;
    std::printf("%-34s ratio %.2f (target <= %.0f) %s\n", name, ratio, target,
                ratio <= target ? "ok" : "OVER");
}

void print_per_call(const RatioReporter& r, const char* name, const char* run) {
    auto a = r.seconds.find(run);
    if (a == r.seconds.end()) return;
    std::printf("%-34s %.1f ns per call\n", name, a->second * 1e9 / COUNT);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n");
    print_ratio(reporter, "push copy vs vector push_back", "BM_DynArrayPushCopy",
                "BM_VectorPushBackCopy", 3);
    print_ratio(reporter, "push move vs vector push_back move", "BM_DynArrayPushMove",
                "BM_VectorPushBackMove", 3);
    print_ratio(reporter, "DynString += vs std::string +=", "BM_DynStringAppend",
                "BM_StdStringAppend", 2);
    print_per_call(reporter, "number_to_text (DynString)", "BM_NumberToText");
    print_per_call(reporter, "number_to_text_into (buffer)", "BM_NumberToTextInto");
    print_per_call(reporter, "snprintf %.10g (reference)", "BM_SnprintfTenDigits");
    benchmark::Shutdown();
    return 0;
}

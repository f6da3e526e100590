// read_line over a 100 MB file of 40-byte lines against std::getline on an
// std::ifstream in the same run; prints the time ratio (goal: at most 1.5).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "runtime/core/error_log.h"
#include "runtime/files/files.h"

namespace {

constexpr size_t FILE_BYTES = 100u * 1000u * 1000u;
constexpr size_t LINE_BYTES = 40;  // 38 characters and CR LF

std::string& bench_file() {
    static std::string path;
    return path;
}

void make_bench_file() {
    bench_file() = runtime::temp_folder() + "bench_files_lines.txt";
    std::FILE* f = std::fopen(bench_file().c_str(), "wb");
    if (!f) std::abort();
    std::string line;
    for (size_t written = 0, n = 0; written < FILE_BYTES; written += LINE_BYTES, ++n) {
        line = "line " + std::to_string(n);
        line.resize(LINE_BYTES - 2, '.');
        line += "\r\n";
        std::fwrite(line.data(), 1, line.size(), f);
    }
    std::fclose(f);
}

void BM_read_line(benchmark::State& state) {
    for (auto _ : state) {
        if (runtime::open_file_channel(0, bench_file().c_str(), 1) != 1) std::abort();
        runtime::DynString line;
        size_t lines = 0, bytes = 0;
        while (runtime::end_of_file(0) == 0) {
            runtime::read_line(0, line);
            bytes += static_cast<size_t>(line.length);
            ++lines;
        }
        runtime::close_file_channel(0);
        benchmark::DoNotOptimize(bytes);
        state.counters["lines"] = static_cast<double>(lines);
    }
    state.SetBytesProcessed(static_cast<int64_t>(static_cast<size_t>(state.iterations()) * FILE_BYTES));
}

void BM_std_getline(benchmark::State& state) {
    for (auto _ : state) {
        std::ifstream in(bench_file(), std::ios::binary);
        std::string line;
        size_t lines = 0, bytes = 0;
        while (std::getline(in, line)) {
            bytes += line.size();
            ++lines;
        }
        benchmark::DoNotOptimize(bytes);
        state.counters["lines"] = static_cast<double>(lines);
    }
    state.SetBytesProcessed(static_cast<int64_t>(static_cast<size_t>(state.iterations()) * FILE_BYTES));
}

BENCHMARK(BM_std_getline)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_read_line)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Keeps each benchmark's time per iteration while the console shows the usual table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            // The name carries its arguments ("BM_read_line/min_time:2.000"): keep the stem.
            std::string name = r.benchmark_name();
            name = name.substr(0, name.find('/'));
            real[name] = r.GetAdjustedRealTime();
            cpu[name] = r.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> real, cpu;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    make_bench_file();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::remove(bench_file().c_str());
    double ours = reporter.real["BM_read_line"], base = reporter.real["BM_std_getline"];
    double ours_cpu = reporter.cpu["BM_read_line"], base_cpu = reporter.cpu["BM_std_getline"];
    if (ours > 0 && base > 0 && base_cpu > 0)
        std::printf("read_line / std::getline ratio: %.2f real time, %.2f CPU time (goal: at most 1.5)\n",
                    ours / base, ours_cpu / base_cpu);
    benchmark::Shutdown();
    return 0;
}

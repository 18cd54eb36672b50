// The benchmarks' entry: runs every benchmark with Google Benchmark's console output, then
// prints each figure that has a budget beside that budget.
#include "bench_support.h"

#include <benchmark/benchmark.h>
#include <stdio.h>
#include <unistd.h>

namespace {

struct Figure {
    std::string name;
    double secondsPerIteration;
    benchmark::UserCounters counters;
};

class SummaryReporter : public benchmark::ConsoleReporter {
  public:
    explicit SummaryReporter(OutputOptions options) : ConsoleReporter(options) {}
    void ReportRuns(const std::vector<Run> &runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0)
                continue;
            figures.push_back(Figure{run.benchmark_name(),
                                     run.real_accumulated_time / (double)run.iterations,
                                     run.counters});
        }
    }
    std::vector<Figure> figures;
};

// The benchmark's name without the run settings that Google Benchmark appends.
std::string ShortName(std::string name) {
    for (const char *setting : {"/manual_time", "/iterations:"}) {
        size_t at = name.find(setting);
        if (at != std::string::npos) {
            size_t end = name.find('/', at + 1);
            name.erase(at, end == std::string::npos ? std::string::npos : end - at);
        }
    }
    return name;
}

bool ValueOf(const Figure &figure, const std::string &counter, double *value) {
    if (counter.empty()) {
        *value = figure.secondsPerIteration;
        return true;
    }
    auto it = figure.counters.find(counter);
    if (it == figure.counters.end())
        return false;
    *value = it->second.value;
    return true;
}

void PrintSummary(const std::vector<Figure> &figures) {
    printf("\n%-52s %18s %-8s %s\n", "Figure", "value", "verdict", "budget");
    for (const bench::Budget &budget : bench::Budgets()) {
        for (const Figure &figure : figures) {
            double value;
            if (bench::BudgetFor(figure.name, budget.counter) != &budget ||
                !ValueOf(figure, budget.counter, &value))
                continue;
            value *= budget.scale;
            bool within = budget.atLeast ? value >= budget.limit : value <= budget.limit;
            std::string label =
                ShortName(figure.name) + (budget.counter.empty() ? "" : " " + budget.counter);
            printf("%-52s %12.*f %-5s %-8s %s\n", label.c_str(), value < 0.1 ? 5 : 3, value,
                   budget.unit.c_str(), within ? "within" : "OVER", budget.text.c_str());
        }
    }
}

} // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    // Counters as columns; colours only on a terminal.
    int options = benchmark::ConsoleReporter::OO_Tabular;
    if (isatty(fileno(stdout)))
        options |= benchmark::ConsoleReporter::OO_Color;
    SummaryReporter reporter((benchmark::ConsoleReporter::OutputOptions)options);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintSummary(reporter.figures);
    benchmark::Shutdown();
    return 0;
}

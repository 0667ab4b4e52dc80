// Warm cost of what every measuring export does first: make the display
// context, select a font by face name at a size, read its text metrics and
// release both.
#include <benchmark/benchmark.h>

#include "frame/display_context.h"

namespace {

void selectAndMeasure(benchmark::State& state) {
    for (auto _ : state) {
        kd::DisplayContext dc;
        kd::platform::LogFont lf;
        kd::buildLogFont(dc.get(), lf, "DejaVu Sans", 10, 0, 0, 1252);
        kd::SelectedFont font(dc.get(), lf);
        kd::platform::TextMetrics tm;
        kd::platform::getTextMetrics(dc.get(), &tm);
        benchmark::DoNotOptimize(tm);
    }
}
BENCHMARK(selectAndMeasure)->Repetitions(5)->ReportAggregatesOnly(true);

// Baseline of the same run: the display context alone.
void displayContextOnly(benchmark::State& state) {
    for (auto _ : state) {
        kd::DisplayContext dc;
        benchmark::DoNotOptimize(dc.get());
    }
}
BENCHMARK(displayContextOnly)->Repetitions(5)->ReportAggregatesOnly(true);

void extentOfAWord(benchmark::State& state) {
    kd::DisplayContext dc;
    kd::platform::LogFont lf;
    kd::buildLogFont(dc.get(), lf, "DejaVu Sans", 100, 0, 0, 1252);
    kd::SelectedFont font(dc.get(), lf);
    for (auto _ : state) {
        kd::platform::Size size;
        kd::platform::getTextExtentA(dc.get(), "Measurement", 11, &size);
        benchmark::DoNotOptimize(size);
    }
}
BENCHMARK(extentOfAWord)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();

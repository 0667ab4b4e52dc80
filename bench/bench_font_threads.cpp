// Warm font selection from one and two host threads: a face name, weight and
// slant seen before, alone and inside getFParam request 1 and the width
// request. Reported per thread: calls per second, and the share of the time
// a thread spends holding the font catalogue's process-wide exclusive lock
// and its shared lock. This program links its own copy of the catalogue
// built with the lock probe (see CMakeLists.txt); the library has none.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>

#include "frame/display_context.h"
#include "frame/platform/lock_probe.h"
#include "kdlib.h"

namespace {

const char* const kFace = "DejaVu Sans";

template <class Call>
void measure(benchmark::State& state, Call&& call) {
    call();  // warm: the name is known before timing starts
    const kd::platform::LockHoldTimes before = kd::platform::lockHoldTimes();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) call();
    const double elapsedNs = double(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                        std::chrono::steady_clock::now() - start)
                                        .count());
    const kd::platform::LockHoldTimes& after = kd::platform::lockHoldTimes();
    using benchmark::Counter;
    // Google Benchmark sums the threads' iterations and their times for a
    // rate, which makes this the calls per second of one thread.
    state.counters["calls_per_s_per_thread"] = Counter(double(state.iterations()), Counter::kIsRate);
    state.counters["exclusive_lock_share"] =
        Counter(double(after.exclusiveNs - before.exclusiveNs) / elapsedNs, Counter::kAvgThreads);
    state.counters["shared_lock_share"] =
        Counter(double(after.sharedNs - before.sharedNs) / elapsedNs, Counter::kAvgThreads);
}

// Selection alone: a font made from a LOGFONT and deleted again.
void BM_WarmSelection(benchmark::State& state) {
    kd::DisplayContext dc;
    kd::platform::LogFont lf;
    kd::buildLogFont(dc.get(), lf, kFace, 10, 0, 0, 1252);
    measure(state, [&] {
        kd::platform::Font font = kd::platform::createFontIndirect(lf);
        benchmark::DoNotOptimize(font);
        kd::platform::deleteFont(font);
    });
}

void BM_WarmRequest1(benchmark::State& state) {
    int32_t record[5];
    measure(state, [&] {
        benchmark::DoNotOptimize(getFParam("", kFace, 10, 0, 0, 1, record, nullptr, 1252, nullptr, 0, nullptr));
    });
}

// Widths of every code: 224 glyph ink extents from the shared face.
void BM_WarmWidthRequest(benchmark::State& state) {
    int32_t record[256];
    measure(state, [&] {
        benchmark::DoNotOptimize(getFParam("", kFace, 10, 0, 0, 2, record, nullptr, 1252, nullptr, 0, nullptr));
    });
}

BENCHMARK(BM_WarmSelection)->Threads(1)->Threads(2)->UseRealTime();
BENCHMARK(BM_WarmRequest1)->Threads(1)->Threads(2)->UseRealTime();
BENCHMARK(BM_WarmWidthRequest)->Threads(1)->Threads(2)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

// The string builder's formatted numbers, which never consult the locale,
// against the C library's snprintf of the same format and values (the
// locale-dependent text the builder used to produce). Both append a
// content-stream line per call; compare the two rates of one run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "kdlib.h"

namespace {

const char kFormat[] = "%.2f %.2f m %.2f %.2f l S\n";
constexpr float kValues[] = {12.5f, 701.25f, 583.75f, 0.375f, 1e4f / 3, 99.995f};

void BM_FormatString4Float(benchmark::State& state) {
    intptr_t h = _zoFSO_setup(1 << 20);
    int i = 0;
    for (auto _ : state) {
        if (_zoFSO_GetLength(h) > (1 << 19)) _zoFSO_Assign(h, nullptr, 0);
        const float* v = kValues + (i++ & 1) * 2;
        benchmark::DoNotOptimize(_zoFSO_FormatString4Float(h, kFormat, v[0], v[1], v[2], v[3]));
    }
    _zoFSO_Deallocate(h);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatString4Float);

void BM_SnprintfBaseline(benchmark::State& state) {
    std::string out;
    int i = 0;
    for (auto _ : state) {
        if (out.size() > (1 << 19)) out.clear();
        const float* v = kValues + (i++ & 1) * 2;
        char area[400];
        const int n = std::snprintf(area, sizeof area, kFormat, double(v[0]), double(v[1]), double(v[2]), double(v[3]));
        out.append(area, static_cast<size_t>(n));
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SnprintfBaseline);

}  // namespace

BENCHMARK_MAIN();

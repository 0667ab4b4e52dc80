// writeSubsetForCodeMap on DejaVu Sans (the largest TrueType font installed
// here) for 100 and 1000 characters, from a file and from the platform's
// font data, next to HarfBuzz's hb-subset on the same font and characters.
// Each iteration does the whole job: read the font, collect, write the
// subset file. Compare the rows of one run:
//   ratio = hb-subset time / kdlib time  (above 1: kdlib is faster)
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "frame/display_context.h"
#include "truetype/truetype_font.h"

#ifdef KDLIB_HAVE_HB_SUBSET
#include "hb_subset_baseline.h"
#endif

namespace {

const char* kFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

std::string outPath() {
    std::string folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return folder + "/kdlib_bench_truetype_" + std::to_string(getpid()) + ".ttf";
}

// The first count characters the font maps, from U+0021 on.
std::vector<uint16_t> characters(size_t count) {
    std::vector<uint16_t> chars;
    FILE* f = std::fopen(kFont, "rb");
    if (!f) return chars;
    kd::TrueTypeFont font("DejaVu Sans", "");
    font.useFontFile(f);
    font.readTables();
    for (uint32_t u = 0x21; u <= 0xFFFF && chars.size() < count; ++u) {
        if (font.unicodeMap().find(u) > 0) chars.push_back(static_cast<uint16_t>(u));
    }
    std::fclose(f);
    return chars;
}

kd::CharCodeMap codeMapOf(const std::vector<uint16_t>& chars) {
    kd::CharCodeMap map;
    for (size_t i = 0; i < chars.size(); ++i) map.insertIfAbsent(chars[i], static_cast<uint16_t>(i));
    return map;
}

void BM_KdlibFile(benchmark::State& state) {
    auto chars = characters(static_cast<size_t>(state.range(0)));
    auto map = codeMapOf(chars);
    std::string out = outPath();
    std::vector<uint16_t> widths(514);
    int64_t bytes = 0;
    for (auto _ : state) {
        FILE* f = std::fopen(kFont, "rb");
        kd::TrueTypeFont font("DejaVu Sans", "");
        font.useFontFile(f);
        font.setCodeMapMode(true);
        font.readTables();
        bytes = font.writeSubsetForCodeMap(map, out.c_str(), widths.data());
        std::fclose(f);
    }
    state.counters["subset_bytes"] = static_cast<double>(bytes);
    std::remove(out.c_str());
}

void BM_KdlibPlatform(benchmark::State& state) {
    auto chars = characters(static_cast<size_t>(state.range(0)));
    auto map = codeMapOf(chars);
    std::string out = outPath();
    std::vector<uint16_t> widths(514);
    kd::DisplayContext dc;
    kd::platform::LogFont lf;
    kd::buildLogFont(dc.get(), lf, "DejaVu Sans", 10, 0, 0, 1252);
    kd::SelectedFont selected(dc.get(), lf);
    if (!selected) {
        state.SkipWithError("DejaVu Sans not selectable");
        return;
    }
    int64_t bytes = 0;
    for (auto _ : state) {
        kd::TrueTypeFont font("DejaVu Sans", "");
        font.useDeviceContext(dc.get());
        font.setCodeMapMode(true);
        font.readTables();
        bytes = font.writeSubsetForCodeMap(map, out.c_str(), widths.data());
    }
    state.counters["subset_bytes"] = static_cast<double>(bytes);
    std::remove(out.c_str());
}

#ifdef KDLIB_HAVE_HB_SUBSET
void BM_HbSubset(benchmark::State& state) {
    auto chars = characters(static_cast<size_t>(state.range(0)));
    std::string out = outPath();
    int64_t bytes = 0;
    for (auto _ : state) bytes = kdbench::hbSubsetFile(kFont, chars, out.c_str());
    state.counters["subset_bytes"] = static_cast<double>(bytes);
    std::remove(out.c_str());
}
BENCHMARK(BM_HbSubset)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
#endif

BENCHMARK(BM_KdlibFile)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KdlibPlatform)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

// Font services against their floor and their peer, in one run:
//   Request10      getFParam request 10 (subset + stream) for 200 distinct
//                  characters of DejaVu Sans, map prepared outside the timing
//   ZlibFloor      zlib compressing the same subset program in memory
//   HbSubsetZlib   HarfBuzz's hb-subset of the same characters (glyph ids
//                  kept, like ours) plus the same compression
//   WordWrap       ww on a 10,000-character paragraph (items = characters)
// Compare Request10 with ZlibFloor (goal: within 1.5x) and HbSubsetZlib
// (goal: faster).
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "fontsvc/font_stream.h"
#include "frame/handle_registry.h"
#include "kdlib.h"
#include "text/code_maps.h"

#ifdef KDLIB_HAVE_HB_SUBSET
#include "hb_subset_baseline.h"
#endif

namespace {

const char* kFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// 200 characters DejaVu Sans has: Latin, Latin-1, Greek and Cyrillic.
std::vector<char16_t> characters() {
    std::vector<char16_t> out;
    for (char16_t c = 0x21; c <= 0x7E && out.size() < 90; ++c) out.push_back(c);
    for (char16_t c = 0xC0; c <= 0xFF; ++c) out.push_back(c);
    for (char16_t c = 0x391; c <= 0x3A9; ++c)
        if (c != 0x3A2) out.push_back(c);
    for (char16_t c = 0x410; out.size() < 200; ++c) out.push_back(c);
    return out;
}

struct Fixture {
    int32_t map = 0;
    std::string stream = "/tmp/kdlib_bench_fontsvc.stream";
    std::string subset = "/tmp/kdlib_bench_fontsvc.ttf";
    std::vector<uint8_t> program;
    Fixture() {
        auto m = std::make_unique<kd::CharCodeMap>();
        uint16_t code = 0;
        for (char16_t c : characters()) m->insertIfAbsent(c, code++);
        map = kd::HandleRegistry::instance().add(std::move(m));
        int32_t record[1024];
        uint16_t widths[600];
        getFParam(stream.c_str(), "DejaVu Sans", 12, 0, 0, 10, record, nullptr, 1252, subset.c_str(), map, widths);
        std::ifstream in(subset, std::ios::binary);
        program.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void Request10(benchmark::State& state) {
    Fixture& f = fixture();
    int32_t record[1024];
    uint16_t widths[600];
    for (auto _ : state) {
        int32_t r = getFParam(f.stream.c_str(), "DejaVu Sans", 12, 0, 0, 10, record, nullptr, 1252, f.subset.c_str(),
                              f.map, widths);
        if (r <= 0) state.SkipWithError("request 10 failed");
        benchmark::DoNotOptimize(r);
    }
    state.counters["program_bytes"] = static_cast<double>(f.program.size());
}
BENCHMARK(Request10)->Unit(benchmark::kMicrosecond);

void ZlibFloor(benchmark::State& state) {
    Fixture& f = fixture();
    std::vector<uint8_t> out(compressBound(static_cast<uLong>(f.program.size())));
    for (auto _ : state) {
        uLongf n = static_cast<uLongf>(out.size());
        compress2(out.data(), &n, f.program.data(), static_cast<uLong>(f.program.size()), Z_DEFAULT_COMPRESSION);
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(ZlibFloor)->Unit(benchmark::kMicrosecond);

// The stream writer alone on the same program (file output included):
// what the fixed 2000-byte sync-flushed chunking costs over ZlibFloor.
void StreamWriterOnly(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        int32_t r = kd::writeFontStream(f.stream.c_str(), nullptr, static_cast<int32_t>(f.program.size()),
                                        [&f](uint32_t offset, uint8_t* buffer, uint32_t count) {
                                            std::copy_n(f.program.data() + offset, count, buffer);
                                        });
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(StreamWriterOnly)->Unit(benchmark::kMicrosecond);

#ifdef KDLIB_HAVE_HB_SUBSET
void HbSubsetZlib(benchmark::State& state) {
    hb_blob_t* blob = hb_blob_create_from_file(kFontPath);
    hb_face_t* face = hb_face_create(blob, 0);
    std::vector<char16_t> chars = characters();
    std::vector<uint8_t> out;
    for (auto _ : state) {
        kdbench::hbSubset(face, chars, [&out](const char* data, unsigned length) {
            out.resize(compressBound(length));
            uLongf n = static_cast<uLongf>(out.size());
            compress2(out.data(), &n, reinterpret_cast<const Bytef*>(data), length, Z_DEFAULT_COMPRESSION);
            benchmark::DoNotOptimize(n);
        });
    }
    hb_face_destroy(face);
    hb_blob_destroy(blob);
}
BENCHMARK(HbSubsetZlib)->Unit(benchmark::kMicrosecond);
#endif

void WordWrap(benchmark::State& state) {
    std::string text;
    const char* words[] = {"report", "engine", "writes", "a", "PDF", "field", "with", "wrapped", "lines", "of", "text"};
    for (size_t i = 0; text.size() < 10000; ++i) text += std::string(words[i % 11]) + " ";
    text.resize(10000);
    std::vector<int32_t> lines(3 + 3 * (text.size() + 1));
    for (auto _ : state) {
        int32_t n = ww(text.c_str(), "DejaVu Sans", 10, 0, 0, 3000, lines.data(), 1, 1252, 0);
        benchmark::DoNotOptimize(n);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(WordWrap)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

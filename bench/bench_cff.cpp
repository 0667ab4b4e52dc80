// OpenType subsets with PostScript (CFF) outlines: writeSubsetForCodeMap in
// glyph-number mode (what a host embedding a CID font asks for) on "Noto
// Sans CJK JP", the first member of the Noto Sans CJK collection, for 100
// and 1000 characters, next to HarfBuzz's hb-subset (glyph ids retained)
// on the same font and characters. Each iteration does the whole job: read
// the font, collect, write the program file. Besides the time, each row
// reports the program's size, its size compressed by zlib at the default
// level in one piece, and its size in a PDF font stream as getFParam
// writes it (2000-byte chunks). The summary at the end gives, per count,
//   time ratio = hb-subset time / kdlib time  (above 1: kdlib is faster)
//   size ratios = kdlib compressed / hb-subset compressed, one piece and
//                 as font streams
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "fontsvc/font_stream.h"
#include "truetype/truetype_font.h"

#ifdef KDLIB_HAVE_HB_SUBSET
#include "hb_subset_baseline.h"
#endif

namespace {

const char* kFont = "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc";
const char* kFace = "Noto Sans CJK JP";

struct Row {
    double microseconds = 0;
    size_t compressed = 0, stream = 0;
};
std::map<std::pair<std::string, int64_t>, Row> rows;

std::string outPath(const char* who) {
    std::string folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return folder + "/kdlib_bench_cff_" + who + "_" + std::to_string(getpid()) + ".otf";
}

std::vector<uint8_t> readAll(const std::string& path) {
    std::vector<uint8_t> data;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        uint8_t buffer[65536];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) data.insert(data.end(), buffer, buffer + n);
        std::fclose(f);
    }
    return data;
}

size_t compressedSize(const std::vector<uint8_t>& data) {
    uLongf size = compressBound(data.size());
    std::vector<Bytef> out(size);
    if (compress2(out.data(), &size, data.data(), data.size(), Z_DEFAULT_COMPRESSION) != Z_OK) return 0;
    return size;
}

// Ideographs in text order of frequency are not at hand; the first count
// the font maps from U+4E00 on, after the kana, stand in for a CJK text.
std::vector<uint16_t> characters(size_t count) {
    std::vector<uint16_t> chars;
    FILE* f = std::fopen(kFont, "rb");
    if (!f) return chars;
    kd::TrueTypeFont font(kFace, "");
    font.useFontFile(f);
    font.readTables();
    for (uint32_t u : {0x3041u, 0x4E00u}) {
        for (; u <= 0x9FFF && chars.size() < count && (u >= 0x4E00 || u < 0x3097); ++u) {
            if (font.unicodeMap().find(u) > 0) chars.push_back(static_cast<uint16_t>(u));
        }
    }
    std::fclose(f);
    return chars;
}

// The program in a font stream, as the font request writes it.
size_t streamSize(const std::string& program) {
    std::string stream = program + ".stream";
    FILE* f = std::fopen(program.c_str(), "rb");
    if (!f) return 0;
    std::fseek(f, 0, SEEK_END);
    long length = std::ftell(f);
    int32_t bytes = kd::writeFontStream(stream.c_str(), nullptr, static_cast<int32_t>(length),
                                        [f](uint32_t offset, uint8_t* buffer, uint32_t count) {
                                            std::fseek(f, static_cast<long>(offset), SEEK_SET);
                                            if (std::fread(buffer, 1, count, f) != count) return;
                                        });
    std::fclose(f);
    std::remove(stream.c_str());
    return bytes > 0 ? static_cast<size_t>(bytes) : 0;
}

void finish(benchmark::State& state, const char* who, const std::string& out, double totalMicroseconds) {
    std::vector<uint8_t> program = readAll(out);
    Row& row = rows[{who, state.range(0)}];
    row.microseconds = totalMicroseconds / static_cast<double>(state.iterations());
    row.compressed = compressedSize(program);
    row.stream = streamSize(out);
    state.counters["program_bytes"] = static_cast<double>(program.size());
    state.counters["compressed_bytes"] = static_cast<double>(row.compressed);
    state.counters["stream_bytes"] = static_cast<double>(row.stream);
    std::remove(out.c_str());
}

void BM_KdlibCff(benchmark::State& state) {
    auto chars = characters(static_cast<size_t>(state.range(0)));
    kd::CharCodeMap map;
    for (size_t i = 0; i < chars.size(); ++i) map.insertIfAbsent(chars[i], static_cast<uint16_t>(i));
    std::string out = outPath("kdlib");
    std::vector<uint16_t> widths(514);
    double total = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        FILE* f = std::fopen(kFont, "rb");
        kd::TrueTypeFont font(kFace, "");
        font.useFontFile(f);
        font.setCodeMapMode(true);
        font.setGlyphIdMode(true);
        font.readTables();
        int32_t bytes = font.writeSubsetForCodeMap(map, out.c_str(), widths.data());
        std::fclose(f);
        total += std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
        if (bytes <= 0) state.SkipWithError("no subset written");
    }
    finish(state, "kdlib", out, total);
}

#ifdef KDLIB_HAVE_HB_SUBSET
void BM_HbSubsetCff(benchmark::State& state) {
    auto chars = characters(static_cast<size_t>(state.range(0)));
    std::string out = outPath("hb");
    double total = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        kdbench::hbSubsetFile(kFont, chars, out.c_str());
        total += std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    }
    finish(state, "hb-subset", out, total);
}
BENCHMARK(BM_HbSubsetCff)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);
#endif

BENCHMARK(BM_KdlibCff)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (FILE* f = std::fopen(kFont, "rb")) {
        std::fclose(f);
    } else {
        std::cerr << kFont << " is missing (fonts-noto-cjk)\n";
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    for (int64_t count : {100, 1000}) {
        auto kd = rows.find({"kdlib", count}), hb = rows.find({"hb-subset", count});
        if (kd == rows.end() || hb == rows.end() || kd->second.microseconds <= 0 || hb->second.compressed == 0) continue;
        std::printf(
                     "%4lld characters: time ratio (hb-subset / kdlib) %.2f; size ratio (kdlib / hb-subset) "
                     "compressed %.2f, as font streams %.2f\n",
                     static_cast<long long>(count), hb->second.microseconds / kd->second.microseconds,
                     static_cast<double>(kd->second.compressed) / static_cast<double>(hb->second.compressed),
                     static_cast<double>(kd->second.stream) / static_cast<double>(hb->second.stream));
    }
    return 0;
}

// dobmp on 4000 x 3000 pictures against their floors, measured in the same
// run: zlib deflating the same samples at the same level (BMP: default
// level; RGBA PNG: level 9) in one piece, and, for the RGBA PNG, also in
// the image sink's pieces of 3000 bytes each ended by a synchronous flush
// (what the output format asks for, so the part of the time that is not
// the decoder's own); a plain file copy for the PNG that passes through. Each dobmp benchmark also reports the peak resident memory of a
// child process that runs it once (peak_rss_kb) next to that of a child
// that does nothing (idle_rss_kb).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "kdlib.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

struct Pictures {
    std::string dir, bmp, rgba, rgb, out, mask;
    std::vector<uint8_t> rgbSamples;  // what dobmp deflates, top row first

    Pictures() {
        char pattern[] = "/tmp/kdlib-bench-image-XXXXXX";
        dir = mkdtemp(pattern);
        bmp = dir + "/a.bmp", rgba = dir + "/a_rgba.png", rgb = dir + "/a_rgb.png";
        out = dir + "/out.bin", mask = dir + "/mask.bin";
        // A photograph-like picture: smooth gradients with a little noise.
        std::vector<uint8_t> pixels(size_t(kWidth) * kHeight * 4);
        uint32_t seed = 12345;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                seed = seed * 1103515245u + 12345u;
                uint8_t n = uint8_t((seed >> 16) & 7);
                uint8_t* p = &pixels[(size_t(y) * kWidth + x) * 4];
                p[0] = uint8_t(x / 16 + n), p[1] = uint8_t(y / 12 + n), p[2] = uint8_t((x + y) / 28 + n);
                p[3] = uint8_t(x < 2000 ? 255 : 128 + (y & 63));
            }
        rgbSamples.resize(size_t(kWidth) * kHeight * 3);
        for (size_t i = 0, j = 0; i < pixels.size(); i += 4, j += 3)
            rgbSamples[j] = pixels[i], rgbSamples[j + 1] = pixels[i + 1], rgbSamples[j + 2] = pixels[i + 2];
        writeBmp(pixels);
        writePng(pixels, rgba, true);
        writePng(pixels, rgb, false);
    }
    ~Pictures() {
        if (getenv("KDLIB_BENCH_KEEP")) return;  // for looking at the pictures
        for (const std::string& f : {bmp, rgba, rgb, out, mask}) std::remove(f.c_str());
        rmdir(dir.c_str());
    }

    void writeBmp(const std::vector<uint8_t>& px) {
        FILE* f = fopen(bmp.c_str(), "wb");
        const uint32_t stride = kWidth * 3, size = 54 + stride * kHeight;
        uint8_t h[54] = {'B', 'M'};
        auto put32 = [&](int at, uint32_t v) {
            for (int i = 0; i < 4; ++i) h[at + i] = uint8_t(v >> (8 * i));
        };
        put32(2, size), put32(10, 54), put32(14, 40), put32(18, kWidth), put32(22, kHeight);
        h[26] = 1, h[28] = 24;
        fwrite(h, 1, 54, f);
        std::vector<uint8_t> row(stride);
        for (int y = kHeight - 1; y >= 0; --y) {
            for (int x = 0; x < kWidth; ++x) {
                const uint8_t* p = &px[(size_t(y) * kWidth + x) * 4];
                row[3 * x] = p[2], row[3 * x + 1] = p[1], row[3 * x + 2] = p[0];
            }
            fwrite(row.data(), 1, stride, f);
        }
        fclose(f);
    }

    static void chunk(FILE* f, const char* type, const uint8_t* data, uint32_t n) {
        uint8_t len[4] = {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)};
        fwrite(len, 1, 4, f);
        fwrite(type, 1, 4, f);
        if (n) fwrite(data, 1, n, f);
        uLong crc = crc32(crc32(0, reinterpret_cast<const Bytef*>(type), 4), data, n);
        uint8_t c[4] = {uint8_t(crc >> 24), uint8_t(crc >> 16), uint8_t(crc >> 8), uint8_t(crc)};
        fwrite(c, 1, 4, f);
    }

    void writePng(const std::vector<uint8_t>& px, const std::string& path, bool alpha) {
        const int channels = alpha ? 4 : 3;
        std::vector<uint8_t> raw;
        raw.reserve(size_t(kHeight) * (kWidth * channels + 1));
        for (int y = 0; y < kHeight; ++y) {
            raw.push_back(1);  // Sub
            for (int x = 0; x < kWidth; ++x)
                for (int c = 0; c < channels; ++c) {
                    uint8_t v = px[(size_t(y) * kWidth + x) * 4 + c];
                    uint8_t left = x ? px[(size_t(y) * kWidth + x - 1) * 4 + c] : 0;
                    raw.push_back(uint8_t(v - left));
                }
        }
        uLongf packedSize = compressBound(uLong(raw.size()));
        std::vector<uint8_t> packed(packedSize);
        compress2(packed.data(), &packedSize, raw.data(), uLong(raw.size()), 6);
        FILE* f = fopen(path.c_str(), "wb");
        fwrite("\x89PNG\r\n\x1a\n", 1, 8, f);
        uint8_t ihdr[13] = {0, 0, uint8_t(kWidth >> 8), uint8_t(kWidth), 0, 0, uint8_t(kHeight >> 8), uint8_t(kHeight),
                            8, uint8_t(alpha ? 6 : 2), 0, 0, 0};
        chunk(f, "IHDR", ihdr, 13);
        for (uLongf at = 0; at < packedSize; at += 65536)
            chunk(f, "IDAT", packed.data() + at, uint32_t(std::min<uLongf>(65536, packedSize - at)));
        chunk(f, "IEND", nullptr, 0);
        fclose(f);
    }
};

Pictures& pictures() {
    static Pictures p;
    return p;
}

int runDobmp(const std::string& image) {
    Pictures& p = pictures();
    int16_t w, h;
    int32_t smask = 0, side = 0;
    return dobmp(image.c_str(), p.out.c_str(), 10, &w, &h, 0, 0, "", "", &side, p.mask.c_str(), &smask, 17, "SMask",
                 1);
}

// Peak resident set (kB) of a child that runs `work` once.
template <class Work>
long childPeakKb(Work&& work) {
    pid_t pid = fork();
    if (pid == 0) {
        work();
        _exit(0);
    }
    int status;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    return usage.ru_maxrss;
}

void reportMemory(benchmark::State& state, const std::string& image) {
    state.counters["peak_rss_kb"] = double(childPeakKb([&] { runDobmp(image); }));
    state.counters["idle_rss_kb"] = double(childPeakKb([] {}));
}

void BM_DobmpBmp24(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(runDobmp(pictures().bmp));
    reportMemory(state, pictures().bmp);
}

void BM_DobmpPngRgba(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(runDobmp(pictures().rgba));
    reportMemory(state, pictures().rgba);
}

void BM_DobmpPngRgbPassThrough(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(runDobmp(pictures().rgb));
    reportMemory(state, pictures().rgb);
}

// The floor: the samples must be compressed once, at the same level; in one
// piece (piece 0) or in the sink's flushed pieces.
void deflateSamples(benchmark::State& state, int level, size_t piece = 0) {
    const std::vector<uint8_t>& in = pictures().rgbSamples;
    if (piece == 0) piece = in.size();
    std::vector<uint8_t> out(65536);
    for (auto _ : state) {
        z_stream z{};
        deflateInit(&z, level);
        size_t total = 0;
        for (size_t at = 0; at < in.size(); at += piece) {
            const bool last = in.size() - at <= piece;
            z.next_in = const_cast<Bytef*>(in.data() + at);
            z.avail_in = uInt(last ? in.size() - at : piece);
            const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
            int status;
            do {
                z.next_out = out.data();
                z.avail_out = uInt(out.size());
                status = deflate(&z, flush);
                total += out.size() - z.avail_out;
            } while (z.avail_out == 0 || (last && status == Z_OK));
        }
        deflateEnd(&z);
        benchmark::DoNotOptimize(total);
    }
}

void BM_ZlibFloorDefaultLevel(benchmark::State& state) { deflateSamples(state, Z_DEFAULT_COMPRESSION); }
void BM_ZlibFloorLevel9(benchmark::State& state) { deflateSamples(state, 9); }
void BM_ZlibSinkPiecesLevel9(benchmark::State& state) { deflateSamples(state, 9, 3000); }

void BM_FileCopyRgbPng(benchmark::State& state) {
    std::vector<uint8_t> buf(65536);
    for (auto _ : state) {
        FILE* in = fopen(pictures().rgb.c_str(), "rb");
        FILE* out = fopen(pictures().out.c_str(), "wb");
        size_t n;
        while ((n = fread(buf.data(), 1, buf.size(), in)) > 0) fwrite(buf.data(), 1, n, out);
        fclose(in);
        fclose(out);
    }
}

BENCHMARK(BM_DobmpBmp24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibFloorDefaultLevel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DobmpPngRgba)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibFloorLevel9)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibSinkPiecesLevel9)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DobmpPngRgbPassThrough)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FileCopyRgbPng)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    pictures();  // made before any timing starts
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

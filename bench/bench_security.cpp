// Throughput of the security primitives and file codecs against named
// baselines on the same 64 MB, in one run:
//   MD5String          vs OpenSSL MD5
//   encryptPDFContent  vs OpenSSL RC4 (or a plain byte-loop RC4 without it)
//   zipFile            vs zlib compress2 at the default level (in memory)
//   base64             vs a plain in-memory encoder
// The closing lines print each ratio (baseline CPU time / kdlib CPU time:
// above 1 means kdlib is faster). CPU time, because the machine is shared
// and wall time swings with the load; zipFile's file I/O is system time of
// this process and so is counted.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "kdlib.h"

#if defined(KDLIB_HAVE_OPENSSL)
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/evp.h>
#include <openssl/rc4.h>
#endif

namespace {

constexpr size_t kSize = 64u << 20;

// Content-stream-like text mixed with binary runs: compressible, but not
// trivially.
const std::vector<uint8_t>& data() {
    static const std::vector<uint8_t> bytes = [] {
        std::vector<uint8_t> v;
        v.reserve(kSize);
        std::mt19937 gen(12345);
        auto rng = [&gen] { return static_cast<unsigned>(gen()); };
        char line[64];
        while (v.size() < kSize) {
            if (rng() % 4 != 0) {
                const int n = std::snprintf(line, sizeof line, "%u.%02u %u.%02u l S\n", rng() % 600, rng() % 100,
                                            rng() % 800, rng() % 100);
                v.insert(v.end(), line, line + n);
            } else {
                for (int k = 0; k < 24; ++k) v.push_back(static_cast<uint8_t>(rng()));
            }
        }
        v.resize(kSize);
        return v;
    }();
    return bytes;
}

std::string tempPath(const char* name) {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir ? dir : "/tmp") + "/kdlib_bench_" + std::to_string(getpid()) + "_" + name;
}

const std::string& inputFile() {
    static const std::string path = [] {
        const std::string p = tempPath("input");
        std::FILE* f = std::fopen(p.c_str(), "wb");
        std::fwrite(data().data(), 1, data().size(), f);
        std::fclose(f);
        return p;
    }();
    return path;
}

void BM_Md5_kdlib(benchmark::State& state) {
    uint8_t digest[16];
    for (auto _ : state) {
        MD5String(data().data(), static_cast<uint32_t>(data().size()), digest);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}

#if defined(KDLIB_HAVE_OPENSSL)
void BM_Md5_baseline(benchmark::State& state) {
    unsigned char digest[16];
    unsigned int len = 0;
    for (auto _ : state) {
        EVP_Digest(data().data(), data().size(), digest, &len, EVP_md5(), nullptr);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
    state.SetLabel("OpenSSL MD5");
}
#endif

void BM_Rc4_kdlib(benchmark::State& state) {
    std::vector<uint8_t> buffer = data();
    const uint8_t key[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    for (auto _ : state) {
        encryptPDFContent(buffer.data(), static_cast<int32_t>(buffer.size()), 7, 0, key, 0, 3, 16);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}

void BM_Rc4_baseline(benchmark::State& state) {
    std::vector<uint8_t> buffer = data();
    const uint8_t key[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
#if defined(KDLIB_HAVE_OPENSSL)
    state.SetLabel("OpenSSL RC4");
    for (auto _ : state) {
        RC4_KEY rc4;
        RC4_set_key(&rc4, 16, key);
        RC4(&rc4, buffer.size(), buffer.data(), buffer.data());
        benchmark::ClobberMemory();
    }
#else
    state.SetLabel("byte-loop RC4");
    for (auto _ : state) {
        uint8_t s[256];
        for (int k = 0; k < 256; ++k) s[k] = static_cast<uint8_t>(k);
        for (int k = 0, j = 0; k < 256; ++k) {
            j = (j + s[k] + key[k % 16]) & 255;
            std::swap(s[k], s[j]);
        }
        int i = 0, j = 0;
        for (auto& b : buffer) {
            i = (i + 1) & 255;
            j = (j + s[i]) & 255;
            std::swap(s[i], s[j]);
            b ^= s[(s[i] + s[j]) & 255];
        }
        benchmark::ClobberMemory();
    }
#endif
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}

void BM_Zip_kdlib(benchmark::State& state) {
    const std::string out = tempPath("zip");
    int32_t length = 0;
    inputFile();
    for (auto _ : state) {
        if (zipFile(inputFile().c_str(), out.c_str(), "FlateDecode", &length) != 1) state.SkipWithError("zipFile");
    }
    state.counters["ratio%"] = 100.0 * length / static_cast<double>(kSize);
    std::remove(out.c_str());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}

void BM_Zip_baseline(benchmark::State& state) {
    std::vector<Bytef> packed(compressBound(kSize));
    uLongf size = 0;
    for (auto _ : state) {
        size = static_cast<uLongf>(packed.size());
        compress2(packed.data(), &size, data().data(), kSize, Z_DEFAULT_COMPRESSION);
        benchmark::DoNotOptimize(packed.data());
    }
    state.counters["ratio%"] = 100.0 * size / static_cast<double>(kSize);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
    state.SetLabel("compress2 in memory");
}

// The same zlib calls zipFile makes (a sync flush after every 4096 bytes),
// in memory: the floor that the per-block flush itself sets.
void BM_Zip_syncFlushFloor(benchmark::State& state) {
    std::vector<Bytef> out(4096);
    size_t total = 0;
    for (auto _ : state) {
        z_stream zs{};
        deflateInit(&zs, Z_DEFAULT_COMPRESSION);
        total = 0;
        for (size_t p = 0; p < kSize; p += 4096) {
            zs.next_in = const_cast<Bytef*>(data().data() + p);
            zs.avail_in = static_cast<uInt>(std::min<size_t>(4096, kSize - p));
            const int flush = p + 4096 >= kSize ? Z_FINISH : Z_SYNC_FLUSH;
            do {
                zs.next_out = out.data();
                zs.avail_out = 4096;
                deflate(&zs, flush);
                total += 4096 - zs.avail_out;
            } while (zs.avail_out == 0);
        }
        deflateEnd(&zs);
    }
    state.counters["ratio%"] = 100.0 * static_cast<double>(total) / static_cast<double>(kSize);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
    state.SetLabel("4096-byte sync flushes in memory");
}

void BM_Base64_kdlib(benchmark::State& state) {
    const std::string out = tempPath("b64");
    inputFile();
    for (auto _ : state) base64(inputFile().c_str(), out.c_str());
    std::remove(out.c_str());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}

void BM_Base64_baseline(benchmark::State& state) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (auto _ : state) {
        out.clear();
        out.reserve(kSize / 3 * 4 + kSize / 54 * 2 + 8);
        const uint8_t* p = data().data();
        int line = 0;
        for (size_t k = 0; k + 2 < kSize; k += 3) {
            const uint32_t v = static_cast<uint32_t>(p[k]) << 16 | static_cast<uint32_t>(p[k + 1]) << 8 | p[k + 2];
            if (line == 72) {
                out += "\r\n";
                line = 0;
            }
            out += kAlphabet[v >> 18];
            out += kAlphabet[(v >> 12) & 63];
            out += kAlphabet[(v >> 6) & 63];
            out += kAlphabet[v & 63];
            line += 4;
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
    state.SetLabel("plain in-memory encoder");
}

// Keeps each benchmark's time per iteration for the closing ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) times_[run.benchmark_name()] = run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void printRatios() const {
        std::printf("\nratios (baseline time / kdlib time; goal in brackets):\n");
        for (const auto& [name, goal] : std::vector<std::pair<std::string, std::string>>{
                 {"Md5", ">= 0.90"}, {"Rc4", ">= 0.80"}, {"Zip", ">= 0.87 (time within 1.15x)"}, {"Base64", "-"}}) {
            const double ours = find("BM_" + name + "_kdlib");
            const double base = find("BM_" + name + "_baseline");
            if (ours > 0 && base > 0) std::printf("  %-7s %.2f  [%s]\n", name.c_str(), base / ours, goal.c_str());
        }
        const double floor = find("BM_Zip_syncFlushFloor");
        const double zip = find("BM_Zip_kdlib");
        if (floor > 0 && zip > 0)
            std::printf("  zipFile / same zlib calls in memory: %.2f (cost of the files)\n", zip / floor);
    }

private:
    double find(const std::string& prefix) const {
        for (const auto& [name, t] : times_)
            if (name.rfind(prefix, 0) == 0) return t;
        return 0;
    }
    std::map<std::string, double> times_;
};

}  // namespace

BENCHMARK(BM_Md5_kdlib)->Unit(benchmark::kMillisecond)->MinTime(1.0);
#if defined(KDLIB_HAVE_OPENSSL)
BENCHMARK(BM_Md5_baseline)->Unit(benchmark::kMillisecond)->MinTime(1.0);
#endif
BENCHMARK(BM_Rc4_kdlib)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Rc4_baseline)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Zip_kdlib)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Zip_baseline)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Zip_syncFlushFloor)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Base64_kdlib)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Base64_baseline)->Unit(benchmark::kMillisecond)->MinTime(1.0);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    // Made before any timing starts.
    data();
    inputFile();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    std::remove(inputFile().c_str());
    benchmark::Shutdown();
    return 0;
}

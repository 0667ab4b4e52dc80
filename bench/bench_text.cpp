// Throughput of the text exports against memcpy of the same bytes, the
// physical floor. Each benchmark reports bytes/s; the ratio to the memcpy
// figure of the same run is what the goals are stated in.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "kdlib.h"

namespace {

constexpr size_t kTotal = 1 << 20;  // 1 MB per iteration
constexpr size_t kChunk = 100;      // host calls of 100 bytes

std::string latinText() {
    const std::string words[] = {"The ", "quick ", "brown ", "fox, ", "jumps ", "over ", "lazy ", "dogs. ", "Zoë ", "42 "};
    std::mt19937 rng(1);
    std::string s;
    while (s.size() < kTotal) s += words[rng() % 10];
    s.resize(kTotal);
    return s;
}

// Code page 1256 words (display order does not matter for the cost).
std::string arabicText() {
    const std::string words[] = {"\xC7\xE1\xD3\xE1\xC7\xE3 ", "\xDA\xE1\xED\xDF\xE3 ", "\xC8\xED\xCA ", "\xE3\xCF\xED\xE4\xC9 ",
                                 "\xDF\xCA\xC7\xC8 ", "\xE1\xC7 ", "2024 "};
    std::mt19937 rng(2);
    std::string s;
    while (s.size() < kTotal) s += words[rng() % 7];
    s.resize(kTotal);
    return s;
}

std::string hebrewText() {
    const std::string words[] = {"\xF9\xEC\xE5\xED ", "\xF2\xE5\xEC\xED ", "(\xE1\xE9\xFA) ", "123.45 ", "\xF1\xF4\xF8 ",
                                 "\xEE\xF1\xF4\xF8 7, ", "abc "};
    std::mt19937 rng(3);
    std::string s;
    while (s.size() < kTotal) s += words[rng() % 7];
    s.resize(kTotal);
    return s;
}

void BM_Memcpy(benchmark::State& state) {
    const std::string src = latinText();
    std::vector<char> dst(kTotal);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), kTotal);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTotal));
}
BENCHMARK(BM_Memcpy);

void runMus(benchmark::State& state, const std::string& text, int32_t codePage) {
    std::vector<char> out(4 * kChunk);
    int32_t chars = 0, glyphs = 0;
    _kd_MUSInit(&chars, &glyphs, 0);
    for (auto _ : state) {
        int32_t next = 1;  // the host restarts before 255; the map keeps its codes
        for (size_t at = 0; at < kTotal; at += kChunk) {
            benchmark::DoNotOptimize(_kd_MakeUnicodeString(text.data() + at, static_cast<int32_t>(kChunk), &chars,
                                                           &next, out.data(), 0, codePage, 0, &glyphs));
        }
        benchmark::ClobberMemory();
    }
    _kd_MUSRelease(chars, glyphs, 0);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTotal));
}

void BM_MakeUnicodeString_Latin(benchmark::State& state) { runMus(state, latinText(), 1252); }
BENCHMARK(BM_MakeUnicodeString_Latin);

void BM_MakeUnicodeString_Arabic(benchmark::State& state) { runMus(state, arabicText(), 1256); }
BENCHMARK(BM_MakeUnicodeString_Arabic);

void BM_FormatBIDIString_Hebrew(benchmark::State& state) {
    const std::string text = hebrewText();
    std::vector<char> out(kTotal);
    for (auto _ : state) {
        for (size_t at = 0; at < kTotal; at += kChunk) {
            const int32_t n = static_cast<int32_t>(std::min(kChunk, kTotal - at));
            benchmark::DoNotOptimize(formatBIDIString(text.data() + at, n, out.data() + at, 1255));
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTotal));
}
BENCHMARK(BM_FormatBIDIString_Hebrew);

void BM_FormatBIDIString_HebrewOneCall(benchmark::State& state) {
    const std::string text = hebrewText();
    std::vector<char> out(kTotal);
    for (auto _ : state) {
        benchmark::DoNotOptimize(formatBIDIString(text.data(), static_cast<int32_t>(kTotal), out.data(), 1255));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTotal));
}
BENCHMARK(BM_FormatBIDIString_HebrewOneCall);

void runPdfString(benchmark::State& state, bool marking) {
    std::string text = latinText();
    for (size_t i = 97; i < text.size(); i += 97) text[i] = "()\\\r\n"[i % 5];
    std::vector<char> out(2 * kTotal);
    std::string used(256, marking ? ' ' : '\0');
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            mkPDFString(text.data(), static_cast<int32_t>(kTotal), "", out.data(), used.data()));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTotal));
}

void BM_MkPDFString(benchmark::State& state) { runPdfString(state, false); }
BENCHMARK(BM_MkPDFString);

void BM_MkPDFString_Marking(benchmark::State& state) { runPdfString(state, true); }
BENCHMARK(BM_MkPDFString_Marking);

}  // namespace

BENCHMARK_MAIN();

// Eight host threads at once on shared face names and shared picture files,
// each with its own output files and handles: every call must give what the
// same call gave on one thread. KDLIB_STRESS_SECONDS sets how long the
// threads run (2 by default; CI's ThreadSanitizer stage runs a minute).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/test_support.h"
#include "kdlib.h"

namespace {

const char* const kFace = "DejaVu Sans";

// The shared inputs, and the prefix of the calling thread's own files.
struct Call {
    const std::string &rgba, &deep, &bmp;
    std::string own;
    std::string file(const char* name) const { return own + name; }
};

template <class T>
std::string bytes(const T* p, size_t count) {
    return std::string(reinterpret_cast<const char*>(p), count * sizeof(T));
}

std::string fontRequest(int code, size_t ints, int16_t bold = 0, const char* face = kFace) {
    std::vector<int32_t> record(ints + 1, 0);
    int32_t r = getFParam("", face, 11.5f, bold, 0, uint16_t(code), record.data(), nullptr, 1252, nullptr, 0, nullptr);
    return std::to_string(r) + bytes(record.data(), record.size());
}

// Text re-encoded into fresh maps, then the subset of the map (request 10)
// or, in glyph mode, two-byte codes from the glyph map (request 21).
std::string reencode(const Call& c, int mode) {
    int32_t charMap = 0, glyphMap = 0, next = 0;
    _kd_MUSInit(&charMap, &glyphMap, mode);
    std::vector<int32_t> record(800, 0);
    std::vector<uint16_t> widths(800, 0);
    if (mode == 1) getFParam("", kFace, 12, 0, 0, 21, record.data(), nullptr, 1252, nullptr, glyphMap, nullptr);
    const std::string text = "Stress \xe9t\xe9 \x80 threads";
    char hex[4 * 64] = {};
    int32_t n = _kd_MakeUnicodeString(text.data(), int32_t(text.size()), &charMap, &next, hex, 0, 1252, mode, &glyphMap);
    std::string out = std::to_string(n) + hex;
    if (mode == 0) {
        const std::string stream = c.file("stream"), subset = c.file("subset.ttf");
        int32_t r = getFParam(stream.c_str(), kFace, 12, 0, 0, 10, record.data(), nullptr, 1252, subset.c_str(), charMap,
                              widths.data());
        out += std::to_string(r) + bytes(record.data(), record.size()) + bytes(widths.data(), widths.size()) +
               kdtest::readText(stream) + kdtest::readText(subset);
    }
    _kd_MUSRelease(charMap, glyphMap, mode);
    return out;
}

std::string convertImage(const Call& c, const std::string& image, int32_t pdfVersion) {
    const std::string data = c.file("data"), mask = c.file("mask"), side = c.file("side");
    std::remove(mask.c_str());
    int16_t w = 0, h = 0;
    int32_t smask = 0, sideObj = 0;
    int32_t r = dobmp(image.c_str(), data.c_str(), 12, &w, &h, 0, 0, "", side.c_str(), &sideObj, mask.c_str(), &smask,
                      pdfVersion, "SMask", 1);
    return std::to_string(r) + "," + std::to_string(w) + "," + std::to_string(h) + "," + std::to_string(smask) + "|" +
           kdtest::readText(data) + "|" + kdtest::readText(mask);
}

std::string wrapAndTrim() {
    std::vector<int32_t> lines(3 + 3 * 80, 0);
    const char* text = "Many host threads render many reports at once, each with its own lines.";
    int32_t n = ww(text, kFace, 10, 0, 0, 1500, lines.data(), 1, 1252, 0);
    return std::to_string(n) + bytes(lines.data(), lines.size()) +
           std::to_string(_pvTrimA(text, kFace, 10, 0, 1, 2000, 0, 1252, 3, 0));
}

std::string stringBuilder() {
    int32_t h = _zoFSO_setup(64);
    _zoFSO_Append(h, "BT ", 3);
    _zoFSO_FormatString4Float(h, "%.2f %.2f Td ", 12.5f, 700.25f, 0, 0);
    _zoFSO_SetColor(h, "rg", 10, 128, 255);
    _zoFSO_PDF_AddBox(h, 10, 20, 30, 40, 0.5f, 1, 200, 100, 50, 1, 0, 0, 0, 0);
    _zoFSO_AppendAsUnicode(h, "\xe9t\xe9", 3, 1252);
    std::string out(size_t(std::max(0, _zoFSO_GetLength(h))), '\0');
    _zoFSO_Substr(h, 0, int32_t(out.size()), &out[0]);
    _zoFSO_Deallocate(h);
    return out;
}

std::string pictureInfo(const Call& c) {
    int32_t v[6] = {};
    int32_t r = GetPicInfo(c.rgba.c_str(), &v[0], &v[1], &v[2], &v[3], &v[4], 1, &v[5]);
    return std::to_string(r) + bytes(v, 6);
}

std::string hashAndEncrypt() {
    uint8_t digest[16], data[] = "stream content", key[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    MD5String("threads", 7, digest);
    encryptPDFContent(data, 14, 7, 0, key, 0, 3, 16);
    return bytes(digest, 16) + bytes(data, 14);
}

std::string zip(const Call& c) {
    int32_t length = 0;
    int32_t r = zipFile(c.bmp.c_str(), c.file("zip").c_str(), "FlateDecode", &length);
    return std::to_string(r) + "," + std::to_string(length) + kdtest::readText(c.file("zip"));
}

// More unknown names than the name cache keeps, all matched to the same
// fallback face: first-time matches and evictions meet warm selections.
std::string unknownFace() {
    static std::atomic<unsigned> next{0};
    return fontRequest(1, 5, 0, ("Stress Face " + std::to_string(next++ % 600)).c_str());
}

const std::vector<std::pair<const char*, std::function<std::string(const Call&)>>> kCalls = {
    {"getFParam 1", [](const Call&) { return fontRequest(1, 5); }},
    {"getFParam 1 bold", [](const Call&) { return fontRequest(1, 5, 1); }},
    {"getFParam 1, unknown names", [](const Call&) { return unknownFace(); }},
    {"getFParam 7", [](const Call&) { return fontRequest(7, 0); }},
    {"getFParam 20", [](const Call&) { return fontRequest(20, 189); }},
    {"widths", [](const Call&) { return fontRequest(2, 256); }},
    {"one-byte codes, request 10", [](const Call& c) { return reencode(c, 0); }},
    {"glyph map, two-byte codes", [](const Call& c) { return reencode(c, 1); }},
    {"ww, _pvTrimA", [](const Call&) { return wrapAndTrim(); }},
    {"formatBIDIString",
     [](const Call&) {
         char out[16] = {};
         formatBIDIString("abc \xf9\xec\xe5\xed 12", 11, out, 1255);
         return std::string(out);
     }},
    {"dobmp RGBA PNG", [](const Call& c) { return convertImage(c, c.rgba, 17); }},
    {"dobmp 16-bit PNG for 1.4", [](const Call& c) { return convertImage(c, c.deep, 14); }},
    {"dobmp BMP", [](const Call& c) { return convertImage(c, c.bmp, 17); }},
    {"GetPicInfo", pictureInfo},
    {"MD5String, encryptPDFContent", [](const Call&) { return hashAndEncrypt(); }},
    {"string builder", [](const Call&) { return stringBuilder(); }},
    {"zipFile", zip},
};

}  // namespace

TEST(Threads, EveryCallAgreesWithItsSingleThreadedRun) {
    kdtest::TempDir dir;
    const std::string rgba = dir.file("rgba.png"), deep = dir.file("deep.png"), bmp = dir.file("picture.bmp");
    ASSERT_EQ(kdtest::runPython("img_tool.py", {"gen", "RGBA", "61", "40", rgba}), 0);
    ASSERT_EQ(kdtest::runPython("img_tool.py", {"gen", "RGB", "37", "23", deep, "bits=16", "ct=2", "chunks=3"}), 0);
    ASSERT_EQ(kdtest::runPython("img_tool.py", {"gen", "RGB", "45", "30", bmp}), 0);
    std::vector<std::string> expected;
    for (const auto& c : kCalls) expected.push_back(c.second(Call{rgba, deep, bmp, dir.file("single_")}));

    const char* seconds = std::getenv("KDLIB_STRESS_SECONDS");
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds ? std::atof(seconds) : 2.0);
    std::mutex failuresMutex;
    std::vector<std::string> failures;
    std::vector<std::thread> threads;
    for (size_t t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            const Call call{rgba, deep, bmp, dir.file("t" + std::to_string(t) + "_")};
            for (int round = 0; round == 0 || std::chrono::steady_clock::now() < end; ++round)
                for (size_t k = 0; k < kCalls.size(); ++k) {
                    const size_t i = (k + t * 5) % kCalls.size();  // threads meet on different calls
                    if (kCalls[i].second(call) == expected[i]) continue;
                    std::lock_guard lock(failuresMutex);
                    failures.push_back(std::string(kCalls[i].first) + " on thread " + std::to_string(t));
                }
        });
    for (std::thread& t : threads) t.join();
    EXPECT_TRUE(failures.empty()) << failures.size() << " calls differed, the first: " << failures.front();
}

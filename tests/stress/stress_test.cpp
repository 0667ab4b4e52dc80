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

struct Files {
    kdtest::TempDir dir;
    std::string rgba, deep, bmp;  // shared inputs
};

// One thread's own output files.
struct Own {
    std::string prefix;
    std::string file(const char* name) const { return prefix + name; }
};

template <class T>
std::string bytes(const T* p, size_t count) {
    return std::string(reinterpret_cast<const char*>(p), count * sizeof(T));
}

std::string contents(const std::string& path) {
    std::vector<uint8_t> b = kdtest::readFile(path);
    return std::string(b.begin(), b.end());
}

std::string fontRequest(int code, size_t ints, int16_t bold = 0, const char* face = kFace) {
    std::vector<int32_t> record(ints + 1, 0);
    int32_t r = getFParam("", face, 11.5f, bold, 0, uint16_t(code), record.data(), nullptr, 1252, nullptr, 0, nullptr);
    return std::to_string(r) + bytes(record.data(), record.size());
}

// Text re-encoded into a fresh map, then the map's subset (request 10) or,
// in glyph mode, the glyph map (request 21) feeding two-byte codes.
std::string reencode(const Own& own, int mode) {
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
        std::string stream = own.file("stream"), subset = own.file("subset.ttf");
        int32_t r = getFParam(stream.c_str(), kFace, 12, 0, 0, 10, record.data(), nullptr, 1252, subset.c_str(), charMap,
                              widths.data());
        out += std::to_string(r) + bytes(record.data(), record.size()) + bytes(widths.data(), widths.size()) +
               contents(stream) + contents(subset);
    }
    _kd_MUSRelease(charMap, glyphMap, mode);
    return out;
}

std::string convertImage(const std::string& image, const Own& own, int32_t pdfVersion) {
    const std::string data = own.file("data"), mask = own.file("mask"), side = own.file("side");
    std::remove(mask.c_str());
    std::remove(side.c_str());
    int16_t w = 0, h = 0;
    int32_t smask = 0, sideObj = 0;
    int32_t r = dobmp(image.c_str(), data.c_str(), 12, &w, &h, 0, 0, "", side.c_str(), &sideObj, mask.c_str(), &smask,
                      pdfVersion, "SMask", 1);
    return std::to_string(r) + "," + std::to_string(w) + "," + std::to_string(h) + "," + std::to_string(smask) + "|" +
           contents(data) + "|" + (kdtest::fileExists(mask) ? contents(mask) : "");
}

std::string wrapText() {
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

struct NamedCall {
    const char* name;
    std::function<std::string(const Files&, const Own&)> call;
};

const std::vector<NamedCall>& calls() {
    static const std::vector<NamedCall> list = {
        {"getFParam 1", [](const Files&, const Own&) { return fontRequest(1, 5); }},
        {"getFParam 1 bold", [](const Files&, const Own&) { return fontRequest(1, 5, 1); }},
        {"getFParam 7", [](const Files&, const Own&) { return fontRequest(7, 0); }},
        // More unknown names than the name cache keeps, all matched to the
        // same fallback face: first-time matches and evictions meet warm calls.
        {"getFParam 1, unknown names",
         [](const Files&, const Own&) {
             static std::atomic<unsigned> next{0};
             const std::string face = "Stress Face " + std::to_string(next++ % 600);
             return fontRequest(1, 5, 0, face.c_str());
         }},
        {"getFParam 20", [](const Files&, const Own&) { return fontRequest(20, 189); }},
        {"widths", [](const Files&, const Own&) { return fontRequest(2, 256); }},
        {"one-byte codes, request 10", [](const Files&, const Own& own) { return reencode(own, 0); }},
        {"glyph map, two-byte codes", [](const Files&, const Own& own) { return reencode(own, 1); }},
        {"ww, _pvTrimA", [](const Files&, const Own&) { return wrapText(); }},
        {"formatBIDIString",
         [](const Files&, const Own&) {
             char out[16] = {};
             formatBIDIString("abc \xf9\xec\xe5\xed 12", 11, out, 1255);
             return std::string(out);
         }},
        {"dobmp RGBA PNG", [](const Files& f, const Own& own) { return convertImage(f.rgba, own, 17); }},
        {"dobmp 16-bit PNG for 1.4", [](const Files& f, const Own& own) { return convertImage(f.deep, own, 14); }},
        {"dobmp BMP", [](const Files& f, const Own& own) { return convertImage(f.bmp, own, 17); }},
        {"GetPicInfo",
         [](const Files& f, const Own&) {
             int32_t v[6] = {};
             int32_t r = GetPicInfo(f.rgba.c_str(), &v[0], &v[1], &v[2], &v[3], &v[4], 1, &v[5]);
             return std::to_string(r) + bytes(v, 6);
         }},
        {"MD5String",
         [](const Files&, const Own&) {
             uint8_t digest[16];
             MD5String("threads", 7, digest);
             return bytes(digest, 16);
         }},
        {"encryptPDFContent",
         [](const Files&, const Own&) {
             uint8_t data[] = "stream content", key[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
             encryptPDFContent(data, 14, 7, 0, key, 0, 3, 16);
             return bytes(data, 14);
         }},
        {"string builder", [](const Files&, const Own&) { return stringBuilder(); }},
        {"zipFile",
         [](const Files& f, const Own& own) {
             int32_t length = 0;
             int32_t r = zipFile(f.bmp.c_str(), own.file("zip").c_str(), "FlateDecode", &length);
             return std::to_string(r) + "," + std::to_string(length) + contents(own.file("zip"));
         }},
    };
    return list;
}

}  // namespace

TEST(Threads, EveryCallAgreesWithItsSingleThreadedRun) {
    Files f;
    f.rgba = f.dir.file("rgba.png"), f.deep = f.dir.file("deep.png"), f.bmp = f.dir.file("picture.bmp");
    ASSERT_EQ(kdtest::runPython("img_tool.py", {"gen", "RGBA", "61", "40", f.rgba}), 0);
    ASSERT_EQ(kdtest::runPython("img_tool.py", {"gen", "RGB", "37", "23", f.deep, "bits=16", "ct=2", "chunks=3"}), 0);
    ASSERT_EQ(kdtest::runPython("img_tool.py", {"gen", "RGB", "45", "30", f.bmp}), 0);

    const std::vector<NamedCall>& list = calls();
    std::vector<std::string> expected;
    for (const NamedCall& c : list) expected.push_back(c.call(f, Own{f.dir.file("single_")}));

    const char* env = std::getenv("KDLIB_STRESS_SECONDS");
    const auto duration = std::chrono::duration<double>(env ? std::atof(env) : 2.0);
    const auto end = std::chrono::steady_clock::now() + duration;
    std::mutex failuresMutex;
    std::vector<std::string> failures;
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            const Own own{f.dir.file("t" + std::to_string(t) + "_")};
            for (int round = 0; round == 0 || std::chrono::steady_clock::now() < end; ++round)
                for (size_t k = 0; k < list.size(); ++k) {
                    const size_t i = (k + size_t(t) * 5) % list.size();  // threads meet on different calls
                    if (list[i].call(f, own) == expected[i]) continue;
                    std::lock_guard lock(failuresMutex);
                    failures.push_back(std::string(list[i].name) + " on thread " + std::to_string(t));
                }
        });
    for (std::thread& t : threads) t.join();
    EXPECT_TRUE(failures.empty()) << failures.size() << " calls differed, the first: " << failures.front();
}

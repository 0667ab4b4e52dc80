// The road of one embedded font as the host drives it, entirely through the
// shared library: re-encode text, then request 10 (one-byte codes, or glyph
// numbers in the record and the width table) or request 21 feeding the
// two-byte mode.
#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "fontsvc/fontsvc_support.h"
#include "kdlib.h"
#include "text/wrap_font_facts.h"

using kdtest::numbers;

namespace {

// The library as a host loads it: libkdlib.so, or kdlib.dll on Windows,
// beside the test programs' folder.
#ifdef _WIN32
using LibraryHandle = HMODULE;
LibraryHandle openLibrary() {
    char exe[MAX_PATH] = {};
    DWORD n = GetModuleFileNameA(nullptr, exe, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    std::string dir(exe, n);
    dir = dir.substr(0, dir.find_last_of("\\/"));
    return LoadLibraryA((dir + "\\..\\kdlib.dll").c_str());
}
void* symbol(LibraryHandle h, const char* name) { return reinterpret_cast<void*>(GetProcAddress(h, name)); }
void closeLibrary(LibraryHandle h) { FreeLibrary(h); }
std::string loadError() { return "LoadLibrary error " + std::to_string(GetLastError()); }
#else
using LibraryHandle = void*;
LibraryHandle openLibrary() {
    char exe[4096] = {};
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return nullptr;
    std::string dir(exe, static_cast<size_t>(n));
    dir = dir.substr(0, dir.rfind('/'));
    // Kept mapped to the end: the library caches fonts for the life of the process.
    return dlopen((dir + "/../libkdlib.so").c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
}
void* symbol(LibraryHandle h, const char* name) { return dlsym(h, name); }
void closeLibrary(LibraryHandle h) { dlclose(h); }
std::string loadError() {
    const char* e = dlerror();
    return e ? e : "";
}
#endif

struct Library {
    LibraryHandle handle = nullptr;
    decltype(&_kd_MUSInit) musInit = nullptr;
    decltype(&_kd_MUSRelease) musRelease = nullptr;
    decltype(&_kd_MakeUnicodeString) makeUnicodeString = nullptr;
    decltype(&::getFParam) fontParam = nullptr;

    Library() {
        handle = openLibrary();
        if (!handle) return;
        musInit = reinterpret_cast<decltype(musInit)>(symbol(handle, "_kd_MUSInit"));
        musRelease = reinterpret_cast<decltype(musRelease)>(symbol(handle, "_kd_MUSRelease"));
        makeUnicodeString = reinterpret_cast<decltype(makeUnicodeString)>(symbol(handle, "_kd_MakeUnicodeString"));
        fontParam = reinterpret_cast<decltype(fontParam)>(symbol(handle, "getFParam"));
    }
    ~Library() {
        if (handle) closeLibrary(handle);
    }
    bool complete() const { return musInit && musRelease && makeUnicodeString && fontParam; }
};

std::vector<int> hexCodes(const std::string& digits, size_t width) {
    std::vector<int> codes;
    for (size_t i = 0; i + width <= digits.size(); i += width) codes.push_back(std::stoi(digits.substr(i, width), nullptr, 16));
    return codes;
}

// Latin, Greek and Cyrillic in their code pages, and U+4E00 (not in DejaVu
// Sans) in UTF-8: the same text in UTF-8, and each character's code.
const char* kUtf8 = "A\xc3\xa9 \xce\xb1\xce\xb2\xd0\x96\xd0\xb6\xe4\xb8\x80";
const char16_t kUnits[8] = {u'A', 0xE9, u' ', 0x3B1, 0x3B2, 0x416, 0x436, 0x4E00};

TEST(HostRoad, OneByteTextToEmbeddedSubsetWithCodesOrGlyphNumbers) {
    Library lib;
    ASSERT_NE(lib.handle, nullptr) << loadError();
    ASSERT_TRUE(lib.complete()) << "an export is missing from the shared library";
    wraptest::FontFacts facts = wraptest::readFacts(kUtf8);
    std::vector<uint16_t> widthsOfCodes;
    for (uint16_t flags : {0, 0x200}) {
        SCOPED_TRACE(flags);
        int32_t charMap = 0, glyphMap = 0, next = 0;
        ASSERT_EQ(lib.musInit(&charMap, &glyphMap, 0), 0);
        struct Run {
            std::string bytes;
            int codePage;
        } runs[] = {{"A\xe9 ", 1252}, {"\xe1\xe2", 1253}, {"\xc6\xe6", 1251}, {"\xe4\xb8\x80", 65001}};
        std::string digits;
        for (const Run& r : runs) {
            std::vector<char> out(4 * r.bytes.size() + 4, 0);
            int32_t n = lib.makeUnicodeString(r.bytes.data(), static_cast<int32_t>(r.bytes.size()), &charMap, &next,
                                              out.data(), 0, r.codePage, 0, &glyphMap);
            digits.append(out.data(), static_cast<size_t>(2 * n));
        }
        ASSERT_EQ(hexCodes(digits, 2), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));

        kdtest::TempDir dir;
        const std::string stream = dir.file("stream"), subset = dir.file("subset.ttf");
        std::vector<int32_t> record(600, -9);
        std::vector<uint16_t> widths(600, 0xEEEE);
        const int32_t result = lib.fontParam(stream.c_str(), "DejaVu Sans", 12, 0, 0, static_cast<uint16_t>(10 | flags),
                                             record.data(), nullptr, 1252, subset.c_str(), charMap, widths.data());
        lib.musRelease(charMap, glyphMap, 0);
        ASSERT_GT(result, 0);
        // The stream file: header, Length1 = the subset's size, data that
        // inflate to exactly the subset file.
        const std::vector<uint8_t> program = kdtest::readFile(subset);
        kdtest::StreamFile s = kdtest::splitStreamFile(stream);
        EXPECT_EQ(s.header, "/Filter /FlateDecode\r\n/Length1 " + std::to_string(program.size()) + "\r\n>>\r\nstream\r\n");
        EXPECT_EQ(result, static_cast<int32_t>(s.data.size()));
        EXPECT_EQ(kdtest::inflateAll(s.data), program);

        // fontTools opens the subset; the text's glyphs are there, unchanged.
        auto report = fonttest::checkProgram(subset, kdtest::dejaVuPath(), kUtf8);
        EXPECT_EQ(report["tables"], flags ? "OS/2 glyf head hhea hmtx loca maxp name"  // no character map
                                          : "OS/2 cmap glyf head hhea hmtx loca maxp name");
        std::vector<long long> needed = numbers(report["needed"]);
        ASSERT_EQ(needed.size(), 8u);
        EXPECT_EQ(needed[2], 3);   // the space, which the missing U+4E00 becomes
        EXPECT_EQ(needed[7], -1);
        needed[7] = 3;

        // The record: missing codes (U+4E00 and 1252's undefined codes,
        // sorted), then one (code or glyph, unicode) entry per character.
        const int32_t n = record[0];
        EXPECT_EQ(std::vector<int32_t>(record.begin() + 1, record.begin() + 1 + n),
                  (std::vector<int32_t>{0, 127, 129, 141, 143, 144, 157, 0x4E00}));
        ASSERT_EQ(record[n + 1], 8);
        std::map<int, int> entry;  // unicode -> code or glyph
        for (int k = 0; k < 8; ++k) entry[record[n + 3 + 2 * k]] = record[n + 2 + 2 * k];
        // What a reader draws: each code goes through the subset's one-byte
        // map to the source font's glyph of the character.
        std::map<int, int> glyphOfCode;
        std::vector<long long> cmap = numbers(report["cmap10"]);
        for (size_t i = 0; i + 1 < cmap.size(); i += 2) glyphOfCode[int(cmap[i])] = int(cmap[i + 1]);
        std::set<int> tableGlyphs(widths.begin() + 10, widths.begin() + 18);
        EXPECT_EQ((std::vector<uint16_t>{widths[0], widths[1], widths[flags ? 18 : 10]}),
                  (std::vector<uint16_t>{0, 7, 0xEEEE}));
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(entry[kUnits[i]], flags ? needed[i] : i) << i;
            if (flags) {
                EXPECT_EQ(tableGlyphs.count(int(needed[i])), 1u) << i;
            } else {
                EXPECT_EQ(glyphOfCode[i], needed[i]) << i;
            }
            const int advance = facts.advances[i == 7 ? 2 : i];
            EXPECT_EQ(widths[2 + i], advance * 1000 / facts.upem) << i;
        }
    }
}

TEST(HostRoad, GlyphMapFeedsTwoByteMode) {
    Library lib;
    ASSERT_NE(lib.handle, nullptr) << loadError();
    ASSERT_TRUE(lib.complete()) << "an export is missing from the shared library";
    int32_t charMap = 0, glyphMap = 0, next = 0;
    ASSERT_EQ(lib.musInit(&charMap, &glyphMap, 1), 0);
    ASSERT_NE(glyphMap, 0);
    int32_t record[1] = {};
    ASSERT_EQ(lib.fontParam("", "DejaVu Sans", 12, 0, 0, 21, record, nullptr, 1252, nullptr, glyphMap, nullptr), 0);
    EXPECT_EQ(record[0], glyphMap);
    std::string text = "AB\xd0\x96\xe4\xb8\x80";  // A, B, Zhe, U+4E00 (absent: 0)
    std::vector<char> out(4 * text.size() + 4, 0);
    int32_t bytes = lib.makeUnicodeString(text.data(), static_cast<int32_t>(text.size()), &charMap, &next, out.data(), 0,
                                          65001, 1, &glyphMap);
    ASSERT_EQ(bytes, 8);
    std::vector<int> needed = wraptest::readFacts(text).glyphs;
    ASSERT_EQ(needed.size(), 4u);
    needed[3] = 0;
    EXPECT_EQ(hexCodes(std::string(out.data(), 16), 4), needed);
    lib.musRelease(charMap, glyphMap, 1);
}

}  // namespace

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "fontsvc/font_processor.h"
#include "frame/handle_registry.h"
#include "fso/fso.h"
#include "kdlib.h"
#include "text/code_maps.h"

using kd::HandleRegistry;

namespace {

struct Counter {
    static std::atomic<int> live;
    int value;
    explicit Counter(int v) : value(v) { ++live; }
    ~Counter() { --live; }
};
std::atomic<int> Counter::live{0};

// A family of objects behind handles: how to make, find and release one.
struct Family {
    int64_t (*make)();
    bool (*alive)(int64_t);
    void (*drop)(int64_t);
};
template <class T>
bool alive(int64_t h) {
    return HandleRegistry::instance().find<T>(h) != nullptr;
}
int32_t newMaps(int32_t mode) {
    int32_t chars = 0, glyphs = 0;
    _kd_MUSInit(&chars, &glyphs, mode);
    if (mode == 0) return chars;
    _kd_MUSRelease(chars, 0, 0);
    return glyphs;
}
const Family kFso{[] { return int64_t{_zoFSO_setup(16)}; }, alive<kd::Fso>, [](int64_t h) { _zoFSO_Deallocate(h); }};
const Family kFonts{[] { return int64_t{_zo_fontProcessor_Init()}; }, alive<kd::FontProcessor>,
                    [](int64_t h) { _zo_fontProcessor_Destroy(h); }};
const Family kChars{[] { return int64_t{newMaps(0)}; }, alive<kd::CharCodeMap>,
                    [](int64_t h) { _kd_MUSRelease(int32_t(h), 0, 0); }};
const Family kGlyphs{[] { return int64_t{newMaps(1)}; }, alive<kd::GlyphCodeMap>,
                     [](int64_t h) { _kd_MUSRelease(0, int32_t(h), 1); }};

// Where the exports below may write.
char scratch[64];
int32_t record[1024];

// A one-byte code through a char map (and in mode 1 a glyph map).
int32_t reencode(int32_t chars, int32_t glyphs, int32_t mode) {
    int32_t next = 1;
    return _kd_MakeUnicodeString("AB", 2, &chars, &next, scratch, 0, 1252, mode, &glyphs);
}

int32_t fontRequest(uint16_t request, int64_t map) {
    return getFParam("", "DejaVu Sans", 12, 0, 0, request, record, nullptr, 1252, nullptr, int32_t(map), nullptr);
}

// Every export that takes a handle. wide: the handle is pointer-sized, so a
// value past 32 bits reaches the library as it is.
struct Export {
    const char* name;
    const Family* family;
    bool wide;
    int32_t failure;
    std::function<int32_t(int64_t)> call;
};

const std::vector<Export>& exportsTakingHandles() {
    static const int32_t liveChars = newMaps(0);
    static const std::vector<Export> rows = {
        {"_zoFSO_Append", &kFso, true, 0, [](int64_t h) { return _zoFSO_Append(h, "a", 1); }},
        {"_zoFSO_AppendAsUnicode", &kFso, true, 0, [](int64_t h) { return _zoFSO_AppendAsUnicode(h, "a", 1, 1252); }},
        {"_zoFSO_Assign", &kFso, true, 0, [](int64_t h) { return _zoFSO_Assign(h, "a", 1); }},
        {"_zoFSO_FormatString4Float", &kFso, true, -1,
         [](int64_t h) { return _zoFSO_FormatString4Float(h, "%f", 1, 2, 3, 4); }},
        {"_zoFSO_GetInt", &kFso, true, -1, [](int64_t h) { return _zoFSO_GetInt(h, 1); }},
        {"_zoFSO_GetLength", &kFso, true, -1, [](int64_t h) { return _zoFSO_GetLength(h); }},
        {"_zoFSO_GetMemoryPointer", &kFso, true, -1, [](int64_t h) { return _zoFSO_GetMemoryPointer(h); }},
        {"_zoFSO_PDF_AddBox", &kFso, true, -1,
         [](int64_t h) { return _zoFSO_PDF_AddBox(h, 1, 2, 3, 4, 1, 1, 0, 0, 0, 1, 0, 0, 0, 0); }},
        {"_zoFSO_SetColor", &kFso, true, -1, [](int64_t h) { return _zoFSO_SetColor(h, "S", 1, 2, 3); }},
        {"_zoFSO_Substr", &kFso, true, -1, [](int64_t h) { return _zoFSO_Substr(h, 1, 1, scratch); }},
        {"_zoFSO_Deallocate", &kFso, true, 0, [](int64_t h) { return _zoFSO_Deallocate(h); }},
        {"_zo_fontProcessor_AddText", &kFonts, true, 0,
         [](int64_t h) { return _zo_fontProcessor_AddText(h, "abc", 1252, "DejaVu Sans--000000"); }},
        {"_zo_fontProcessor_GetCount", &kFonts, true, 0,
         [](int64_t h) { return _zo_fontProcessor_GetCount(h); }},
        {"_zo_fontProcessor_WriteFontFiles", &kFonts, true, 0,
         [](int64_t h) { return _zo_fontProcessor_WriteFontFiles(h, "/nonexistent-kdlib-folder/"); }},
        {"_zo_fontProcessor_Destroy", &kFonts, true, 0,
         [](int64_t h) { return _zo_fontProcessor_Destroy(h); }},
        {"_kd_MakeUnicodeString char map", &kChars, false, 0,
         [](int64_t h) { return reencode(int32_t(h), 0, 0); }},
        {"_kd_MakeUnicodeString glyph map", &kGlyphs, false, 0,
         [](int64_t h) { return reencode(liveChars, int32_t(h), 1); }},
        {"_kd_MUSRelease", &kChars, false, 0, [](int64_t h) { return _kd_MUSRelease(int32_t(h), int32_t(h), 1); }},
        {"getFParam 10", &kChars, false, -500, [](int64_t h) { return fontRequest(10, h); }},
        {"getFParam 21", &kGlyphs, false, -500, [](int64_t h) { return fontRequest(21, h); }},
    };
    return rows;
}

}  // namespace

// Handle 0, negative, unknown, past 32 bits, released and of another family:
// each export returns its failure value and touches no live object.
TEST(HandleRegistry, EveryExportRefusesHandlesItDoesNotOwn) {
    for (const Export& e : exportsTakingHandles()) {
        const Family& own = *e.family;
        const Family& other = e.family == &kFso ? kChars : kFso;
        const int64_t mine = own.make(), theirs = other.make(), released = own.make();
        own.drop(released);
        std::vector<int64_t> bad{0, -5, 0x7FFFFFF0, released, theirs};
        if (e.wide && sizeof(intptr_t) > 4) bad.insert(bad.end(), {(int64_t{1} << 32) + 1, mine + (int64_t{1} << 32)});
        for (int64_t h : bad) EXPECT_EQ(e.call(h), e.failure) << e.name << " handle " << h;
        EXPECT_TRUE(own.alive(mine) && other.alive(theirs)) << e.name;
        own.drop(mine);
        other.drop(theirs);
    }
}

// Each thread keeps every third object and releases the others at once:
// every lookup finds its own object, and in the end nothing is left.
TEST(HandleRegistry, ManyThreadsCreateUseAndRelease) {
    auto& r = HandleRegistry::instance();
    const size_t before = r.size();
    const int liveBefore = Counter::live;
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            std::vector<int32_t> kept;
            for (int i = 0; i < 3000; ++i) {
                const int32_t h = r.add(std::make_unique<Counter>(t * 100000 + i));
                const Counter* c = r.find<Counter>(h);
                wrong += h <= 0 || !c || c->value != t * 100000 + i;
                if (i % 3 == 0) kept.push_back(h);
                else wrong += !r.release<Counter>(h) || r.find<Counter>(h) != nullptr;
            }
            for (int32_t h : kept) {
                const Counter* c = r.find<Counter>(h);
                wrong += !c || c->value / 100000 != t || !r.release<Counter>(h);
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(r.size(), before);
    EXPECT_EQ(Counter::live, liveBefore);
}

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

enum class Family { Fso, FontProcessor, CharMap, GlyphMap };

int64_t make(Family f) {
    int32_t chars = 0, glyphs = 0;
    switch (f) {
        case Family::Fso: return _zoFSO_setup(16);
        case Family::FontProcessor: return _zo_fontProcessor_Init();
        case Family::CharMap: _kd_MUSInit(&chars, nullptr, 0); return chars;
        case Family::GlyphMap: _kd_MUSInit(&chars, &glyphs, 1); _kd_MUSRelease(chars, 0, 0); return glyphs;
    }
    return 0;
}

bool alive(Family f, int64_t h) {
    auto& r = HandleRegistry::instance();
    switch (f) {
        case Family::Fso: return r.find<kd::Fso>(h) != nullptr;
        case Family::FontProcessor: return r.find<kd::FontProcessor>(h) != nullptr;
        case Family::CharMap: return r.find<kd::CharCodeMap>(h) != nullptr;
        case Family::GlyphMap: return r.find<kd::GlyphCodeMap>(h) != nullptr;
    }
    return false;
}

void drop(Family f, int64_t h) {
    if (f == Family::Fso) _zoFSO_Deallocate(static_cast<intptr_t>(h));
    if (f == Family::FontProcessor) _zo_fontProcessor_Destroy(static_cast<intptr_t>(h));
    if (f == Family::CharMap || f == Family::GlyphMap) _kd_MUSRelease(int32_t(h), int32_t(h), 1);
}

// A one-byte code through a char map (and in mode 1 a glyph map).
int32_t reencode(int32_t chars, int32_t glyphs, int32_t mode) {
    int32_t next = 1;
    char out[16];
    return _kd_MakeUnicodeString("AB", 2, &chars, &next, out, 0, 1252, mode, &glyphs);
}

// Every export that takes a handle. wide: the handle is pointer-sized, so a
// value past 32 bits reaches the library as it is.
struct Export {
    const char* name;
    Family family;
    bool wide;
    int32_t failure;
    std::function<int32_t(int64_t)> call;
};

const std::vector<Export>& exportsTakingHandles() {
    static const int32_t liveChars = int32_t(make(Family::CharMap));
    static const std::vector<Export> rows = {
        {"_zoFSO_Append", Family::Fso, true, 0, [](int64_t h) { return _zoFSO_Append(h, "a", 1); }},
        {"_zoFSO_AppendAsUnicode", Family::Fso, true, 0, [](int64_t h) { return _zoFSO_AppendAsUnicode(h, "a", 1, 1252); }},
        {"_zoFSO_Assign", Family::Fso, true, 0, [](int64_t h) { return _zoFSO_Assign(h, "a", 1); }},
        {"_zoFSO_FormatString4Float", Family::Fso, true, -1,
         [](int64_t h) { return _zoFSO_FormatString4Float(h, "%f", 1, 2, 3, 4); }},
        {"_zoFSO_GetInt", Family::Fso, true, -1, [](int64_t h) { return _zoFSO_GetInt(h, 1); }},
        {"_zoFSO_GetLength", Family::Fso, true, -1, [](int64_t h) { return _zoFSO_GetLength(h); }},
        {"_zoFSO_GetMemoryPointer", Family::Fso, true, -1, [](int64_t h) { return _zoFSO_GetMemoryPointer(h); }},
        {"_zoFSO_PDF_AddBox", Family::Fso, true, -1,
         [](int64_t h) { return _zoFSO_PDF_AddBox(h, 1, 2, 3, 4, 1, 1, 0, 0, 0, 1, 0, 0, 0, 0); }},
        {"_zoFSO_SetColor", Family::Fso, true, -1, [](int64_t h) { return _zoFSO_SetColor(h, "S", 1, 2, 3); }},
        {"_zoFSO_Substr", Family::Fso, true, -1,
         [](int64_t h) {
             char dst[4];
             return _zoFSO_Substr(h, 1, 1, dst);
         }},
        {"_zoFSO_Deallocate", Family::Fso, true, 0, [](int64_t h) { return _zoFSO_Deallocate(h); }},
        {"_zo_fontProcessor_AddText", Family::FontProcessor, true, 0,
         [](int64_t h) { return _zo_fontProcessor_AddText(h, "abc", 1252, "DejaVu Sans--000000"); }},
        {"_zo_fontProcessor_GetCount", Family::FontProcessor, true, 0,
         [](int64_t h) { return _zo_fontProcessor_GetCount(h); }},
        {"_zo_fontProcessor_WriteFontFiles", Family::FontProcessor, true, 0,
         [](int64_t h) { return _zo_fontProcessor_WriteFontFiles(h, "/nonexistent-kdlib-folder/"); }},
        {"_zo_fontProcessor_Destroy", Family::FontProcessor, true, 0,
         [](int64_t h) { return _zo_fontProcessor_Destroy(h); }},
        {"_kd_MakeUnicodeString char map", Family::CharMap, false, 0,
         [](int64_t h) { return reencode(int32_t(h), 0, 0); }},
        {"_kd_MakeUnicodeString glyph map", Family::GlyphMap, false, 0,
         [](int64_t h) { return reencode(liveChars, int32_t(h), 1); }},
        {"_kd_MUSRelease", Family::CharMap, false, 0, [](int64_t h) { return _kd_MUSRelease(int32_t(h), int32_t(h), 1); }},
        // An unusable handle is replaced by a fresh map (result 0 when so).
        {"_kd_MUSInit", Family::CharMap, false, 0,
         [](int64_t h) {
             int32_t chars = int32_t(h);
             _kd_MUSInit(&chars, nullptr, 0);
             const bool fresh = chars != int32_t(h) && alive(Family::CharMap, chars);
             _kd_MUSRelease(chars, 0, 0);
             return fresh ? 0 : 1;
         }},
        {"getFParam 10", Family::CharMap, false, -500,
         [](int64_t h) {
             std::vector<int32_t> record(1024);
             return getFParam("", "DejaVu Sans", 12, 0, 0, 10, record.data(), nullptr, 1252, nullptr, int32_t(h), nullptr);
         }},
        {"getFParam 21", Family::GlyphMap, false, -500,
         [](int64_t h) {
             int32_t record[4];
             return getFParam("", "DejaVu Sans", 12, 0, 0, 21, record, nullptr, 1252, nullptr, int32_t(h), nullptr);
         }},
    };
    return rows;
}

}  // namespace

TEST(HandleRegistry, HandlesAreNeverZeroAndWrongUseFindsNothing) {
    auto& r = HandleRegistry::instance();
    int32_t h = r.add(std::make_unique<Counter>(5));
    ASSERT_GT(h, 0);
    EXPECT_EQ(r.find<Counter>(h)->value, 5);
    EXPECT_EQ(r.find<Counter>(int64_t{h} + (int64_t{1} << 32)), nullptr);
    EXPECT_EQ(r.find<kd::Fso>(h), nullptr);  // a handle of another family
    EXPECT_FALSE(r.release<kd::Fso>(h));
    EXPECT_TRUE(r.release<Counter>(h));
    EXPECT_FALSE(r.release<Counter>(h));
    int32_t next = r.add(std::make_unique<Counter>(6));
    EXPECT_NE(next, h);  // not handed out again at once
    r.release<Counter>(next);
    EXPECT_EQ(r.add(std::unique_ptr<Counter>()), 0);
}

// Handle 0, negative, unknown, past 32 bits, released and of another family:
// each export returns its failure value and touches no live object.
TEST(HandleRegistry, EveryExportRefusesHandlesItDoesNotOwn) {
    for (const Export& e : exportsTakingHandles()) {
        SCOPED_TRACE(e.name);
        const Family otherFamily = e.family == Family::Fso ? Family::CharMap : Family::Fso;
        const int64_t own = make(e.family), other = make(otherFamily), released = make(e.family);
        drop(e.family, released);
        std::vector<int64_t> bad{0, -5, 0x7FFFFFF0, released, other};
        if (e.wide && sizeof(intptr_t) > 4) bad.insert(bad.end(), {(int64_t{1} << 32) + 1, own + (int64_t{1} << 32)});
        for (int64_t h : bad) EXPECT_EQ(e.call(h), e.failure) << "handle " << h;
        EXPECT_TRUE(alive(e.family, own));
        EXPECT_TRUE(alive(otherFamily, other));
        drop(e.family, own);
        drop(otherFamily, other);
    }
}

TEST(HandleRegistry, ManyThreadsCreateUseAndRelease) {
    auto& r = HandleRegistry::instance();
    size_t before = r.size();
    int liveBefore = Counter::live;
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            std::vector<int32_t> mine;
            for (int i = 0; i < 3000; ++i) {
                int tag = t * 100000 + i;
                int32_t h = r.add(std::make_unique<Counter>(tag));
                if (h <= 0) ++wrong;
                mine.push_back(h);
                Counter* c = r.find<Counter>(h);
                if (!c || c->value != tag) ++wrong;
                if (i % 3 == 2) {
                    // Release an older one of ours and check it is gone.
                    int32_t old = mine[mine.size() - 2];
                    if (!r.release<Counter>(old)) ++wrong;
                    mine.erase(mine.end() - 2);
                }
            }
            for (int32_t h : mine) {
                Counter* c = r.find<Counter>(h);
                if (!c || c->value / 100000 != t) ++wrong;
                if (!r.release<Counter>(h)) ++wrong;
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(r.size(), before);
    EXPECT_EQ(Counter::live, liveBefore);
}

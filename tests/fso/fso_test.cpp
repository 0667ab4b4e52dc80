#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "kdlib.h"

namespace {

// The content, read the way the host does: through the 32-bit address.
std::string viaPointer(intptr_t h) {
    const int32_t address = _zoFSO_GetMemoryPointer(h);
    const int32_t length = _zoFSO_GetLength(h);
    if (address == 0 || length <= 0) return std::string();
    const char* p = reinterpret_cast<const char*>(static_cast<uintptr_t>(static_cast<uint32_t>(address)));
    return std::string(p, static_cast<size_t>(length));
}

struct FsoHandle {
    intptr_t h;
    explicit FsoHandle(int32_t step) : h(_zoFSO_setup(step)) {}
    ~FsoHandle() { _zoFSO_Deallocate(h); }
    void reset() { _zoFSO_Assign(h, nullptr, 0); }
};

}  // namespace

// Append and Assign return the new length plus the count; sizes that are
// negative or would pass 32 bits fail before any byte is read and leave the
// content and its address alone.
TEST(Fso, AppendAssignAndTheirLimits) {
    FsoHandle f(100);
    EXPECT_EQ(_zoFSO_GetMemoryPointer(f.h), 0);
    const std::string a(250, 'a');
    EXPECT_EQ(_zoFSO_Append(f.h, a.data(), 250), 500);
    EXPECT_EQ(_zoFSO_Append(f.h, "bc", 2), 254);
    EXPECT_EQ(viaPointer(f.h), a + "bc");
    const int32_t address = _zoFSO_GetMemoryPointer(f.h);
    EXPECT_EQ(_zoFSO_Assign(f.h, "xyz", 3), 6);
    EXPECT_EQ(_zoFSO_GetMemoryPointer(f.h), address);
    for (int32_t count : {INT_MAX, INT_MAX / 2, -1}) EXPECT_EQ(_zoFSO_Append(f.h, "x", count), -1) << count;
    EXPECT_EQ(_zoFSO_Assign(f.h, "x", -1), -1);
    EXPECT_EQ(_zoFSO_Append(f.h, nullptr, 4), -1);
    EXPECT_EQ(viaPointer(f.h), "xyz");
    EXPECT_EQ(_zoFSO_GetMemoryPointer(f.h), address);
    // A growth step that would take the capacity past 32 bits; steps that
    // would divide by zero or shrink.
    FsoHandle big(1 << 30);
    EXPECT_EQ(_zoFSO_Append(big.h, "x", (1 << 30) + 1), -1);
    EXPECT_EQ(_zoFSO_GetLength(big.h), 0);
    for (int32_t step : {0, -10}) EXPECT_EQ(_zoFSO_setup(step), 0) << step;
}

TEST(Fso, ReadsInsideTheContentOnly) {
    FsoHandle f(8);
    const uint8_t bytes[6] = {0x78, 0x56, 0x34, 0x12, 0xFF, 0xEE};
    _zoFSO_Append(f.h, bytes, 6);
    EXPECT_EQ(_zoFSO_GetInt(f.h, 1), 0x12345678);
    EXPECT_EQ(_zoFSO_GetInt(f.h, 3), static_cast<int32_t>(0xEEFF1234u));
    for (int32_t outside : {4, 0, INT_MAX}) EXPECT_EQ(_zoFSO_GetInt(f.h, outside), -1) << outside;
    char dst[8];
    std::memset(dst, '#', sizeof dst);
    EXPECT_EQ(_zoFSO_Substr(f.h, 2, 5, dst), 0);
    EXPECT_EQ(0, std::memcmp(dst, bytes + 1, 5));
    std::memset(dst, '#', sizeof dst);
    const int32_t outside[][2] = {{2, 6}, {0, 1}, {1, -1}, {INT_MAX, INT_MAX}};
    for (const auto& [start, count] : outside) EXPECT_EQ(_zoFSO_Substr(f.h, start, count, dst), -1) << start;
    EXPECT_EQ(std::string(dst, 8), "########");
    EXPECT_EQ(_zoFSO_Substr(f.h, 7, 0, dst), 0);  // empty range at the end
}

TEST(Fso, UnicodeAppendIsLittleEndian) {
    FsoHandle f(64);
    EXPECT_EQ(_zoFSO_AppendAsUnicode(f.h, "A\x80", 2, 1252), 8);  // 0x80: the euro sign
    EXPECT_EQ(_zoFSO_AppendAsUnicode(f.h, "\xC3\xA9\xF0\x9F\x98\x80", 6, 65001), 10 + 6);
    EXPECT_EQ(viaPointer(f.h), std::string("A\0\xAC\x20\xE9\0\x3D\xD8\x00\xDE", 10));
    EXPECT_EQ(_zoFSO_AppendAsUnicode(f.h, "A", 1, 12345), 0);  // unknown code page
    EXPECT_EQ(_zoFSO_GetLength(f.h), 10);
}

// Numbers are the C library's "C" locale text (its printf is the oracle)
// whatever locale the host sets (ps_AF's decimal point is two bytes long),
// and the host's locale stays as it is.
TEST(Fso, NumbersAreCLocalePrintfText) {
    const char* formats[] = {"%f %F %e %E", "%g %G %a %A", "%+08.3f|% -9.2e|%#.0f|%#g", "%'.2f %'12.1f %-+10.4g %#.3a",
                             "%010.2f %.10g %.0e %lf", "100%% %.1f"};
    const float values[][4] = {{1234567.5f, -0.0f, 0.5f, 1e-5f}, {3.25f, -2.0f, 99.995f, 4.0f},
                               {0.125f, 1e10f, -7.25f, 3.4e38f}, {INFINITY, NAN, 0.05f, 123456.0f}};
    std::string inC, boxesInC;  // printf's text, in the "C" locale
    for (const char* format : formats) {
        for (const auto& v : values) {
            char area[400];
            snprintf(area, sizeof area, format, double(v[0]), double(v[1]), double(v[2]), double(v[3]));
            inC += std::string(area) + "\n";
        }
    }
    struct Restore {
        ~Restore() { setlocale(LC_ALL, "C"); }
    } restore;
#ifdef _WIN32
    for (const char* name : {"C", "German_Germany.1252"}) {
#else
    for (const char* name : {"C", "de_DE.UTF-8", "ps_AF.UTF-8"}) {  // scripts/setup.sh generates them
#endif
        ASSERT_NE(setlocale(LC_ALL, name), nullptr) << name;
        const std::string set = setlocale(LC_ALL, nullptr);
        FsoHandle f(512);
        std::string all;
        for (const char* format : formats) {
            for (const auto& v : values) {
                const int32_t r = _zoFSO_FormatString4Float(f.h, format, v[0], v[1], v[2], v[3]);
                all += viaPointer(f.h) + "\n";
                EXPECT_EQ(r, static_cast<int32_t>(2 * _zoFSO_GetLength(f.h)));
                f.reset();
            }
        }
        EXPECT_EQ(all, inC) << name;
        _zoFSO_SetColor(f.h, "S", 255, 0, 128);
        _zoFSO_PDF_AddBox(f.h, 1234.5f, 100, 50.25f, 20, 1, 1, 10, 20, 30, 2, 0, 0, 0, 0);
        if (boxesInC.empty()) boxesInC = viaPointer(f.h);
        EXPECT_EQ(viaPointer(f.h), boxesInC) << name;
        EXPECT_EQ(setlocale(LC_ALL, nullptr), set);
    }
}

// Conversions that would read the floats as something else append nothing;
// longer text is cut to the 400-byte area.
TEST(Fso, FormatsAreCheckedAndCut) {
    FsoHandle f(64);
    for (const char* bad : {"%s", "%d", "%n", "%*f", "%1$f", "%Lf", "%f %f %f %f %f", "%"}) {
        EXPECT_EQ(_zoFSO_FormatString4Float(f.h, bad, 1, 2, 3, 4), -1) << bad;
    }
    EXPECT_EQ(_zoFSO_GetLength(f.h), 0);
    EXPECT_EQ(_zoFSO_FormatString4Float(f.h, "%396.1f|abcdef", 1, 0, 0, 0), 2 * 399);
    EXPECT_EQ(viaPointer(f.h), std::string(393, ' ') + "1.0|ab");
    EXPECT_EQ(_zoFSO_FormatString4Float(f.h, nullptr, 1, 0, 0, 0), 0);  // null format: empty text
}

TEST(Fso, ColoursAndBoxes) {
    FsoHandle f(64);
    EXPECT_EQ(_zoFSO_SetColor(f.h, "S", 255, 0, 128), 38);
    EXPECT_EQ(viaPointer(f.h), " 1.00 0.00 0.50 RG ");
    // A negative red: black; no operator: white fill.
    for (const char* op : {"n", static_cast<const char*>(nullptr)}) {
        f.reset();
        _zoFSO_SetColor(f.h, op, -1, 102, 204);
        EXPECT_EQ(viaPointer(f.h), op ? " 0.0 0.0 0.0 rg " : " 1.0 1.0 1.0 rg ");
    }
    // x, y, width, height, line width, fill (rgb), border (rgb), no rectangle.
    const struct {
        float x, y, w, h, line;
        int fill, fr, border, sr, noRect;
        std::string text;
    } boxes[] = {
        {10, 100, 50, 20, 1, 1, 255, 2, 0, 0,
         "q [11 4] 0 d  1.00 1.00 1.00 rg  0.00 0.00 0.00 RG 10.00 80.00 50.00 20.00 re  0.72 w h B Q "},
        {10, 100, 50, 20, 1, 0, 0, 0, 0, 0, ""},
        // No dash pattern, default stroke, no rectangle, zero line width.
        {1, 2, 3, 4, 0, 0, 0, 7, -1, 1, "q 0.0 0.0 0.0 RG  0.12 w h S Q "},
        {0, 0, 1, 1, 1, 0, 0, 4, 0, 1, "q [5 2 2 2 2 2] 0 d  0.00 0.00 0.00 RG  0.72 w h S Q "},
    };
    for (const auto& b : boxes) {
        f.reset();
        EXPECT_EQ(_zoFSO_PDF_AddBox(f.h, b.x, b.y, b.w, b.h, b.line, b.fill, b.fr, b.fr, b.fr, b.border, b.sr, 0, 0,
                                    b.noRect),
                  0);
        EXPECT_EQ(viaPointer(f.h), b.text);
    }
    // Huge coordinates: the rectangle piece is cut to its 112-byte area.
    f.reset();
    _zoFSO_PDF_AddBox(f.h, 3e38f, 3e38f, 3e38f, -3e38f, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0);
    const std::string head = "q 0.00 0.00 0.00 rg ", text = viaPointer(f.h);
    ASSERT_EQ(text.substr(0, head.size()), head);
    EXPECT_EQ(text.size(), head.size() + 111 + std::string(" 0.72 w h f Q ").size());
}

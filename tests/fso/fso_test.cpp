#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "frame/handle_registry.h"
#include "fso/fso.h"
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
};

// Tests reach the object to check the capacity arithmetic.
kd::Fso* object(intptr_t h) { return kd::HandleRegistry::instance().find<kd::Fso>(h); }

TEST(Fso, GrowthArithmeticAndResults) {
    FsoHandle f(100);
    ASSERT_NE(f.h, 0);
    EXPECT_EQ(_zoFSO_GetLength(f.h), 0);
    EXPECT_EQ(_zoFSO_GetMemoryPointer(f.h), 0);

    const std::string a(250, 'a'), b(50, 'b');
    EXPECT_EQ(_zoFSO_Append(f.h, a.data(), 250), 500);
    EXPECT_EQ(object(f.h)->capacity(), 300);
    EXPECT_EQ(_zoFSO_Append(f.h, b.data(), 50), 350);
    EXPECT_EQ(object(f.h)->capacity(), 300);
    EXPECT_EQ(_zoFSO_GetLength(f.h), 300);
    EXPECT_EQ(_zoFSO_Append(f.h, "c", 1), 302);
    EXPECT_EQ(object(f.h)->capacity(), 400);
    EXPECT_EQ(viaPointer(f.h), a + b + "c");
    EXPECT_EQ(_zoFSO_Append(f.h, "x", 0), 0);
    EXPECT_EQ(_zoFSO_GetLength(f.h), 301);

    FsoHandle g(1024);
    const std::string k(1024, 'k');
    EXPECT_EQ(_zoFSO_Append(g.h, k.data(), 1024), 2048);
    EXPECT_EQ(object(g.h)->capacity(), 2048);

    // Assign keeps the buffer and the capacity.
    const int32_t address = _zoFSO_GetMemoryPointer(f.h);
    EXPECT_EQ(_zoFSO_Assign(f.h, "xyz", 3), 6);
    EXPECT_EQ(_zoFSO_GetMemoryPointer(f.h), address);
    EXPECT_EQ(object(f.h)->capacity(), 400);
    EXPECT_EQ(viaPointer(f.h), "xyz");
    EXPECT_EQ(_zoFSO_Assign(f.h, nullptr, 0), 0);
    EXPECT_EQ(_zoFSO_GetLength(f.h), 0);
}

TEST(Fso, MissingAndBadHandles) {
    for (intptr_t h : {intptr_t{0}, intptr_t{0x7FFFFFF0}, static_cast<intptr_t>(0x100000001LL), intptr_t{-5}}) {
        EXPECT_EQ(_zoFSO_Append(h, "a", 1), 0);
        EXPECT_EQ(_zoFSO_Assign(h, "a", 1), 0);
        EXPECT_EQ(_zoFSO_AppendAsUnicode(h, "a", 1, 1252), 0);
        EXPECT_EQ(_zoFSO_FormatString4Float(h, "%f", 1, 2, 3, 4), -1);
        EXPECT_EQ(_zoFSO_SetColor(h, "S", 1, 2, 3), -1);
        EXPECT_EQ(_zoFSO_PDF_AddBox(h, 1, 2, 3, 4, 1, 1, 0, 0, 0, 1, 0, 0, 0, 0), -1);
        EXPECT_EQ(_zoFSO_GetLength(h), -1);
        EXPECT_EQ(_zoFSO_GetMemoryPointer(h), -1);
        EXPECT_EQ(_zoFSO_GetInt(h, 1), -1);
        char dst[4];
        EXPECT_EQ(_zoFSO_Substr(h, 1, 1, dst), -1);
        EXPECT_EQ(_zoFSO_Deallocate(h), 0);
    }
    // A released handle is unknown.
    const intptr_t h = _zoFSO_setup(16);
    _zoFSO_Deallocate(h);
    EXPECT_EQ(_zoFSO_GetLength(h), -1);
    // Growth steps that would divide by zero or shrink are refused.
    EXPECT_EQ(_zoFSO_setup(0), 0);
    EXPECT_EQ(_zoFSO_setup(-10), 0);
}

TEST(Fso, ReadsInsideTheContentOnly) {
    FsoHandle f(8);
    const uint8_t bytes[6] = {0x78, 0x56, 0x34, 0x12, 0xFF, 0xEE};
    _zoFSO_Append(f.h, bytes, 6);
    EXPECT_EQ(_zoFSO_GetInt(f.h, 1), 0x12345678);
    EXPECT_EQ(_zoFSO_GetInt(f.h, 3), static_cast<int32_t>(0xEEFF1234u));
    EXPECT_EQ(_zoFSO_GetInt(f.h, 4), -1);  // would read past the content
    EXPECT_EQ(_zoFSO_GetInt(f.h, 0), -1);
    EXPECT_EQ(_zoFSO_GetInt(f.h, INT_MAX), -1);

    char dst[8];
    std::memset(dst, '#', sizeof dst);
    EXPECT_EQ(_zoFSO_Substr(f.h, 2, 5, dst), 0);
    EXPECT_EQ(0, std::memcmp(dst, bytes + 1, 5));
    std::memset(dst, '#', sizeof dst);
    EXPECT_EQ(_zoFSO_Substr(f.h, 2, 6, dst), -1);
    EXPECT_EQ(_zoFSO_Substr(f.h, 0, 1, dst), -1);
    EXPECT_EQ(_zoFSO_Substr(f.h, 1, -1, dst), -1);
    EXPECT_EQ(_zoFSO_Substr(f.h, INT_MAX, INT_MAX, dst), -1);
    for (char c : dst) EXPECT_EQ(c, '#');
    EXPECT_EQ(_zoFSO_Substr(f.h, 7, 0, dst), 0);  // empty range at the end

    FsoHandle empty(8);
    EXPECT_EQ(_zoFSO_GetInt(empty.h, 1), -1);
    EXPECT_EQ(_zoFSO_Substr(empty.h, 1, 1, dst), -1);
}

TEST(Fso, SizesPast32BitsFailAndLeaveTheContent) {
    FsoHandle f(16);
    _zoFSO_Append(f.h, "abc", 3);
    const int32_t address = _zoFSO_GetMemoryPointer(f.h);
    // Rejected before any byte is read, so a small buffer is enough.
    EXPECT_EQ(_zoFSO_Append(f.h, "x", INT_MAX), -1);
    EXPECT_EQ(_zoFSO_Append(f.h, "x", INT_MAX / 2), -1);  // the result would not fit
    EXPECT_EQ(_zoFSO_Append(f.h, "x", -1), -1);
    EXPECT_EQ(_zoFSO_Assign(f.h, "x", -1), -1);
    EXPECT_EQ(_zoFSO_Append(f.h, nullptr, 4), -1);
    EXPECT_EQ(viaPointer(f.h), "abc");
    EXPECT_EQ(_zoFSO_GetMemoryPointer(f.h), address);

    // A growth step that would take the capacity past 32 bits.
    FsoHandle big(1 << 30);
    EXPECT_EQ(_zoFSO_Append(big.h, "x", (1 << 30) + 1), -1);
    EXPECT_EQ(_zoFSO_GetLength(big.h), 0);
    EXPECT_EQ(_zoFSO_GetMemoryPointer(big.h), 0);
}

TEST(Fso, UnicodeAppend) {
    FsoHandle f(64);
    EXPECT_EQ(_zoFSO_AppendAsUnicode(f.h, "AB", 2, 1252), 8);
    EXPECT_EQ(viaPointer(f.h), std::string("A\0B\0", 4));
    EXPECT_EQ(_zoFSO_AppendAsUnicode(f.h, "\xC3\xA9\xF0\x9F\x98\x80", 6, 65001), 10 + 6);
    EXPECT_EQ(viaPointer(f.h), std::string("A\0B\0\xE9\0\x3D\xD8\x00\xDE", 10));
    EXPECT_EQ(_zoFSO_AppendAsUnicode(f.h, "\x80", 1, 1252), 12 + 2);  // euro sign
    EXPECT_EQ(viaPointer(f.h).substr(10), std::string("\xAC\x20", 2));
    EXPECT_EQ(_zoFSO_AppendAsUnicode(f.h, "A", 0, 1252), 0);
    EXPECT_EQ(_zoFSO_AppendAsUnicode(f.h, nullptr, 3, 1252), 0);
    EXPECT_EQ(_zoFSO_AppendAsUnicode(f.h, "A", 1, 12345), 0);  // unknown code page
    EXPECT_EQ(_zoFSO_GetLength(f.h), 12);
}

TEST(Fso, FormattedFloats) {
    FsoHandle f(64);
    const std::string expected = "1.50 -2 3.250 4e+00";
    EXPECT_EQ(_zoFSO_FormatString4Float(f.h, "%.2f %g %.3f %.0e", 1.5f, -2.0f, 3.25f, 4.0f),
              static_cast<int32_t>(2 * expected.size()));
    EXPECT_EQ(viaPointer(f.h), expected);
    _zoFSO_Assign(f.h, nullptr, 0);
    EXPECT_EQ(_zoFSO_FormatString4Float(f.h, "100%% %lf", 0.5f, 0, 0, 0), 2 * 13);
    EXPECT_EQ(viaPointer(f.h), "100% 0.500000");

    // Conversions that would read the floats as something else are refused.
    for (const char* bad : {"%s", "%d", "%n", "%*f", "%1$f", "%Lf", "%f %f %f %f %f", "%"}) {
        EXPECT_EQ(_zoFSO_FormatString4Float(f.h, bad, 1, 2, 3, 4), -1) << bad;
    }
    EXPECT_EQ(_zoFSO_GetLength(f.h), 13);

    // Longer text is cut to the 400-byte area.
    _zoFSO_Assign(f.h, nullptr, 0);
    EXPECT_EQ(_zoFSO_FormatString4Float(f.h, "%396.1f|abcdef", 1, 0, 0, 0), 2 * 399);
    EXPECT_EQ(viaPointer(f.h), std::string(393, ' ') + "1.0|ab");
    EXPECT_EQ(_zoFSO_FormatString4Float(f.h, nullptr, 1, 0, 0, 0), 0);  // null format: empty text
}

// Whatever locale the host sets (ps_AF's decimal point is two bytes long),
// the builder writes its "C" locale text, the C library's own printf text,
// and leaves the host's locale as it is.
TEST(Fso, NumbersIgnoreTheHostLocale) {
    const char* formats[] = {"%f %F %e %E", "%g %G %a %A", "%+08.3f|% -9.2e|%#.0f|%#g", "%'.2f %'12.1f %-+10.4g %#.3a",
                             "%010.2f %.10g %.0e %lf"};
    const float values[][4] = {{1234567.5f, -0.0f, 0.5f, 1e-5f}, {3.25f, -2.0f, 99.995f, 4.0f},
                               {0.125f, 1e10f, -7.25f, 3.4e38f}, {INFINITY, NAN, 0.05f, 123456.0f}};
    auto build = [&](bool againstPrintf) {
        FsoHandle f(512);
        std::string all;
        for (const char* format : formats) {
            for (const auto& v : values) {
                _zoFSO_Assign(f.h, nullptr, 0);
                _zoFSO_FormatString4Float(f.h, format, v[0], v[1], v[2], v[3]);
                all += viaPointer(f.h) + "\n";
                char area[400];
                snprintf(area, sizeof area, format, double(v[0]), double(v[1]), double(v[2]), double(v[3]));
                if (againstPrintf) {
                    EXPECT_EQ(viaPointer(f.h), area) << format;
                }
            }
        }
        _zoFSO_Assign(f.h, nullptr, 0);
        _zoFSO_SetColor(f.h, "S", 255, 0, 128);
        _zoFSO_PDF_AddBox(f.h, 1234.5f, 100, 50.25f, 20, 1, 1, 10, 20, 30, 2, 0, 0, 0, 0);
        return all + viaPointer(f.h);
    };
    struct Restore {
        ~Restore() { setlocale(LC_ALL, "C"); }
    } restore;
    const std::string inC = build(true);
#ifdef _WIN32
    for (const char* name : {"German_Germany.1252"}) {
#else
    for (const char* name : {"de_DE.UTF-8", "ps_AF.UTF-8"}) {  // scripts/setup.sh generates them
#endif
        ASSERT_NE(setlocale(LC_ALL, name), nullptr) << name;
        const std::string set = setlocale(LC_ALL, nullptr);
        char probe[16];
        snprintf(probe, sizeof probe, "%.1f", 0.5);
        EXPECT_STRNE(probe, "0.5") << name;
        EXPECT_EQ(build(false), inC) << name;
        EXPECT_EQ(setlocale(LC_ALL, nullptr), set);
    }
}

TEST(Fso, Colours) {
    FsoHandle f(64);
    EXPECT_EQ(_zoFSO_SetColor(f.h, "S", 255, 0, 128), 38);
    EXPECT_EQ(viaPointer(f.h), " 1.00 0.00 0.50 RG ");
    const std::pair<const char*, const char*> noColour[] = {
        {"S", " 0.0 0.0 0.0 RG "}, {"n", " 0.0 0.0 0.0 rg "}, {"f", " 1.0 1.0 1.0 rg "}, {nullptr, " 1.0 1.0 1.0 rg "}};
    for (const auto& [op, text] : noColour) {
        _zoFSO_Assign(f.h, nullptr, 0);
        _zoFSO_SetColor(f.h, op, -1, 7, 7);
        EXPECT_EQ(viaPointer(f.h), text);
    }
    _zoFSO_Assign(f.h, nullptr, 0);
    _zoFSO_SetColor(f.h, "fill", 51, 102, 204);
    EXPECT_EQ(viaPointer(f.h), " 0.20 0.40 0.80 rg ");
}

TEST(Fso, Boxes) {
    FsoHandle f(32);
    EXPECT_EQ(_zoFSO_PDF_AddBox(f.h, 10, 100, 50, 20, 1, 1, 255, 255, 255, 2, 0, 0, 0, 0), 0);
    EXPECT_EQ(viaPointer(f.h),
              "q [11 4] 0 d  1.00 1.00 1.00 rg  0.00 0.00 0.00 RG 10.00 80.00 50.00 20.00 re  0.72 w h B Q ");

    _zoFSO_Assign(f.h, nullptr, 0);
    EXPECT_EQ(_zoFSO_PDF_AddBox(f.h, 10, 100, 50, 20, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0), 0);
    EXPECT_EQ(_zoFSO_GetLength(f.h), 0);

    // Border 7: no dash pattern, black default stroke, no rectangle, zero
    // line width becomes 0.12.
    EXPECT_EQ(_zoFSO_PDF_AddBox(f.h, 1, 2, 3, 4, 0, 0, 0, 0, 0, 7, -1, 0, 0, 1), 0);
    EXPECT_EQ(viaPointer(f.h), "q 0.0 0.0 0.0 RG  0.12 w h S Q ");

    _zoFSO_Assign(f.h, nullptr, 0);
    _zoFSO_PDF_AddBox(f.h, 0, 0, 1, 1, 2, 1, -1, 0, 0, 1, 0, 0, 0, 0);
    EXPECT_EQ(viaPointer(f.h), "q [2.2] 0 d  1.0 1.0 1.0 rg  0.00 0.00 0.00 RG  0.00 -1.00  1.00  1.00 re  1.44 w h B Q ");

    for (int border : {3, 4}) {
        _zoFSO_Assign(f.h, nullptr, 0);
        _zoFSO_PDF_AddBox(f.h, 0, 0, 1, 1, 1, 0, 0, 0, 0, border, 0, 0, 0, 1);
        EXPECT_EQ(viaPointer(f.h).substr(0, border == 3 ? 16 : 20), border == 3 ? "q [5 4 2 4] 0 d " : "q [5 2 2 2 2 2] 0 d ");
    }

    // Huge coordinates: the rectangle piece is cut to its 112-byte area.
    _zoFSO_Assign(f.h, nullptr, 0);
    _zoFSO_PDF_AddBox(f.h, 3e38f, 3e38f, 3e38f, -3e38f, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0);
    const std::string text = viaPointer(f.h);
    const std::string head = "q 0.00 0.00 0.00 rg ";
    ASSERT_EQ(text.substr(0, head.size()), head);
    EXPECT_EQ(text.size(), head.size() + 111 + std::string(" 0.72 w h f Q ").size());
}

}  // namespace

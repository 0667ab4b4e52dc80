#include <gtest/gtest.h>

#include <string>

#include "frame/code_pages.h"
#include "frame/platform/platform.h"

using kd::toUtf16;

namespace {
std::u16string conv(unsigned cp, const std::string& bytes) { return toUtf16(cp, bytes.data(), static_cast<int>(bytes.size())); }
}  // namespace

TEST(CodePages, WindowsSingleBytePages) {
    EXPECT_EQ(conv(1252, "\x80\x81\xE9" "A"), std::u16string(u"\u20AC\u0081\u00E9A"));
    EXPECT_EQ(conv(1252, "\x9D\xA0"), std::u16string(u"\u009D\u00A0"));
    EXPECT_EQ(conv(0, "\x80"), std::u16string(u"\u20AC"));  // the ANSI code page is 1252
    EXPECT_EQ(conv(1251, "\xC0\xFF\x88"), std::u16string(u"\u0410\u044F\u20AC"));
    EXPECT_EQ(conv(1253, "\xC1\xE1"), std::u16string(u"\u0391\u03B1"));
    EXPECT_EQ(conv(1255, "\xE0\xFA"), std::u16string(u"\u05D0\u05EA"));
    EXPECT_EQ(conv(1256, "\xC7\xE1"), std::u16string(u"\u0627\u0644"));
    // Bytes the published table leaves undefined: Windows' private-use
    // characters where it has them, else U+FFFD.
    EXPECT_EQ(conv(874, "\xA1\xDB\x85"), std::u16string(u"\u0E01\uF8C1\u2026"));
    EXPECT_EQ(conv(1255, "\xCA\xFF\xFD"), std::u16string(u"\u05BA\uF896\u200E"));
    EXPECT_EQ(conv(1253, "\xAA\xD2"), std::u16string(u"\uF8F9\uF8FA"));
    EXPECT_EQ(conv(1257, "\xA1\xA5"), std::u16string(u"\uF8FC\uF8FD"));
    EXPECT_EQ(conv(1250, "\x8A\xB9"), std::u16string(u"\u0160\u0105"));
}

TEST(CodePages, SymbolPage) {
    EXPECT_EQ(conv(42, std::string("\x41\x1F\xFF", 3)), std::u16string(u"\uF041\u001F\uF0FF"));
    // Symbol and UTF-8 refuse MB_PRECOMPOSED, as Windows does.
    char16_t out[4];
    EXPECT_EQ(kd::platform::multiByteToWideChar(42, kd::platform::kPrecomposed, "A", 1, out, 4), 0);
#ifndef _WIN32
    // (Wine accepts the flag for UTF-8, where Windows refuses it.)
    EXPECT_EQ(kd::platform::multiByteToWideChar(65001, kd::platform::kPrecomposed, "A", 1, out, 4), 0);
#endif
}

TEST(CodePages, Utf8) {
    EXPECT_EQ(conv(65001, "A\xC3\xA9\xE2\x82\xAC"), std::u16string(u"A\u00E9\u20AC"));
    EXPECT_EQ(conv(65001, "\xF0\x9F\x98\x80"), std::u16string(u"\xD83D\xDE00"));  // a four-byte sequence: two units
    EXPECT_EQ(conv(65001, "a\xFF" "b"), std::u16string(u"a\uFFFDb"));
    EXPECT_EQ(conv(65001, "\xC0\xAF"), std::u16string(u"\uFFFD\uFFFD"));            // overlong
#ifndef _WIN32
    // (Wine makes two replacement characters of it.)
    EXPECT_EQ(conv(65001, "\xED\xA0\x80"), std::u16string(u"\uFFFD\uFFFD\uFFFD"));  // an encoded surrogate
#endif
    EXPECT_EQ(conv(65001, "\xE2\x82"), std::u16string(u"\uFFFD"));                  // truncated
}

TEST(CodePages, DoubleBytePagesThroughTheCLibrary) {
    EXPECT_EQ(conv(932, "\x93\xFA\x96\x7B" "A"), std::u16string(u"\u65E5\u672CA"));
    EXPECT_EQ(conv(936, "\xD6\xD0"), std::u16string(u"\u4E2D"));
    EXPECT_EQ(conv(949, "\xC7\xD1"), std::u16string(u"\uD55C"));
    EXPECT_EQ(conv(950, "\xA4\xA4"), std::u16string(u"\u4E2D"));
}

TEST(CodePages, FailuresGiveNoUnits) {
    EXPECT_TRUE(conv(12345, "abc").empty());  // unknown code page
    EXPECT_TRUE(conv(1252, "").empty());
    char16_t out[2];
    EXPECT_EQ(kd::toUtf16(1252, nullptr, 3, out, 2), 0);
    // Too little room fails rather than cutting.
    EXPECT_EQ(kd::platform::multiByteToWideChar(1252, 1, "abc", 3, out, 2), 0);
    EXPECT_EQ(kd::platform::multiByteToWideChar(1252, 1, "abc", 3, nullptr, 0), 3);
}

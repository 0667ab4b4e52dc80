#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/test_support.h"
#include "frame/code_pages.h"
#include "frame/platform/platform.h"
#include "kdlib.h"

using kd::toUtf16;

namespace {

std::u16string conv(unsigned cp, const std::string& bytes) { return toUtf16(cp, bytes.data(), static_cast<int>(bytes.size())); }

// Python's decoding of bytes under each code page (UTF-16BE in hex), one
// entry per code page.
std::vector<std::string> pythonDecodes(const std::string& bytes, const std::vector<unsigned>& codePages) {
    kdtest::TempDir dir;
    kdtest::writeFile(dir.file("bytes"), bytes);
    std::vector<std::string> args{"decode", dir.file("bytes")};
    for (unsigned cp : codePages) args.push_back(std::to_string(cp));
    const kdtest::OracleAnswer answer = kdtest::runOracle("unicode_oracle.py", args);
    EXPECT_EQ(answer.status, 0);
    std::vector<std::string> decoded(codePages.size());
    for (size_t i = 0; i < decoded.size() && i < answer.lines.size(); ++i) decoded[i] = answer.lines[i].first;
    return decoded;
}

}  // namespace

// Every byte of every single-byte Windows page, through the export hosts
// call, against Python's codecs.
TEST(CodePages, SingleBytePagesAgreeWithPythonByteByByte) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    const std::vector<unsigned> pages{874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258};
    const std::vector<std::string> expected = pythonDecodes(all, pages);
    for (size_t i = 0; i < pages.size(); ++i) {
        char viaExport[512];
        ASSERT_EQ(_kd_ToUnicode(all.data(), 256, viaExport, static_cast<int32_t>(pages[i])), 256);
        EXPECT_EQ(kdtest::hexOf(viaExport, 512), expected[i]) << pages[i];
    }
    EXPECT_EQ(conv(0, all), conv(1252, all));  // the ANSI code page is 1252
}

#ifndef _WIN32
// (Windows decodes UTF-8 itself; Wine splits some ill-formed parts
// differently.)
TEST(CodePages, Utf8IsStrictLikePython) {
    // Each lead byte with second bytes at the edges of every range (overlong
    // forms, surrogates, beyond U+10FFFF), then a continuation byte or not.
    std::string text = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    for (int lead = 0x80; lead < 0x100; ++lead) {
        for (int second : {0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0}) {
            for (const char* rest : {"\x80\x80", "\xBF", "A"}) {
                text += {static_cast<char>(lead), static_cast<char>(second)};
                text += std::string(rest) + "z";
            }
        }
    }
    text += "\xE2\x82";  // cut short at the end
    std::string bigEndian(2 * text.size(), '\0');
    const int32_t units = _kd_ToUnicode(text.data(), static_cast<int32_t>(text.size()), bigEndian.data(), 65001);
    EXPECT_EQ(kdtest::hexOf(bigEndian.data(), 2 * static_cast<size_t>(units)), pythonDecodes(text, {65001})[0]);
}
#endif

// Symbol maps into the private-use area; double-byte pages (here Shift JIS)
// go through the C library.
TEST(CodePages, SymbolAndDoubleBytePages) {
    EXPECT_EQ(conv(42, std::string("\x41\x1F\xFF", 3)), std::u16string(u"\uF041\u001F\uF0FF"));
    EXPECT_EQ(conv(932, "\x93\xFA\x96\x7B" "A"), std::u16string(u"\u65E5\u672CA"));
}

TEST(CodePages, FailuresGiveNoUnits) {
    EXPECT_TRUE(conv(12345, "abc").empty());  // unknown code page
    char16_t out[4];
    EXPECT_EQ(kd::toUtf16(1252, nullptr, 3, out, 2), 0);
    // Too little room fails rather than cutting.
    EXPECT_EQ(kd::platform::multiByteToWideChar(1252, 1, "abc", 3, out, 2), 0);
    EXPECT_EQ(kd::platform::multiByteToWideChar(1252, 1, "abc", 3, nullptr, 0), 3);
    // Symbol refuses MB_PRECOMPOSED, as Windows does.
    EXPECT_EQ(kd::platform::multiByteToWideChar(42, kd::platform::kPrecomposed, "A", 1, out, 4), 0);
}

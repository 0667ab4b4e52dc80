#include <gtest/gtest.h>

#include <string>

#include "kdlib.h"
#include "text/pdf_strings.h"

namespace {

std::string escape(const std::string& text, const char* lineBreak, char* usedMap = nullptr) {
    const size_t bound = kd::escapedSizeBound(static_cast<int64_t>(text.size()), lineBreak);
    std::string out(bound + 1, '~');
    const int32_t n = mkPDFString(text.data(), static_cast<int32_t>(text.size()), lineBreak, out.data(), usedMap);
    EXPECT_LE(static_cast<size_t>(n), bound);
    EXPECT_EQ(out.back(), '~');
    out.resize(static_cast<size_t>(n));
    return out;
}

// Reads a PDF literal string body back (PDF escape rules).
std::string unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        const size_t k = s[i] == '\\' ? std::string("nrtbf").find(s[++i]) : std::string::npos;
        out += k == std::string::npos ? s[i] : "\n\r\t\b\f"[k];
    }
    return out;
}

std::string picture(const std::string& text) {
    std::string out(text.size(), '~');
    EXPECT_EQ(convertFormatString(text.data(), static_cast<int32_t>(text.size()), out.data()),
              static_cast<int32_t>(text.size()));
    return out;
}

}  // namespace

TEST(PdfStrings, Escapes) {
    EXPECT_EQ(escape("a(b)c\\d", ""), "a\\(b\\)c\\\\d");
    EXPECT_EQ(escape("x\r\ny", ") ' ("), "x) ' (y");
    EXPECT_EQ(escape("x\r\ny", nullptr), "x\\r\\ny");
    EXPECT_EQ(escape("\b\t\f\x80\xFF", ""), "\\b\\t\f\x80\xFF");
    EXPECT_EQ(escape("a\nb\rc", "T*"), "abT*c");  // a lone LF vanishes, a lone CR is replaced
    EXPECT_EQ(escape("\r\r", "LONGER"), "LONGERLONGER");
    char out[4] = {'~', '~', '~', '~'};
    EXPECT_EQ(mkPDFString("ab", -1, "", out, nullptr), 0);
    EXPECT_EQ(mkPDFString(nullptr, 2, "", out, nullptr), 0);
    EXPECT_EQ(mkPDFString("ab", 2, "", nullptr, nullptr), 0);
    EXPECT_EQ(std::string(out, 4), "~~~~");
}

// Every byte of the text marks its entry with '!' (byte 0 too), unless the
// map's first byte is 0; an empty text marks nothing.
TEST(PdfStrings, UsedByteMap) {
    std::string map(256, ' '), all;
    escape("AA", "", map.data());
    escape("", "", map.data());
    EXPECT_EQ(map, std::string(65, ' ') + "!" + std::string(190, ' '));
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    escape(all, "", map.data());
    EXPECT_EQ(map, std::string(256, '!'));
    std::string off(256, '\0');
    escape(all, "", off.data());
    EXPECT_EQ(off, std::string(256, '\0'));
}

// Every byte, each beside one the escape rules name, reads back.
TEST(PdfStrings, EveryByteReadsBack) {
    std::string text;
    for (int b = 0; b < 256; ++b) text += {static_cast<char>(b), "()\\\r\n\t\b"[b % 7], static_cast<char>(255 - b)};
    EXPECT_EQ(unescape(escape(text, "")), text);
    std::string expected;
    for (char c : text) {
        if (c == '\r') expected += "\x01\x02";
        else if (c != '\n') expected += c;
    }
    EXPECT_EQ(unescape(escape(text, "\x01\x02")), expected);
}

TEST(PdfStrings, NumberPictures) {
    EXPECT_EQ(picture("999,999.99"), "###,##0.00");
    EXPECT_EQ(picture("9.9.9"), "0.0.0");
    EXPECT_EQ(picture("$ #,##9.9 %"), "$ #,##0.0 %");
    EXPECT_EQ(picture("9 .9"), "# .0");  // only a "#" right before the point turns
    char out[2] = {'~', '~'};
    EXPECT_EQ(convertFormatString("99", 0, out), 0);
    EXPECT_EQ(convertFormatString(nullptr, 2, out), 0);
    EXPECT_EQ(convertFormatString("99", 2, nullptr), 0);
    EXPECT_EQ(std::string(out, 2), "~~");
}

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "kdlib.h"

namespace {

using kdtest::readText;
using kdtest::writeFile;

std::string randomText(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>(rng());
    return s;
}

std::string encode(const kdtest::TempDir& dir, const std::string& data) {
    writeFile(dir.file("plain"), data);
    EXPECT_EQ(base64(dir.file("plain").c_str(), dir.file("b64").c_str()), 0);
    return readText(dir.file("b64"));
}

// esab64 of text; what it wrote and what it said on standard error.
std::pair<std::string, std::string> decode(const kdtest::TempDir& dir, const std::string& text) {
    writeFile(dir.file("b64in"), text);
    testing::internal::CaptureStderr();
    EXPECT_EQ(esab64(dir.file("b64in").c_str(), dir.file("decoded").c_str()), 0);
    std::string messages = testing::internal::GetCapturedStderr();
    return {readText(dir.file("decoded")), messages};
}

TEST(Base64, ShortInputsAndLineBreaks) {
    kdtest::TempDir dir;
    EXPECT_EQ(encode(dir, "abc"), "YWJj\r\n");
    EXPECT_EQ(encode(dir, "a"), "YQ==\r\n");
    EXPECT_EQ(encode(dir, "ab"), "YWI=\r\n");
    EXPECT_EQ(encode(dir, ""), "\r\n");
    const std::string fiftySeven = encode(dir, std::string(57, 'z'));
    ASSERT_EQ(fiftySeven.size(), 72 + 2 + 4 + 2u);
    EXPECT_EQ(fiftySeven.substr(72, 2), "\r\n");
    EXPECT_EQ(fiftySeven.substr(78), "\r\n");
    // Exactly one full line: no empty line before the final break.
    EXPECT_EQ(encode(dir, std::string(54, 'z')).size(), 74u);
}

TEST(Base64, LongDataDecodesWithAnotherDecoderAndLinesAre72) {
    kdtest::TempDir dir;
    // Sizes around the 256-byte input buffer, which 3 does not divide.
    for (size_t n : {255u, 256u, 257u, 768u, 100000u}) {
        const std::string data = randomText(n, static_cast<unsigned>(n));
        const std::string text = encode(dir, data);
        size_t pos = 0, lines = 0;
        while (pos < text.size()) {
            const size_t end = text.find("\r\n", pos);
            ASSERT_NE(end, std::string::npos);
            const size_t len = end - pos;
            if (end + 2 < text.size()) {
                EXPECT_EQ(len, 72u);
            } else {
                EXPECT_LE(len, 72u);
            }
            pos = end + 2;
            ++lines;
        }
        EXPECT_EQ(lines, (((n + 2) / 3 * 4) + 71) / 72);
        std::string decoded;
        ASSERT_EQ(kdtest::run("/usr/bin/python3 -c 'import base64,sys; "
                              "sys.stdout.buffer.write(base64.b64decode(open(sys.argv[1],\"rb\").read()).hex().encode())' " +
                                  kdtest::quote(dir.file("b64")),
                              &decoded),
                  0);
        EXPECT_EQ(decoded, kdtest::hexOf(data.data(), data.size())) << n;
        // And back through esab64.
        auto [bytes, messages] = decode(dir, text);
        EXPECT_EQ(bytes, data);
        EXPECT_EQ(messages, "");
    }
}

TEST(Base64, DecodingRulesAndMessages) {
    kdtest::TempDir dir;
    EXPECT_EQ(decode(dir, "YW\r\nJj"), std::make_pair(std::string("abc"), std::string()));
    EXPECT_EQ(decode(dir, " Y W J j \t"), std::make_pair(std::string("abc"), std::string()));
    EXPECT_EQ(decode(dir, "YWJ"), std::make_pair(std::string(), std::string("Input file incomplete.\n")));
    EXPECT_EQ(decode(dir, "YWJjYQ"), std::make_pair(std::string("abc"), std::string("Input file incomplete.\n")));
    EXPECT_EQ(decode(dir, "YW*j"), std::make_pair(std::string(), std::string("Illegal character '*' in input file.\n")));
    // Bytes decoded before the illegal one stay in the output.
    EXPECT_EQ(decode(dir, "YWJjYW\xC3j"),
              std::make_pair(std::string("abc"), std::string("Illegal character '\xC3' in input file.\n")));
    // "=" ends the data; what follows is not read.
    EXPECT_EQ(decode(dir, "YQ==YWJj"), std::make_pair(std::string("a"), std::string()));
    EXPECT_EQ(decode(dir, "YWI=!!!!"), std::make_pair(std::string("ab"), std::string()));
    EXPECT_EQ(decode(dir, ""), std::make_pair(std::string(), std::string()));
}

TEST(Base64, FilesThatCannotBeOpened) {
    kdtest::TempDir dir;
    writeFile(dir.file("in"), "abc");
    testing::internal::CaptureStderr();
    base64(dir.file("missing").c_str(), dir.file("out").c_str());
    esab64(dir.path().c_str(), dir.file("out").c_str());
    base64(dir.file("in").c_str(), dir.file("no/dir/out").c_str());
    // Writing over the input would destroy it: refused.
    base64(dir.file("in").c_str(), dir.file("in").c_str());
    base64(nullptr, nullptr);
    const std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_EQ(messages, "Cannot open input file " + dir.file("missing") + "\n" + "Cannot open input file " +
                            dir.path() + "\n" + "Cannot open output file " + dir.file("no/dir/out") + "\n" +
                            "Cannot open output file " + dir.file("in") + "\n" + "Cannot open input file \n");
    EXPECT_EQ(readText(dir.file("in")), "abc");
    EXPECT_FALSE(kdtest::fileExists(dir.file("out")));
}

std::string hexOf(const kdtest::TempDir& dir, const std::string& data, int perLine) {
    writeFile(dir.file("hexin"), data);
    EXPECT_EQ(HEXFile(dir.file("hexin").c_str(), dir.file("hexout").c_str(), perLine), 1);
    return readText(dir.file("hexout"));
}

TEST(HexFile, LinesAndBlocks) {
    kdtest::TempDir dir;
    EXPECT_EQ(hexOf(dir, std::string("\x00\xAB\x10", 3), 2), "00AB\r\n10");
    EXPECT_EQ(hexOf(dir, std::string("\x00\xAB\x10\xFF", 4), 2), "00AB\r\n10FF\r\n");
    EXPECT_EQ(hexOf(dir, "\x01\x02\x03", 0), "010203");
    EXPECT_EQ(hexOf(dir, "\x01\x02\x03", -4), "010203");
    EXPECT_EQ(hexOf(dir, "", 16), "");

    // The count restarts with each 4096-byte block: with 5 per line the line
    // spanning the block boundary has 1 + 5 bytes.
    const std::string data(4096 + 10, '\x5A');
    const std::string text = hexOf(dir, data, 5);
    const std::string line5 = "5A5A5A5A5A\r\n";
    EXPECT_EQ(text.size(), 4106 * 2 + 2 * (819 + 2));
    std::string firstBlock;
    for (int k = 0; k < 819; ++k) firstBlock += line5;
    EXPECT_EQ(text.substr(0, 819 * 12), firstBlock);
    EXPECT_EQ(text.substr(819 * 12), "5A" + line5 + line5);

    EXPECT_EQ(HEXFile(dir.file("missing").c_str(), dir.file("x").c_str(), 4), 0);
    EXPECT_EQ(HEXFile(dir.file("hexin").c_str(), dir.file("no/dir").c_str(), 4), 0);
    EXPECT_EQ(HEXFile(dir.file("hexin").c_str(), dir.file("hexin").c_str(), 4), 0);
    EXPECT_EQ(readText(dir.file("hexin")), data);
}

}  // namespace

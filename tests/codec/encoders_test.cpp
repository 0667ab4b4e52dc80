#include <gtest/gtest.h>

#include <random>
#include <string>

#include "common/file_exports.h"
#include "common/test_support.h"
#include "kdlib.h"

namespace {

using kdtest::readText;
using kdtest::writeFile;

std::string encode(const kdtest::TempDir& dir, const std::string& data) {
    writeFile(dir.file("plain"), data);
    EXPECT_EQ(base64(dir.file("plain").c_str(), dir.file("b64").c_str()), 0);
    return readText(dir.file("b64"));
}

// What esab64 wrote and what it said on standard error.
std::pair<std::string, std::string> decode(const kdtest::TempDir& dir, const std::string& text) {
    writeFile(dir.file("b64in"), text);
    testing::internal::CaptureStderr();
    EXPECT_EQ(esab64(dir.file("b64in").c_str(), dir.file("decoded").c_str()), 0);
    std::string messages = testing::internal::GetCapturedStderr();
    return {readText(dir.file("decoded")), messages};
}

std::string hexDump(const kdtest::TempDir& dir, const std::string& data, int perLine) {
    writeFile(dir.file("hexin"), data);
    EXPECT_EQ(HEXFile(dir.file("hexin").c_str(), dir.file("hexout").c_str(), perLine), 1);
    return readText(dir.file("hexout"));
}

std::string repeat(const std::string& s, int n) {
    std::string out;
    while (n-- > 0) out += s;
    return out;
}

}  // namespace

TEST(Base64, PaddingAndLinesOf72) {
    kdtest::TempDir dir;
    EXPECT_EQ(encode(dir, "abc"), "YWJj\r\n");
    EXPECT_EQ(encode(dir, "a"), "YQ==\r\n");
    EXPECT_EQ(encode(dir, "ab"), "YWI=\r\n");
    EXPECT_EQ(encode(dir, ""), "\r\n");
    // "zzz" is "enp6": exactly one full line has no empty line after it.
    EXPECT_EQ(encode(dir, std::string(54, 'z')), repeat("enp6", 18) + "\r\n");
    EXPECT_EQ(encode(dir, std::string(57, 'z')), repeat("enp6", 18) + "\r\nenp6\r\n");
}

// Python's decoder reads what base64 wrote, and esab64 gives the data back;
// sizes around the 256-byte input buffer, which 3 does not divide.
TEST(Base64, AnotherDecoderAndEsab64ReadLongData) {
    kdtest::TempDir dir;
    std::mt19937 rng(1);
    for (size_t n : {255u, 256u, 257u, 768u, 100000u}) {
        std::string data(n, '\0');
        for (char& c : data) c = static_cast<char>(rng());
        const std::string text = encode(dir, data);
        std::string flat, lines;
        for (char c : text)
            if (c != '\r' && c != '\n') flat += c;
        for (size_t at = 0; at < flat.size(); at += 72) lines += flat.substr(at, 72) + "\r\n";
        EXPECT_EQ(text, lines) << n;
        std::string decoded;
        ASSERT_EQ(kdtest::run("/usr/bin/python3 -c 'import base64,sys; "
                              "sys.stdout.write(base64.b64decode(open(sys.argv[1],\"rb\").read()).hex())' " +
                                  kdtest::quote(dir.file("b64")),
                              &decoded),
                  0);
        EXPECT_EQ(decoded, kdtest::hexOf(data.data(), data.size())) << n;
        EXPECT_EQ(decode(dir, text), std::make_pair(data, std::string())) << n;
    }
}

TEST(Base64, DecodingRulesAndMessages) {
    kdtest::TempDir dir;
    const std::string incomplete = "Input file incomplete.\n";
    const struct {
        std::string text, bytes, messages;
    } cases[] = {
        {"YW\r\nJj", "abc", ""},
        {" Y W J j \t", "abc", ""},
        {"YWJ", "", incomplete},
        {"YWJjYQ", "abc", incomplete},
        {"YW*j", "", "Illegal character '*' in input file.\n"},
        // Bytes decoded before the illegal one stay in the output.
        {"YWJjYW\xC3j", "abc", "Illegal character '\xC3' in input file.\n"},
        // "=" ends the data; what follows is not read.
        {"YQ==YWJj", "a", ""},
        {"YWI=!!!!", "ab", ""},
        {"", "", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(decode(dir, c.text), std::make_pair(c.bytes, c.messages)) << c.text;
}

TEST(CodecFiles, BadNamesLoseNothingAndBase64SaysWhy) {
    kdtest::TempDir dir;
    const std::string messages = kdtest::expectBadNamesLoseNothing(dir, base64);
    std::string expected = "Cannot open input file " + dir.file("missing") + "\nCannot open input file " +
                           dir.path() + "\n";
    for (const char* out : {"no/dir/out", "in", "hard"}) expected += "Cannot open output file " + dir.file(out) + "\n";
#ifndef _WIN32
    expected += "Cannot open output file " + dir.file("soft") + "\n";
#endif
    EXPECT_EQ(messages, expected + "Cannot open input file \n");
    for (auto call : {esab64, unzipFile}) kdtest::expectBadNamesLoseNothing(dir, call);
    kdtest::expectBadNamesLoseNothing(dir, [](const char* in, const char* out) { return HEXFile(in, out, 4); });
    int32_t length = 1234;
    kdtest::expectBadNamesLoseNothing(
        dir, [&](const char* in, const char* out) { return zipFile(in, out, "FlateDecode", &length); });
    EXPECT_EQ(length, 1234);  // set only on success
}

TEST(HexFile, LinesAndBlocks) {
    kdtest::TempDir dir;
    EXPECT_EQ(hexDump(dir, std::string("\x00\xAB\x10", 3), 2), "00AB\r\n10");
    EXPECT_EQ(hexDump(dir, std::string("\x00\xAB\x10\xFF", 4), 2), "00AB\r\n10FF\r\n");
    EXPECT_EQ(hexDump(dir, "\x01\x02\x03", 0), "010203");
    EXPECT_EQ(hexDump(dir, "\x01\x02\x03", -4), "010203");
    EXPECT_EQ(hexDump(dir, "", 16), "");
    // The count restarts with each 4096-byte block: with 5 per line the line
    // spanning the block boundary has 1 + 5 bytes.
    const std::string line5 = "5A5A5A5A5A\r\n";
    EXPECT_EQ(hexDump(dir, std::string(4096 + 10, '\x5A'), 5), repeat(line5, 819) + "5A" + line5 + line5);
}

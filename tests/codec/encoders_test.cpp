#include <gtest/gtest.h>

#include <random>
#include <string>

#include "common/file_exports.h"
#include "common/test_support.h"
#include "kdlib.h"

namespace {

using kdtest::readText;
using kdtest::writeFile;

// What a file export wrote from data (and, with messages, what it said on
// standard error).
std::string through(int (*call)(const char*, const char*), const std::string& data, std::string* messages = nullptr) {
    kdtest::TempDir dir;
    writeFile(dir.file("in"), data);
    testing::internal::CaptureStderr();
    EXPECT_EQ(call(dir.file("in").c_str(), dir.file("out").c_str()), 0);
    const std::string said = testing::internal::GetCapturedStderr();
    if (messages) *messages = said;
    return readText(dir.file("out"));
}

std::string hexDump(const std::string& data, int perLine) {
    kdtest::TempDir dir;
    writeFile(dir.file("in"), data);
    EXPECT_EQ(HEXFile(dir.file("in").c_str(), dir.file("out").c_str(), perLine), 1);
    return readText(dir.file("out"));
}

std::string repeat(const std::string& s, int n) {
    std::string out;
    while (n-- > 0) out += s;
    return out;
}

}  // namespace

// Padding, lines of 72 characters ("zzz" is "enp6"), and sizes around the
// 256-byte input buffer: Python's decoder reads what base64 wrote, and
// esab64 gives the data back silently.
TEST(Base64, LinesOf72ThatPythonAndEsab64Read) {
    EXPECT_EQ(through(base64, "a"), "YQ==\r\n");
    EXPECT_EQ(through(base64, "ab"), "YWI=\r\n");
    EXPECT_EQ(through(base64, ""), "\r\n");
    EXPECT_EQ(through(base64, std::string(54, 'z')), repeat("enp6", 18) + "\r\n");
    EXPECT_EQ(through(base64, std::string(57, 'z')), repeat("enp6", 18) + "\r\nenp6\r\n");
    std::mt19937 rng(1);
    for (size_t n : {255u, 256u, 257u, 100000u}) {
        std::string data(n, '\0');
        for (char& c : data) c = static_cast<char>(rng());
        const std::string text = through(base64, data);
        kdtest::TempDir dir;
        writeFile(dir.file("b64"), text);
        std::string decoded, messages;
        ASSERT_EQ(kdtest::run("/usr/bin/python3 -c 'import base64,sys; "
                              "sys.stdout.write(base64.b64decode(open(sys.argv[1],\"rb\").read()).hex())' " +
                                  kdtest::quote(dir.file("b64")),
                              &decoded),
                  0);
        EXPECT_EQ(decoded, kdtest::hexOf(data.data(), data.size())) << n;
        EXPECT_EQ(through(esab64, text, &messages), data) << n;
        EXPECT_EQ(messages, "");
    }
}

TEST(Base64, DecodingRulesAndMessages) {
    const std::string incomplete = "Input file incomplete.\n";
    const struct {
        std::string text, bytes, messages;
    } cases[] = {
        {" Y W\r\nJ j \t", "abc", ""},
        {"YWJ", "", incomplete},
        {"YWJjYQ", "abc", incomplete},
        // Bytes decoded before an illegal one stay in the output.
        {"YWJjYW\xC3j", "abc", "Illegal character '\xC3' in input file.\n"},
        // "=" ends the data; what follows is not read.
        {"YQ==YWJj", "a", ""},
        {"YWI=!!!!", "ab", ""},
    };
    for (const auto& c : cases) {
        std::string messages;
        EXPECT_EQ(through(esab64, c.text, &messages), c.bytes) << c.text;
        EXPECT_EQ(messages, c.messages) << c.text;
    }
}

TEST(HexFile, LinesAndBlocks) {
    EXPECT_EQ(hexDump(std::string("\x00\xAB\x10", 3), 2), "00AB\r\n10");
    EXPECT_EQ(hexDump(std::string("\x00\xAB\x10\xFF", 4), 2), "00AB\r\n10FF\r\n");
    EXPECT_EQ(hexDump("\x01\x02\x03", -4), "010203");
    // The count restarts with each 4096-byte block: with 5 per line the line
    // spanning the block boundary has 1 + 5 bytes.
    const std::string line5 = "5A5A5A5A5A\r\n";
    EXPECT_EQ(hexDump(std::string(4096 + 10, '\x5A'), 5), repeat(line5, 819) + "5A" + line5 + line5);
}

TEST(FileExports, BadNamesLoseNothing) {
    for (const kdtest::FileExport& e : kdtest::fileExports()) {
        kdtest::TempDir dir;
        const std::string messages = kdtest::expectBadNamesLoseNothing(dir, e);
        // base64 says why on standard error, naming the file.
        if (std::string(e.name) == "base64") {
            EXPECT_EQ(messages.rfind("Cannot open input file " + dir.file("missing") + "\n", 0), 0u) << messages;
        }
    }
}

// The codec file exports: deflate and inflate against zlib, Base64 against
// Python, hexadecimal dumps, and the bad names none of them may lose data to.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

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

std::string mixedData(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s;
    while (s.size() < n) s += rng() % 2 ? "0 0 m " + std::to_string(rng() % 1000) + " l S\n" : std::string(1, char(rng()));
    s.resize(n);
    return s;
}

}  // namespace

// Padding, lines of 72 characters (three zero bytes are "AAAA"), and sizes
// around the 256-byte input buffer: Python's decoder reads what base64 wrote,
// and esab64 gives the data back silently.
TEST(Base64, LinesOf72ThatPythonAndEsab64Read) {
    EXPECT_EQ(through(base64, ""), "\r\n");
    EXPECT_EQ(through(base64, std::string(54, '\0')), std::string(72, 'A') + "\r\n");
    EXPECT_EQ(through(base64, std::string(57, '\0')), std::string(72, 'A') + "\r\nAAAA\r\n");
    for (size_t n : {255u, 256u, 257u, 100000u}) {
        const std::string data = mixedData(n, 1);
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
    std::string lines;
    for (int k = 0; k < 819; ++k) lines += "5A5A5A5A5A\r\n";
    EXPECT_EQ(hexDump(std::string(4096 + 10, '\x5A'), 5), lines + "5A" + lines.substr(0, 24));
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

// What follows the first stream line is deflated (zlib's inflate reads it
// back as exactly one stream) or, for another filter, copied or dropped;
// the dictionary before it is copied as it is.
TEST(ZipFile, DeflatesWhatFollowsTheStreamLine) {
    struct Case {
        std::string input;
        const char* filter;
        std::string header, data;
    };
    std::vector<Case> cases;
    for (size_t n : {0u, 4095u, 4096u, 4097u, 100000u}) cases.push_back({mixedData(n, 7), "FlateDecode", "stream\r\n", mixedData(n, 7)});
    const std::string later = mixedData(5000, 1) + "\r\nstream\r\n";  // a later stream line is data
    cases.push_back({"<< /Type /X >>\r\nstream\r\n" + later, "FlateDecode", "<< /Type /X >>\r\nstream\r\n", later});
    cases.push_back({"<< /Type /Y >>\n", "FlateDecode", "<< /Type /Y >>\n", ""});  // no stream line: no data
    // Several dictionary lines, one with a zero byte, a long one in pieces.
    const std::string multi = std::string("<< /A 1\r\n/B (x\0y)\r\n", 19) + "/C " + std::string(9000, 'c') +
                              "\r\n>>\r\nstream\r\n";
    cases.push_back({multi + "payload", "", multi, "payload"});
    cases.push_back({"plain data", nullptr, "stream\r\n", "plain data"});
    cases.push_back({"plain data", "LZWDecode", "stream\r\n", ""});

    kdtest::TempDir dir;
    for (const Case& c : cases) {
        writeFile(dir.file("in"), c.input);
        int32_t length = -1;
        ASSERT_EQ(zipFile(dir.file("in").c_str(), dir.file("out").c_str(), c.filter, &length), 1);
        const std::string out = readText(dir.file("out"));
        ASSERT_EQ(out.substr(0, c.header.size()), c.header) << c.input.size() << " " << (c.filter ? c.filter : "null");
        const std::string data = out.substr(c.header.size());
        EXPECT_EQ(static_cast<size_t>(length), data.size());
        if (c.filter && std::string(c.filter) == "FlateDecode") {
            const std::vector<uint8_t> back = kdtest::inflateAll(std::vector<uint8_t>(data.begin(), data.end()));
            EXPECT_EQ(std::string(back.begin(), back.end()), c.data);
        } else {
            EXPECT_EQ(data, c.data);
        }
    }
}

// zlib's own streams decode; streams cut short (at a 1024-byte read
// boundary and inside a read), empty or not zlib are refused.
TEST(UnzipFile, ZlibStreamsWholeOrRefused) {
    kdtest::TempDir dir;
    for (size_t n : {0u, 1024u, 70000u, 300000u}) {
        // Highly compressible data fill the 65000-byte output area more
        // than once per 1024-byte read.
        const std::string data = n == 300000 ? std::string(n, 'q') : mixedData(n, 9);
        std::string packed(compressBound(static_cast<uLong>(n)), '\0');
        uLongf packedSize = static_cast<uLongf>(packed.size());
        compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(data.data()),
                  static_cast<uLong>(n), 6);
        packed.resize(packedSize);
        writeFile(dir.file("z"), packed);
        ASSERT_EQ(unzipFile(dir.file("z").c_str(), dir.file("back").c_str()), 1) << n;
        EXPECT_EQ(readText(dir.file("back")), data) << n;
        if (n != 70000) continue;
        for (const std::string& bad : {std::string("not a zlib stream at all"), packed.substr(0, 1024),
                                       packed.substr(0, packed.size() - 3), std::string()}) {
            writeFile(dir.file("z"), bad);
            EXPECT_EQ(unzipFile(dir.file("z").c_str(), dir.file("back").c_str()), -42) << bad.size();
        }
    }
}

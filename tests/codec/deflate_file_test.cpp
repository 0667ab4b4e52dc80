#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "kdlib.h"

namespace {

using kdtest::readText;
using kdtest::writeFile;

std::string mixedData(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s;
    while (s.size() < n) s += rng() % 2 ? "0 0 m " + std::to_string(rng() % 1000) + " l S\n" : std::string(1, char(rng()));
    s.resize(n);
    return s;
}

}  // namespace

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
        SCOPED_TRACE(c.header + " " + std::to_string(c.input.size()) + " " + (c.filter ? c.filter : "null"));
        writeFile(dir.file("in"), c.input);
        int32_t length = -1;
        ASSERT_EQ(zipFile(dir.file("in").c_str(), dir.file("out").c_str(), c.filter, &length), 1);
        const std::string out = readText(dir.file("out"));
        ASSERT_EQ(out.substr(0, c.header.size()), c.header);
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

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>

#include "common/test_support.h"
#include "kdlib.h"

namespace {

using kdtest::readText;
using kdtest::writeFile;

// zlib's own inflate as the independent reader; false when the data are
// not one complete zlib stream.
bool inflateAll(const std::string& data, std::string* out) {
    bool whole = false;
    std::vector<uint8_t> bytes = kdtest::inflateZlib(data.data(), data.size(), &whole);
    out->assign(bytes.begin(), bytes.end());
    return whole;
}

std::string mixedData(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s;
    while (s.size() < n) {
        if (rng() % 2)
            s += "0 0 m " + std::to_string(rng() % 1000) + " l S\n";
        else
            s += static_cast<char>(rng());
    }
    s.resize(n);
    return s;
}

TEST(ZipFile, DataWithoutDictionary) {
    kdtest::TempDir dir;
    for (size_t n : {0u, 1u, 4095u, 4096u, 4097u, 8192u, 100000u}) {
        const std::string data = mixedData(n, static_cast<unsigned>(n));
        writeFile(dir.file("in"), data);
        int32_t length = -1;
        ASSERT_EQ(zipFile(dir.file("in").c_str(), dir.file("out").c_str(), "FlateDecode", &length), 1);
        const std::string out = readText(dir.file("out"));
        ASSERT_EQ(out.substr(0, 8), "stream\r\n");
        EXPECT_EQ(static_cast<size_t>(length), out.size() - 8) << n;
        std::string back;
        EXPECT_TRUE(inflateAll(out.substr(8), &back)) << n;  // finished exactly once
        EXPECT_EQ(back, data) << n;
    }
}

TEST(ZipFile, DictionaryHeaderIsCopied) {
    kdtest::TempDir dir;
    const std::string header = "<< /Type /X >>\r\nstream\r\n";
    const std::string data = mixedData(5000, 1) + "\r\nstream\r\n";  // a later stream line is data
    writeFile(dir.file("in"), header + data);
    int32_t length = -1;
    ASSERT_EQ(zipFile(dir.file("in").c_str(), dir.file("out").c_str(), "FlateDecode", &length), 1);
    const std::string out = readText(dir.file("out"));
    ASSERT_EQ(out.substr(0, header.size()), header);
    EXPECT_EQ(static_cast<size_t>(length), out.size() - header.size());
    std::string back;
    EXPECT_TRUE(inflateAll(out.substr(header.size()), &back));
    EXPECT_EQ(back, data);

    // Several dictionary lines, one with a zero byte, a long one in pieces.
    const std::string multi = std::string("<< /A 1\r\n/B (x\0y)\r\n", 19) + "/C " + std::string(9000, 'c') +
                              "\r\n>>\r\nstream\r\n";
    writeFile(dir.file("in"), multi + "payload");
    ASSERT_EQ(zipFile(dir.file("in").c_str(), dir.file("out").c_str(), "", &length), 1);
    EXPECT_EQ(readText(dir.file("out")), multi + "payload");
    EXPECT_EQ(length, 7);

    // A dictionary without a stream line: all of it is header, no data.
    writeFile(dir.file("in"), "<< /Type /Y >>\n");
    ASSERT_EQ(zipFile(dir.file("in").c_str(), dir.file("out").c_str(), "FlateDecode", &length), 1);
    const std::string headOnly = readText(dir.file("out"));
    EXPECT_EQ(headOnly.substr(0, 15), "<< /Type /Y >>\n");
    EXPECT_TRUE(inflateAll(headOnly.substr(15), &back));
    EXPECT_EQ(back, "");
}

TEST(ZipFile, FilterNames) {
    kdtest::TempDir dir;
    writeFile(dir.file("in"), "plain data");
    int32_t length = -1;
    ASSERT_EQ(zipFile(dir.file("in").c_str(), dir.file("out").c_str(), "", &length), 1);
    EXPECT_EQ(readText(dir.file("out")), "stream\r\nplain data");
    EXPECT_EQ(length, 10);
    ASSERT_EQ(zipFile(dir.file("in").c_str(), dir.file("out").c_str(), "LZWDecode", &length), 1);
    EXPECT_EQ(readText(dir.file("out")), "stream\r\n");
    EXPECT_EQ(length, 0);
    ASSERT_EQ(zipFile(dir.file("in").c_str(), dir.file("out").c_str(), nullptr, nullptr), 1);
    EXPECT_EQ(readText(dir.file("out")), "stream\r\nplain data");
}

TEST(ZipFile, BadFilesLoseNothing) {
    kdtest::TempDir dir;
    const std::string data = "<< /L 1 >>\r\nstream\r\nsome bytes";
    writeFile(dir.file("in"), data);
    int32_t length = 1234;
    EXPECT_EQ(zipFile(dir.file("in").c_str(), dir.file("in").c_str(), "FlateDecode", &length), 0);
    EXPECT_EQ(readText(dir.file("in")), data);
    kdtest::run("ln " + kdtest::quote(dir.file("in")) + " " + kdtest::quote(dir.file("hard")));
    EXPECT_EQ(zipFile(dir.file("in").c_str(), dir.file("hard").c_str(), "FlateDecode", &length), 0);
    EXPECT_EQ(readText(dir.file("in")), data);
    EXPECT_EQ(zipFile(dir.file("missing").c_str(), dir.file("out").c_str(), "FlateDecode", &length), 0);
    EXPECT_FALSE(kdtest::fileExists(dir.file("out")));
    EXPECT_EQ(zipFile(dir.path().c_str(), dir.file("out").c_str(), "FlateDecode", &length), 0);
    EXPECT_EQ(zipFile(dir.file("in").c_str(), dir.file("no/dir").c_str(), "FlateDecode", &length), 0);
    EXPECT_EQ(zipFile(nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(length, 1234);  // set only on success
}

TEST(UnzipFile, RoundTripAndDamagedStreams) {
    kdtest::TempDir dir;
    for (size_t n : {0u, 1023u, 1024u, 70000u, 300000u}) {
        // Highly compressible data makes each 1024-byte read fill the
        // 65000-byte output area more than once.
        const std::string data = n == 300000 ? std::string(n, 'q') : mixedData(n, 9);
        writeFile(dir.file("in"), data);
        int32_t length = 0;
        ASSERT_EQ(zipFile(dir.file("in").c_str(), dir.file("z").c_str(), "FlateDecode", &length), 1);
        writeFile(dir.file("z"), readText(dir.file("z")).substr(8));
        ASSERT_EQ(unzipFile(dir.file("z").c_str(), dir.file("back").c_str()), 1) << n;
        EXPECT_EQ(readText(dir.file("back")), data) << n;
    }
    // A stream zlib made in one shot.
    std::string data = mixedData(50000, 4);
    std::string packed(compressBound(static_cast<uLong>(data.size())), '\0');
    uLongf packedSize = static_cast<uLongf>(packed.size());
    compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(data.data()),
              static_cast<uLong>(data.size()), 6);
    packed.resize(packedSize);
    writeFile(dir.file("z"), packed);
    ASSERT_EQ(unzipFile(dir.file("z").c_str(), dir.file("back").c_str()), 1);
    EXPECT_EQ(readText(dir.file("back")), data);

    writeFile(dir.file("z"), "not a zlib stream at all");
    EXPECT_EQ(unzipFile(dir.file("z").c_str(), dir.file("back").c_str()), -42);
    // Cut short: both at a 1024-byte read boundary and inside a read.
    writeFile(dir.file("z"), packed.substr(0, 1024));
    EXPECT_EQ(unzipFile(dir.file("z").c_str(), dir.file("back").c_str()), -42);
    writeFile(dir.file("z"), packed.substr(0, packed.size() - 3));
    EXPECT_EQ(unzipFile(dir.file("z").c_str(), dir.file("back").c_str()), -42);
    writeFile(dir.file("z"), "");
    EXPECT_EQ(unzipFile(dir.file("z").c_str(), dir.file("back").c_str()), -42);

    EXPECT_EQ(unzipFile(dir.file("missing").c_str(), dir.file("back").c_str()), 0);
    EXPECT_EQ(unzipFile(dir.file("z").c_str(), dir.file("no/dir").c_str()), 0);
    writeFile(dir.file("z"), packed);
    EXPECT_EQ(unzipFile(dir.file("z").c_str(), dir.file("z").c_str()), 0);
    EXPECT_EQ(readText(dir.file("z")), packed);
}

}  // namespace

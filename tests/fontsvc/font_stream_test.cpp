#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "fontsvc/font_stream.h"
#include "fontsvc/fontsvc_support.h"

namespace {

std::vector<uint8_t> noise(size_t n) {
    std::mt19937 gen(7);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(gen());
    return v;
}

size_t syncMarkers(const std::vector<uint8_t>& data) {
    static const uint8_t marker[4] = {0, 0, 0xFF, 0xFF};
    size_t count = 0;
    for (size_t i = 0; i + 4 <= data.size(); ++i)
        if (std::equal(marker, marker + 4, data.begin() + static_cast<long>(i))) ++count;
    return count;
}

struct Recorded {
    std::vector<std::pair<uint32_t, uint32_t>> reads;
};

int32_t writeProgram(const std::vector<uint8_t>& program, const std::string& stream, const char* copy,
                     Recorded* rec = nullptr) {
    return kd::writeFontStream(stream.c_str(), copy, static_cast<int32_t>(program.size()),
                               [&](uint32_t offset, uint8_t* buffer, uint32_t count) {
                                   if (rec) rec->reads.emplace_back(offset, count);
                                   std::copy_n(program.begin() + offset, count, buffer);
                               });
}

TEST(FontStream, ChunksOf2000WithSyncPointsThenTheFinish) {
    kdtest::TempDir dir;
    for (size_t size : {4500u, 2000u, 1u, 6001u}) {
        std::vector<uint8_t> program = noise(size);
        std::string path = dir.file("stream" + std::to_string(size));
        Recorded rec;
        int32_t result = writeProgram(program, path, nullptr, &rec);
        kdtest::StreamFile s = kdtest::splitStreamFile(path);
        std::string header = "/Filter /FlateDecode\r\n/Length1 " + std::to_string(size) + "\r\n>>\r\nstream\r\n";
        EXPECT_EQ(s.header, header);
        EXPECT_EQ(result, static_cast<int32_t>(s.data.size()));
        EXPECT_EQ(kdtest::inflateAll(s.data), program);
        size_t chunks = (size + 1999) / 2000;
        ASSERT_EQ(rec.reads.size(), chunks);
        for (size_t k = 0; k < chunks; ++k) {
            EXPECT_EQ(rec.reads[k].first, 2000 * k);
            EXPECT_EQ(rec.reads[k].second, std::min<size_t>(2000, size - 2000 * k));
        }
        // Incompressible data holds no accidental marker: each one is a
        // sync point after a chunk but the last.
        EXPECT_EQ(syncMarkers(s.data), chunks - 1) << size;
    }
}

TEST(FontStream, EmptyStreamNameWritesOnlyTheCopy) {
    kdtest::TempDir dir;
    std::vector<uint8_t> program = noise(4321);
    std::string copy = dir.file("copy.ttf");
    EXPECT_EQ(writeProgram(program, "", copy.c_str()), 0);
    EXPECT_EQ(kdtest::readFile(copy), program);
    EXPECT_FALSE(kdtest::fileExists(dir.file("stream")));

    // Both at once: the copy equals what the stream inflates to.
    std::string stream = dir.file("both");
    EXPECT_GT(writeProgram(program, stream, copy.c_str()), 0);
    EXPECT_EQ(fonttest::streamContent(stream), kdtest::readFile(copy));
}

TEST(FontStream, UncreatableFilesLeaveNothingBehind) {
    kdtest::TempDir dir;
    std::vector<uint8_t> program = noise(100);
    std::string copy = dir.file("copy.ttf");
    std::string badStream = dir.file("missing/stream");
    EXPECT_EQ(writeProgram(program, badStream, copy.c_str()), kd::kOutputNotCreatable);
    EXPECT_FALSE(kdtest::fileExists(copy));
    std::string stream = dir.file("stream");
    std::string badCopy = dir.file("missing/copy.ttf");
    EXPECT_EQ(writeProgram(program, stream, badCopy.c_str()), kd::kOutputNotCreatable);
    EXPECT_FALSE(kdtest::fileExists(stream));
}

}  // namespace

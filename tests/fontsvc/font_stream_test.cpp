// The font stream: the program read in chunks of 2000 bytes, deflated with
// a sync point after each, and optionally copied to a file.
#include "fontsvc/font_stream.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "fontsvc/fontsvc_support.h"

namespace {

TEST(FontStream, ChunksOf2000WithSyncPointsThenTheFinish) {
    kdtest::TempDir dir;
    std::mt19937 random(7);
    for (size_t size : {4500u, 2000u, 1u, 6001u}) {
        std::vector<uint8_t> program(size);
        for (auto& b : program) b = static_cast<uint8_t>(random());
        const std::string path = dir.file("stream" + std::to_string(size)),
                          copy = dir.file("copy" + std::to_string(size));
        std::vector<std::pair<uint32_t, uint32_t>> reads;
        int32_t result = kd::writeFontStream(path.c_str(), copy.c_str(), static_cast<int32_t>(size),
                                             [&](uint32_t offset, uint8_t* buffer, uint32_t count) {
                                                 reads.emplace_back(offset, count);
                                                 std::copy_n(program.begin() + offset, count, buffer);
                                             });
        kdtest::StreamFile s = kdtest::splitStreamFile(path);
        EXPECT_EQ(s.header, "/Filter /FlateDecode\r\n/Length1 " + std::to_string(size) + "\r\n>>\r\nstream\r\n");
        EXPECT_EQ(result, static_cast<int32_t>(s.data.size()));
        EXPECT_EQ(kdtest::inflateAll(s.data), program);
        EXPECT_EQ(kdtest::readFile(copy), program);
        const size_t chunks = (size + 1999) / 2000;
        ASSERT_EQ(reads.size(), chunks);
        for (size_t k = 0; k < chunks; ++k) {
            EXPECT_EQ(reads[k], std::make_pair(uint32_t(2000 * k), uint32_t(std::min<size_t>(2000, size - 2000 * k))));
        }
        // Incompressible data hold no accidental marker: each one is a sync
        // point after a chunk but the last.
        const uint8_t marker[4] = {0, 0, 0xFF, 0xFF};
        size_t markers = 0;
        for (auto at = s.data.begin(); (at = std::search(at, s.data.end(), marker, marker + 4)) != s.data.end(); ++at)
            ++markers;
        EXPECT_EQ(markers, chunks - 1) << size;
    }
}

}  // namespace

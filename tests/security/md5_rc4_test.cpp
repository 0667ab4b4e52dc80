#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "kdlib.h"
#include "security/rc4.h"

namespace {

std::string hex(const uint8_t* bytes, size_t n) { return kdtest::hexOf(bytes, n); }

std::vector<uint8_t> randomBytes(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(rng());
    return v;
}

std::string rc4Hex(const std::string& key, const std::string& text) {
    kd::Rc4State state;
    kd::rc4Init(&state, reinterpret_cast<const uint8_t*>(key.data()), static_cast<int>(key.size()));
    std::vector<uint8_t> out(text.size());
    kd::rc4Crypt(&state, reinterpret_cast<const uint8_t*>(text.data()), 0, text.size(), out.data());
    return hex(out.data(), out.size());
}

}  // namespace

// Lengths around the 64-byte block, the 56-byte padding edge and the
// 2000-byte file reads: md5sum, MD5File and MD5String agree.
TEST(Md5, FilesAndPiecesAgreeWithMd5sum) {
    kdtest::TempDir dir;
    for (size_t n : {0u, 55u, 56u, 63u, 64u, 65u, 119u, 120u, 1999u, 2000u, 2001u, 4001u, 100000u}) {
        const auto data = randomBytes(n, static_cast<unsigned>(n));
        const std::string path = dir.file("data");
        kdtest::writeFile(path, data);
        std::string md5sum;
        ASSERT_EQ(kdtest::run("md5sum " + kdtest::quote(path), &md5sum), 0);
        uint8_t fromFile[16];
        ASSERT_EQ(MD5File(path.c_str(), fromFile), 1);
        EXPECT_EQ(hex(fromFile, 16), md5sum.substr(0, 32)) << n;
        uint8_t fromString[16];
        EXPECT_EQ(MD5String(data.data(), static_cast<uint32_t>(n), fromString), 0);
        EXPECT_EQ(hex(fromString, 16), md5sum.substr(0, 32)) << n;
    }
    uint8_t untouched[16];
    std::memset(untouched, 0xAA, sizeof untouched);
    for (const std::string& bad : {dir.file("missing"), dir.path()}) EXPECT_EQ(MD5File(bad.c_str(), untouched), 0);
    EXPECT_EQ(MD5File(nullptr, untouched), 0);
    EXPECT_EQ(hex(untouched, 16), std::string(32, 'a'));
}

TEST(Rc4, PublishedVectors) {
    EXPECT_EQ(rc4Hex("Key", "Plaintext"), "bbf316e8d940af0ad3");
    // An RFC 6229 keystream (plaintext of zeros), offsets 0 and 16.
    const std::string zeros(32, '\0');
    EXPECT_EQ(rc4Hex("\x01\x02\x03\x04\x05", zeros),
              "b2396305f03dc027ccc3524a0a1118a86982944f18fc82d589c403a47a0d0919");
}

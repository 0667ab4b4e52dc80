// MD5 against md5sum, and the standard security handler (RC4 under it)
// against qpdf: PDFs assembled here with strings and streams encrypted by the
// library must open with the user and with the owner password, and give back
// the plaintext.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "common/minimal_pdf.h"
#include "common/test_support.h"
#include "kdlib.h"

namespace {

struct PdfCase {
    const char* name;
    std::string owner;
    std::string user;
    int revision;
    int keyLength;
    int32_t permissions;
    long firstObject;  // the objects are numbered from here
};

// A one-page PDF: the title string is encrypted in memory, the page content
// through encryptFile, the way the host writes its objects. The content runs
// over several file reads, and its dictionary line over several too.
std::string pageContent() {
    std::string content = "% kdlib-marker-plain ";
    for (int b = 0x0E; b < 0x100; ++b) content += static_cast<char>(b);  // binary bytes, 0x1A among them
    for (int k = 0; k < 300; ++k) content += "\n0 0 m 100 " + std::to_string(k) + " l S";
    return content + "\n";
}
const std::string kContent = pageContent();

std::string buildEncryptedPdf(const kdtest::TempDir& dir, const PdfCase& c) {
    uint8_t fileId[16];
    MD5String("kdlib test document", 19, fileId);
    uint8_t o[32], u[32], key[16];
    computeKeys(c.owner.c_str(), c.user.c_str(), c.permissions, fileId, o, u, key, 0, c.revision, c.keyLength);
    const long first = c.firstObject;
    auto ref = [&](long k) { return std::to_string(first + k) + " 0 R"; };

    std::map<long, std::string> objects;
    objects[first] = "<< /Type /Catalog /Pages " + ref(1) + " >>";
    objects[first + 1] = "<< /Type /Pages /Kids [" + ref(2) + "] /Count 1 >>";
    objects[first + 2] = "<< /Type /Page /Parent " + ref(1) + " /MediaBox [0 0 200 200] /Contents " + ref(3) +
                         " >>";
    kdtest::writeFile(dir.file("plain"), "<< /Length " + std::to_string(kContent.size()) + " /Pad [" +
                                             std::string(4500, '0') + "] >>\r\nstream\r\n" + kContent);
    encryptFile(dir.file("plain").c_str(), dir.file("enc").c_str(), static_cast<int32_t>(first + 3), 0, key, 0,
                c.revision, c.keyLength);
    objects[first + 3] = kdtest::readText(dir.file("enc")) + "\r\nendstream";

    std::string title = "kdlib secret title";
    encryptPDFContent(reinterpret_cast<uint8_t*>(title.data()), static_cast<int32_t>(title.size()),
                      static_cast<int32_t>(first + 4), 0, key, 0, c.revision, c.keyLength);
    objects[first + 4] = "<< /Title <" + kdtest::hexOf(title) + "> >>";
    objects[first + 5] = "<< /Filter /Standard /V " + std::string(c.revision == 3 ? "2" : "1") + " /R " +
                         std::to_string(c.revision) + " /Length " + std::to_string(c.keyLength * 8) + " /O <" +
                         kdtest::hexOf(o, 32, true) + "> /U <" + kdtest::hexOf(u, 32, true) + "> /P " + std::to_string(c.permissions) +
                         " >>";

    const std::string id = kdtest::hexOf(fileId, 16, true);
    const std::string path = dir.file("doc.pdf");
    kdtest::writeFile(path, kdtest::minimalPdf(objects, "/Root " + ref(0) + " /Info " + ref(4) + " /Encrypt " +
                                                            ref(5) + " /ID [<" + id + "> <" + id + ">]"));
    return path;
}

// qpdf decrypts with the password and writes a readable (QDF) copy.
bool qpdfDecrypts(const kdtest::TempDir& dir, const std::string& pdf, const std::string& password,
                  std::string* plain) {
    const std::string out = dir.file("plain.pdf");
    std::remove(out.c_str());
    if (kdtest::run("qpdf --password=" + kdtest::quote(password) + " --decrypt --qdf --object-streams=disable " +
                    kdtest::quote(pdf) + " " + kdtest::quote(out) + " 2>&1") != 0)
        return false;
    *plain = kdtest::readText(out);
    return true;
}

class QpdfInterop : public ::testing::TestWithParam<PdfCase> {};

TEST_P(QpdfInterop, OpensWithUserAndOwnerPassword) {
    const PdfCase& c = GetParam();
    kdtest::TempDir dir;
    const std::string pdf = buildEncryptedPdf(dir, c);

    std::vector<std::string> passwords = {c.user};
    if (!c.owner.empty()) passwords.push_back(c.owner);
    for (const std::string& password : passwords) {
        std::string plain;
        ASSERT_TRUE(qpdfDecrypts(dir, pdf, password, &plain)) << password;
        EXPECT_NE(plain.find("kdlib secret title"), std::string::npos);
        EXPECT_NE(plain.find(kContent), std::string::npos);
    }
    if (c.owner.empty()) {
        // No owner password is known for the substitute block: the empty
        // password is the user password only.
        std::string shown;
        kdtest::run("qpdf --password=" + kdtest::quote(c.user) + " --show-encryption " + kdtest::quote(pdf), &shown);
        EXPECT_EQ(shown.find("Supplied password is owner password"), std::string::npos) << shown;
    }
    std::string plain;
    EXPECT_FALSE(qpdfDecrypts(dir, pdf, "wrong password", &plain));
}

// Object numbers above 65535 put all three bytes of the number into the
// object keys.
INSTANTIATE_TEST_SUITE_P(
    Revisions, QpdfInterop,
    ::testing::Values(PdfCase{"R2_40bit", "owner-secret", "user", 2, 5, -4, 1},
                      PdfCase{"R3_128bit_objectsFrom74565", "owner-secret", "user", 3, 16, -3904, 0x12345},
                      PdfCase{"R3_noOwner", "", "user", 3, 16, -4, 1},
                      PdfCase{"R2_noUser_objectsFrom196606", "owner", "", 2, 5, -44, 0x2FFFE},
                      // Passwords of 40 and 36 characters (only the first 32 count), a 56-bit key.
                      PdfCase{"R3_longPasswords", "0123456789abcdefghijklmnopqrstuvwxyz!?#$",
                              "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789", 3, 7, -4, 1}),
    [](const ::testing::TestParamInfo<PdfCase>& info) { return std::string(info.param.name); });

// Key lengths beyond 16 are clamped, none below 1 writes a key byte, and
// no call reads or writes beyond its buffers.
TEST(SecurityHandler, KeyLengthsOutsideTheRangeStayInsideTheKey) {
    uint8_t id[16] = {}, o[32], u[32], key[24], key16[16];
    std::memset(key, 0xEE, sizeof key);
    computeKeys("o", "u", -4, id, o, u, key, 0, 3, 0);
    computeKeys("o", "u", -4, id, o, u, key, 0, 2, -7);
    EXPECT_EQ(std::string(key, key + 24), std::string(24, '\xEE'));
    computeKeys("o", "u", -4, id, o, u, key, 0, 3, 40);
    computeKeys("o", "u", -4, id, o, u, key16, 0, 3, 16);
    EXPECT_EQ(std::string(key, key + 24), std::string(key16, key16 + 16) + std::string(8, '\xEE'));

    uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    encryptPDFContent(data, 8, 1, 0, key16, 0, 3, 1000);
    encryptPDFContent(data, 8, 1, 0, key16, 0, 2, 16);  // the clamped key was the 16-byte key
    encryptPDFContent(data, 0, 1, 0, key16, 0, 3, 16);
    EXPECT_EQ(std::vector<uint8_t>(data, data + 8), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
    encryptPDFContent(data, 8, 1, 0, nullptr, 0, 3, -3);
    encryptPDFContent(nullptr, 8, 1, 0, key16, 0, 3, 5);
}

// A bare line feed after "stream" is no stream line: copied unchanged.
TEST(SecurityHandler, EncryptFileNeedsTheStreamLine) {
    kdtest::TempDir dir;
    uint8_t key[16] = {9, 8, 7, 6, 5};
    const std::string lf = "<< /Length 3 >>\nstream\nabc";
    kdtest::writeFile(dir.file("lf"), lf);
    encryptFile(dir.file("lf").c_str(), dir.file("lf.out").c_str(), 3, 0, key, 0, 2, 5);
    EXPECT_EQ(kdtest::readText(dir.file("lf.out")), lf);
}

// Lengths around the 64-byte block, the 56-byte padding edge and the
// 2000-byte file reads: md5sum, MD5File and MD5String agree.
TEST(Md5, FilesAndStringsAgreeWithMd5sum) {
    kdtest::TempDir dir;
    for (size_t n : {0u, 55u, 56u, 63u, 64u, 65u, 119u, 120u, 1999u, 2000u, 2001u, 4001u, 100000u}) {
        std::mt19937 rng(static_cast<unsigned>(n));
        std::vector<uint8_t> data(n);
        for (auto& b : data) b = static_cast<uint8_t>(rng());
        const std::string path = dir.file("data");
        kdtest::writeFile(path, data);
        std::string md5sum;
        ASSERT_EQ(kdtest::run("md5sum " + kdtest::quote(path), &md5sum), 0);
        uint8_t fromFile[16];
        ASSERT_EQ(MD5File(path.c_str(), fromFile), 1);
        EXPECT_EQ(kdtest::hexOf(fromFile, 16), md5sum.substr(0, 32)) << n;
        uint8_t fromString[16];
        EXPECT_EQ(MD5String(data.data(), static_cast<uint32_t>(n), fromString), 0);
        EXPECT_EQ(kdtest::hexOf(fromString, 16), md5sum.substr(0, 32)) << n;
    }
    uint8_t untouched[16];
    std::memset(untouched, 0xAA, sizeof untouched);
    for (const std::string& bad : {dir.file("missing"), dir.path()}) EXPECT_EQ(MD5File(bad.c_str(), untouched), 0);
    EXPECT_EQ(MD5File(nullptr, untouched), 0);
    EXPECT_EQ(kdtest::hexOf(untouched, 16), std::string(32, 'a'));
}

}  // namespace

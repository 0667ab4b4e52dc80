// The standard security handler, checked against qpdf: PDFs assembled here
// with strings and streams encrypted by the library must open with the user
// and with the owner password, and give back the plaintext.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "kdlib.h"
#include "security/md5.h"
#include "security/security_handler.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string hexUpper(const uint8_t* bytes, size_t n) { return kdtest::hexOf(bytes, n, true); }

struct PdfCase {
    std::string owner;
    std::string user;
    int revision;
    int keyLength;
    int32_t permissions;
};

void PrintTo(const PdfCase& c, std::ostream* os) {
    *os << "owner '" << c.owner << "' user '" << c.user << "' R" << c.revision << " n " << c.keyLength << " P "
        << c.permissions;
}

// Writes a one-page PDF: the title string is encrypted in memory, the page
// content in two streams through encryptFile (one plain, one compressed by
// zipFile first), the way the host writes its objects.
std::string buildEncryptedPdf(const kdtest::TempDir& dir, const PdfCase& c) {
    uint8_t fileId[16];
    MD5String("kdlib test document", 19, fileId);
    uint8_t o[32], u[32], key[16];
    computeKeys(c.owner.c_str(), c.user.c_str(), c.permissions, fileId, o, u, key, 0, c.revision, c.keyLength);

    std::vector<std::string> objects(9);
    objects[1] = "<< /Type /Catalog /Pages 2 0 R >>";
    objects[2] = "<< /Type /Pages /Kids [3 0 R] /Count 1 >>";
    objects[3] = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents [4 0 R 7 0 R] >>";

    std::string title = "kdlib secret title";
    Bytes titleBytes(title.begin(), title.end());
    encryptPDFContent(titleBytes.data(), static_cast<int32_t>(titleBytes.size()), 5, 0, key, 0, c.revision,
                      c.keyLength);
    objects[5] = "<< /Title <" + hexUpper(titleBytes.data(), titleBytes.size()) + "> >>";

    const std::string v = c.revision == 3 ? "2" : "1";
    objects[6] = "<< /Filter /Standard /V " + v + " /R " + std::to_string(c.revision) + " /Length " +
                 std::to_string(c.keyLength * 8) + " /O <" + hexUpper(o, 32) + "> /U <" + hexUpper(u, 32) +
                 "> /P " + std::to_string(c.permissions) + " >>";

    // Object 4: plain content stream, encrypted as an object file.
    const std::string content1 = "% kdlib-marker-plain\n0 0 m 100 100 l S\n";
    kdtest::writeFile(dir.file("obj4.txt"), "4 0 obj\r\n<< /Length " + std::to_string(content1.size()) +
                                                " >>\r\nstream\r\n" + content1);
    encryptFile(dir.file("obj4.txt").c_str(), dir.file("obj4.enc").c_str(), 4, 0, key, 0, c.revision,
                c.keyLength);
    std::string obj4 = kdtest::readText(dir.file("obj4.enc"));

    // Object 7: compressed by zipFile, its length in object 8, then
    // encrypted.
    std::string content2 = "% kdlib-marker-flate\n";
    for (int k = 0; k < 400; ++k) content2 += "10 10 m 190 " + std::to_string(k % 190) + " l S\n";
    kdtest::writeFile(dir.file("obj7.txt"), "<< /Filter /FlateDecode /Length 8 0 R >>\r\nstream\r\n" + content2);
    int32_t length7 = -1;
    EXPECT_EQ(zipFile(dir.file("obj7.txt").c_str(), dir.file("obj7.zip").c_str(), "FlateDecode", &length7), 1);
    kdtest::writeFile(dir.file("obj7.zip"), "7 0 obj\r\n" + kdtest::readText(dir.file("obj7.zip")));
    encryptFile(dir.file("obj7.zip").c_str(), dir.file("obj7.enc").c_str(), 7, 0, key, 0, c.revision,
                c.keyLength);
    std::string obj7 = kdtest::readText(dir.file("obj7.enc"));
    objects[8] = std::to_string(length7);

    std::string pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    std::vector<size_t> offsets(9, 0);
    for (int n = 1; n <= 8; ++n) {
        offsets[n] = pdf.size();
        if (n == 4) {
            pdf += obj4 + "\r\nendstream\r\nendobj\r\n";
        } else if (n == 7) {
            pdf += obj7 + "\r\nendstream\r\nendobj\r\n";
        } else {
            pdf += std::to_string(n) + " 0 obj\r\n" + objects[n] + "\r\nendobj\r\n";
        }
    }
    const size_t xref = pdf.size();
    pdf += "xref\n0 9\n0000000000 65535 f \n";
    for (int n = 1; n <= 8; ++n) {
        char line[24];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offsets[n]);
        pdf += line;
    }
    const std::string id = hexUpper(fileId, 16);
    pdf += "trailer\n<< /Size 9 /Root 1 0 R /Info 5 0 R /Encrypt 6 0 R /ID [<" + id + "> <" + id +
           ">] >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    const std::string path = dir.file("doc.pdf");
    kdtest::writeFile(path, pdf);
    return path;
}

// qpdf decrypts with the password and writes a readable (QDF) copy.
bool qpdfDecrypts(const kdtest::TempDir& dir, const std::string& pdf, const std::string& password,
                  std::string* plain) {
    const std::string out = dir.file("plain.pdf");
    std::remove(out.c_str());
    const int status = kdtest::run("qpdf --password=" + kdtest::quote(password) +
                                   " --decrypt --qdf --object-streams=disable " + kdtest::quote(pdf) + " " +
                                   kdtest::quote(out) + " 2>&1");
    if (status != 0) return false;
    *plain = kdtest::readText(out);
    return true;
}

std::string showEncryption(const std::string& pdf, const std::string& password) {
    std::string out;
    kdtest::run("qpdf --password=" + kdtest::quote(password) + " --show-encryption " + kdtest::quote(pdf) + " 2>&1",
                &out);
    return out;
}

class QpdfInterop : public ::testing::TestWithParam<PdfCase> {};

TEST_P(QpdfInterop, OpensWithUserAndOwnerPassword) {
    const PdfCase& c = GetParam();
    kdtest::TempDir dir;
    const std::string pdf = buildEncryptedPdf(dir, c);

    std::vector<std::string> passwords = {c.user};
    if (!c.owner.empty()) passwords.push_back(c.owner);
    for (const std::string& password : passwords) {
        SCOPED_TRACE("password '" + password + "'");
        std::string plain;
        ASSERT_TRUE(qpdfDecrypts(dir, pdf, password, &plain));
        EXPECT_NE(plain.find("kdlib secret title"), std::string::npos);
        EXPECT_NE(plain.find("% kdlib-marker-plain\n0 0 m 100 100 l S"), std::string::npos);
        EXPECT_NE(plain.find("% kdlib-marker-flate\n10 10 m 190 0 l S\n10 10 m 190 1 l S"), std::string::npos);
        EXPECT_NE(plain.find("10 10 m 190 19 l S\n"), std::string::npos);
    }
    const std::string asUser = showEncryption(pdf, c.user);
    EXPECT_NE(asUser.find("R = " + std::to_string(c.revision)), std::string::npos) << asUser;
    EXPECT_NE(asUser.find("P = " + std::to_string(c.permissions)), std::string::npos) << asUser;
    if (!c.owner.empty()) {
        EXPECT_NE(asUser.find("Supplied password is user password"), std::string::npos) << asUser;
        const std::string asOwner = showEncryption(pdf, c.owner);
        EXPECT_NE(asOwner.find("Supplied password is owner password"), std::string::npos) << asOwner;
    } else {
        // No owner password is known for the substitute block: the empty
        // password is the user password only.
        EXPECT_EQ(asUser.find("Supplied password is owner password"), std::string::npos) << asUser;
    }
    std::string plain;
    EXPECT_FALSE(qpdfDecrypts(dir, pdf, "wrong password", &plain));
}

INSTANTIATE_TEST_SUITE_P(
    Revisions, QpdfInterop,
    ::testing::Values(PdfCase{"owner-secret", "user", 2, 5, -4}, PdfCase{"owner-secret", "user", 3, 16, -3904},
                      PdfCase{"", "user", 2, 5, -4}, PdfCase{"", "user", 3, 16, -4},
                      PdfCase{"owner", "", 2, 5, -44},
                      // 40 characters: only the first 32 count.
                      PdfCase{"0123456789abcdefghijklmnopqrstuvwxyz!?#$", "u", 3, 16, -4},
                      PdfCase{"own", "usr", 3, 7, -4}),
    [](const ::testing::TestParamInfo<PdfCase>& info) {
        const PdfCase& c = info.param;
        return "R" + std::to_string(c.revision) + "_n" + std::to_string(c.keyLength) +
               (c.owner.empty() ? "_noOwner" : "_owner" + std::to_string(c.owner.size())) +
               (c.user.empty() ? "_noUser" : "_user");
    });

TEST(SecurityHandler, PasswordsBeyond32Bytes) {
    uint8_t id[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const std::string long40 = "0123456789abcdefghijklmnopqrstuvwxyz!?#$";
    const std::string first32 = long40.substr(0, 32);
    uint8_t o1[32], u1[32], k1[16], o2[32], u2[32], k2[16];
    computeKeys(long40.c_str(), long40.c_str(), -4, id, o1, u1, k1, 0, 3, 16);
    computeKeys(first32.c_str(), first32.c_str(), -4, id, o2, u2, k2, 0, 3, 16);
    EXPECT_EQ(0, std::memcmp(o1, o2, 32));
    EXPECT_EQ(0, std::memcmp(u1, u2, 32));
    EXPECT_EQ(0, std::memcmp(k1, k2, 16));
}

TEST(SecurityHandler, KeyLengthsOutsideTheRangeStayInsideTheKey) {
    uint8_t id[16] = {};
    uint8_t o[32], u[32];
    uint8_t key[24];
    std::memset(key, 0xEE, sizeof key);
    computeKeys("o", "u", -4, id, o, u, key, 0, 3, 40);  // clamped to 16
    for (int k = 16; k < 24; ++k) EXPECT_EQ(key[k], 0xEE);
    uint8_t key16[16];
    computeKeys("o", "u", -4, id, o, u, key16, 0, 3, 16);
    EXPECT_EQ(0, std::memcmp(key, key16, 16));

    std::memset(key, 0xEE, sizeof key);
    computeKeys("o", "u", -4, id, o, u, key, 0, 3, 0);  // no key bytes wanted
    computeKeys("o", "u", -4, id, o, u, key, 0, 2, -7);
    for (uint8_t b : key) EXPECT_EQ(b, 0xEE);

    uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    encryptPDFContent(data, 8, 1, 0, key16, 0, 3, 1000);
    encryptPDFContent(data, 8, 1, 0, key16, 0, 3, 16);  // the clamped key was the 16-byte key
    EXPECT_EQ(data[0], 1);
    EXPECT_EQ(data[7], 8);
    encryptPDFContent(data, 8, 1, 0, nullptr, 0, 3, -3);
    encryptPDFContent(nullptr, 8, 1, 0, key16, 0, 3, 5);
}

TEST(SecurityHandler, ObjectKeysAndContentRoundTrip) {
    uint8_t docKey[16];
    for (int k = 0; k < 16; ++k) docKey[k] = static_cast<uint8_t>(k * 17);
    uint8_t objKey[16];
    EXPECT_EQ(kd::objectKey(docKey, 16, 12, 0, objKey), 16);
    EXPECT_EQ(kd::objectKey(docKey, 5, 12, 0, objKey), 10);
    // MD5(key, 3 bytes of the object number, 2 of the generation).
    const uint8_t material[10] = {docKey[0], docKey[1], docKey[2], docKey[3], docKey[4], 0x56, 0x34, 0x12, 0x02, 0x01};
    uint8_t h[16];
    kd::md5(material, 10, h);
    kd::objectKey(docKey, 5, 0x123456, 0x0102, objKey);
    EXPECT_EQ(0, std::memcmp(h, objKey, 16));

    std::string text = "BT (Hello) Tj ET";
    std::vector<uint8_t> data(text.begin(), text.end());
    encryptPDFContent(data.data(), static_cast<int32_t>(data.size()), 9, 1, docKey, 0, 2, 5);
    EXPECT_NE(std::string(data.begin(), data.end()), text);
    encryptPDFContent(data.data(), static_cast<int32_t>(data.size()), 9, 1, docKey, 0, 3, 5);  // revision plays no part
    EXPECT_EQ(std::string(data.begin(), data.end()), text);
    encryptPDFContent(data.data(), 0, 9, 1, docKey, 0, 2, 5);
    EXPECT_EQ(std::string(data.begin(), data.end()), text);
}

TEST(SecurityHandler, EncryptFileHeaderBodyAndBadFiles) {
    kdtest::TempDir dir;
    uint8_t key[16] = {9, 8, 7, 6, 5};
    const std::string header = "3 0 obj\r\n<< /Length 5000 >>\r\nstream\r\n";
    std::string body(5000, '\0');
    for (size_t k = 0; k < body.size(); ++k) body[k] = static_cast<char>(k * 31 + (k >> 8));
    // A long header line arrives in pieces and is still copied.
    const std::string longLine = "% " + std::string(4500, 'x') + "\r\n";
    kdtest::writeFile(dir.file("in"), longLine + header + body);
    encryptFile(dir.file("in").c_str(), dir.file("out").c_str(), 3, 0, key, 0, 2, 5);
    const std::string out = kdtest::readText(dir.file("out"));
    ASSERT_EQ(out.size(), longLine.size() + header.size() + body.size());
    EXPECT_EQ(out.substr(0, longLine.size() + header.size()), longLine + header);
    std::vector<uint8_t> encrypted(out.begin() + static_cast<long>(longLine.size() + header.size()), out.end());
    encryptPDFContent(encrypted.data(), static_cast<int32_t>(encrypted.size()), 3, 0, key, 0, 2, 5);
    EXPECT_EQ(std::string(encrypted.begin(), encrypted.end()), body);

    // A bare line feed after "stream" is no stream line: copied unchanged.
    const std::string lf = "<< /Length 3 >>\nstream\nabc";
    kdtest::writeFile(dir.file("lf"), lf);
    encryptFile(dir.file("lf").c_str(), dir.file("lf.out").c_str(), 3, 0, key, 0, 2, 5);
    EXPECT_EQ(kdtest::readText(dir.file("lf.out")), lf);

    // Same file as input and output: the input survives.
    kdtest::writeFile(dir.file("self"), header + "data");
    EXPECT_EQ(encryptFile(dir.file("self").c_str(), dir.file("self").c_str(), 3, 0, key, 0, 2, 5), 0);
    EXPECT_EQ(kdtest::readText(dir.file("self")), header + "data");
#ifndef _WIN32
    // (Through a Unix symbolic link; under Wine such a link is not one file
    // with its target, and a dangling one stalls the folder's removal.)
    kdtest::run("ln -s self " + kdtest::quote(dir.file("link")));
    encryptFile(dir.file("self").c_str(), dir.file("link").c_str(), 3, 0, key, 0, 2, 5);
    EXPECT_EQ(kdtest::readText(dir.file("self")), header + "data");
#endif

    // Missing or unreadable input: no output is created.
    EXPECT_EQ(encryptFile(dir.file("missing").c_str(), dir.file("none").c_str(), 3, 0, key, 0, 2, 5), 0);
    EXPECT_FALSE(kdtest::fileExists(dir.file("none")));
    EXPECT_EQ(encryptFile(dir.path().c_str(), dir.file("none").c_str(), 3, 0, key, 0, 2, 5), 0);
    EXPECT_FALSE(kdtest::fileExists(dir.file("none")));
    EXPECT_EQ(encryptFile(nullptr, nullptr, 3, 0, key, 0, 2, 5), 0);
    // Output that cannot be made.
    EXPECT_EQ(encryptFile(dir.file("in").c_str(), dir.file("no/such/dir").c_str(), 3, 0, key, 0, 2, 5), 0);
}

}  // namespace

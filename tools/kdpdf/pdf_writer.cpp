// The PDF file itself: objects, strings, streams, encryption, xref.
#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "kdlib.h"
#include "kdpdf.h"

namespace kdpdf {

long processId() {
#ifdef _WIN32
    return _getpid();
#else
    return getpid();
#endif
}

// A name nobody else is likely to pick at the same moment: the time and an
// address of this process, stirred.
std::string uniqueTag() {
    static uint64_t counter = 0;
    uint64_t x = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                 (reinterpret_cast<uintptr_t>(&counter) << 16) ^ (++counter * 0x9E3779B97F4A7C15ull);
    x ^= x >> 31;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 29;
    static const char* alphabet = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string tag;
    for (int i = 0; i < 8; ++i, x /= 36) tag += alphabet[x % 36];
    return tag;
}

WorkDir::WorkDir() {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path base = fs::temp_directory_path(ec);  // TMPDIR, else /tmp (Windows: TEMP)
    if (ec) base = "/tmp";
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path dir = base / ("kdpdf." + uniqueTag());
        if (fs::create_directory(dir, ec)) {
            fs::permissions(dir, fs::perms::owner_all, fs::perm_options::replace, ec);  // as mkdtemp
            dir_ = dir.string();
            return;
        }
        if (ec && ec != std::errc::file_exists) break;
    }
    throw Failure("cannot create a work folder in " + base.string());
}

WorkDir::~WorkDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

std::string WorkDir::file(const std::string& name) { return dir_ + "/" + std::to_string(++counter_) + "-" + name; }

std::string readFile(const std::string& path) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) throw Failure("cannot open " + path + ": " + strerror(errno));
    std::string data;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) data.append(buf, n);
    bool bad = ferror(f);
    fclose(f);
    if (bad) throw Failure("cannot read " + path);
    return data;
}

void writeFile(const std::string& path, const std::string& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) throw Failure("cannot create " + path + ": " + strerror(errno));
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = (fclose(f) == 0) && ok;
    if (!ok) throw Failure("cannot write " + path);
}

bool fileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

namespace {

// Decodes one character of text that validUtf8 accepted.
uint32_t nextCodePoint(const std::string& s, size_t& i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : 3;
    uint32_t cp = extra == 0 ? c : c & (0x3Fu >> extra);
    for (int k = 1; k <= extra && i + static_cast<size_t>(k) < s.size(); ++k)
        cp = (cp << 6) | (static_cast<unsigned char>(s[i + static_cast<size_t>(k)]) & 0x3Fu);
    i += static_cast<size_t>(extra) + 1;
    return cp;
}

std::string hex(const uint8_t* p, size_t n) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        out += digits[p[i] >> 4];
        out += digits[p[i] & 15];
    }
    return out;
}

}  // namespace

bool validUtf8(const std::string& s) {
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
        if (extra < 0 || i + static_cast<size_t>(extra) >= s.size()) return false;
        uint32_t cp = extra == 0 ? c : c & (0x3Fu >> extra);
        for (int k = 1; k <= extra; ++k) {
            unsigned char d = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3Fu);
        }
        static const uint32_t least[4] = {0, 0x80, 0x800, 0x10000};
        if (cp < least[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) return false;
        i += static_cast<size_t>(extra) + 1;
    }
    return true;
}

std::vector<size_t> unitOffsets(const std::string& utf8) {
    std::vector<size_t> offsets;
    size_t i = 0;
    while (i < utf8.size()) {
        size_t start = i;
        uint32_t cp = nextCodePoint(utf8, i);
        offsets.push_back(start);
        if (cp > 0xFFFF) offsets.push_back(start);
    }
    offsets.push_back(utf8.size());
    return offsets;
}

std::vector<uint32_t> codePoints(const std::string& utf8) {
    std::vector<uint32_t> cps;
    size_t i = 0;
    while (i < utf8.size()) cps.push_back(nextCodePoint(utf8, i));
    return cps;
}

PdfWriter::PdfWriter(const std::string& path, const std::string& shownName, int version)
    : path_(path), shown_(shownName), offsets_(1, 0), version_(version), headerVersion_(version) {
    f_ = fopen(path.c_str(), "wb");
    if (!f_) throw Failure("cannot create " + shown_ + ": " + strerror(errno));
    write(version == 14 ? "%PDF-1.4\r\n" : "%PDF-1.7\r\n");
    write("%\xE2\xE3\xCF\xD3\r\n");  // marks the file as binary for transfer programs
}

PdfWriter::~PdfWriter() {
    if (f_) fclose(f_);
}

void PdfWriter::requireVersion(int version) { version_ = std::max(version_, version); }

int PdfWriter::alloc() { return allocBlock(1); }

int PdfWriter::allocBlock(int count) {
    int first = static_cast<int>(offsets_.size());
    offsets_.resize(offsets_.size() + static_cast<size_t>(count), -1);
    return first;
}

void PdfWriter::write(const std::string& text) {
    if (fwrite(text.data(), 1, text.size(), f_) != text.size()) throw Failure("cannot write " + shown_);
}

void PdfWriter::beginObject(int obj) {
    offsets_.at(static_cast<size_t>(obj)) = ftell(f_);
    current_ = obj;
    write(std::to_string(obj) + " 0 obj\r\n");
}

void PdfWriter::endObject() { write("\r\nendobj\r\n"); }

void PdfWriter::writeFileBody(const std::string& path) { write(readFile(path)); }

std::string PdfWriter::string(int obj, const std::string& bytes) {
    if (enc_.on) {
        std::vector<uint8_t> buf(bytes.begin(), bytes.end());
        encryptPDFContent(buf.data(), static_cast<int32_t>(buf.size()), obj, 0, enc_.key, 0, 3, 16);
        return "<" + hex(buf.data(), buf.size()) + ">";
    }
    std::vector<char> out(2 * bytes.size() + 2);
    int32_t n = mkPDFString(bytes.data(), static_cast<int32_t>(bytes.size()), "", out.data(), nullptr);
    return "(" + std::string(out.data(), static_cast<size_t>(n > 0 ? n : 0)) + ")";
}

std::string PdfWriter::textString(int obj, const std::string& utf8) {
    bool ascii = true;
    for (unsigned char c : utf8) ascii = ascii && c >= 32 && c < 127;
    if (ascii) return string(obj, utf8);
    std::vector<char> units(2 * (3 * utf8.size() + 100));
    int32_t n = _kd_ToUnicode(utf8.data(), static_cast<int32_t>(utf8.size()), units.data(), 65001);
    std::string be = "\xFE\xFF";
    if (n > 0) be.append(units.data(), 2 * static_cast<size_t>(n));
    return string(obj, be);
}

void PdfWriter::streamObjectFromFile(int obj, const std::string& path, WorkDir& work) {
    std::string body = path;
    if (enc_.on) {
        body = work.file("enc");
        encryptFile(path.c_str(), body.c_str(), obj, 0, enc_.key, 0, 3, 16);
        if (!fileExists(body)) throw Failure("cannot encrypt " + path);
    }
    beginObject(obj);
    writeFileBody(body);
    write("\r\nendstream");
    endObject();
}

void PdfWriter::deflatedStream(int obj, const std::string& dictEntries, const std::string& data, WorkDir& work) {
    int lengthObj = alloc();
    std::string raw = work.file("raw"), zipped = work.file("zip");
    writeFile(raw, "<< /Filter /FlateDecode /Length " + std::to_string(lengthObj) + " 0 R" + dictEntries +
                       " >>\r\nstream\r\n" + data);
    int32_t length = 0;
    if (zipFile(raw.c_str(), zipped.c_str(), "FlateDecode", &length) != 1) throw Failure("cannot compress " + raw);
    streamObjectFromFile(obj, zipped, work);
    integerObject(lengthObj, length);
}

void PdfWriter::integerObject(int obj, long value) {
    beginObject(obj);
    write(std::to_string(value));
    endObject();
}

void PdfWriter::nullObject(int obj) {
    beginObject(obj);
    write("null");
    endObject();
}

void PdfWriter::setEncryption(const std::string& userPassword, const std::string& ownerPassword) {
    // The file identifier: a digest of the output name and the time.
    std::string seed = path_ + std::to_string(std::chrono::system_clock::now().time_since_epoch().count()) +
                       std::to_string(processId());
    MD5String(seed.data(), static_cast<uint32_t>(seed.size()), fileId_);
    if (userPassword.empty() && ownerPassword.empty()) return;
    enc_.on = true;
    computeKeys(ownerPassword.c_str(), userPassword.c_str(), enc_.permissions, fileId_, enc_.o, enc_.u, enc_.key, 0,
                3, 16);
}

void PdfWriter::finish(int root, int info) {
    int encrypt = 0;
    if (enc_.on) {
        encrypt = alloc();
        beginObject(encrypt);
        write("<< /Filter /Standard /V 2 /R 3 /Length 128 /P " + std::to_string(enc_.permissions) + " /O <" +
              hex(enc_.o, 32) + "> /U <" + hex(enc_.u, 32) + "> >>");
        endObject();
    }
    for (size_t i = 1; i < offsets_.size(); ++i)
        if (offsets_[i] < 0) nullObject(static_cast<int>(i));  // numbers planned for a mask that was dropped
    long xref = ftell(f_);
    std::string table = "xref\r\n0 " + std::to_string(offsets_.size()) + "\r\n0000000000 65535 f\r\n";
    char entry[32];
    for (size_t i = 1; i < offsets_.size(); ++i) {
        snprintf(entry, sizeof entry, "%010ld 00000 n\r\n", offsets_[i]);
        table += entry;
    }
    write(table);
    std::string id = hex(fileId_, 16);
    std::string trailer = "trailer\r\n<< /Size " + std::to_string(offsets_.size()) + " /Root " + std::to_string(root) +
                          " 0 R /Info " + std::to_string(info) + " 0 R /ID [<" + id + "> <" + id + ">]";
    if (encrypt) trailer += " /Encrypt " + std::to_string(encrypt) + " 0 R";
    trailer += " >>\r\nstartxref\r\n" + std::to_string(xref) + "\r\n%%EOF\r\n";
    write(trailer);
    if (version_ != headerVersion_) {  // the header keeps its length: offsets stay
        if (fseek(f_, 0, SEEK_SET) != 0) throw Failure("cannot write " + shown_);
        write("%PDF-1." + std::to_string(version_ % 10) + "\r\n");
    }
    bool ok = fflush(f_) == 0 && !ferror(f_);
    ok = fclose(f_) == 0 && ok;
    f_ = nullptr;
    if (!ok) throw Failure("cannot write " + shown_);
}

}  // namespace kdpdf

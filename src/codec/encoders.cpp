#include <cstdio>
#include <cstring>

#include "codec/codecs.h"
#include "codec/file_io.h"

namespace kd {

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr uint8_t kInvalid = 0x80;
constexpr int kLineLength = 72;

struct DecodeTable {
    uint8_t value[256];
    DecodeTable() {
        std::memset(value, kInvalid, sizeof value);
        for (int k = 0; k < 64; ++k) value[static_cast<uint8_t>(kAlphabet[k])] = static_cast<uint8_t>(k);
        value[static_cast<uint8_t>('=')] = 0;
    }
};
const DecodeTable kDecode;

// The reader/writer state both directions share: a 256-byte input buffer
// and a block of output written at once.
class Base64Stream {
public:
    Base64Stream(std::FILE* in, std::FILE* out) : in_(in), out_(out) {}
    ~Base64Stream() { flush(); }

    // Next input byte, or -1 at end of input (a read of 0 bytes).
    int next() {
        if (pos_ == fill_) {
            if (atEnd_) return -1;
            fill_ = std::fread(input_, 1, sizeof input_, in_);
            pos_ = 0;
            if (fill_ == 0) {
                atEnd_ = true;
                return -1;
            }
        }
        return input_[pos_++];
    }

    void put(char c) {
        if (used_ == sizeof output_) flush();
        output_[used_++] = c;
    }

    // Through the line writer: a full line is ended before the next
    // character.
    void putEncoded(char c) {
        if (lineChars_ == kLineLength) {
            put('\r');
            put('\n');
            lineChars_ = 0;
        }
        put(c);
        ++lineChars_;
    }

    void flush() {
        if (used_ > 0) std::fwrite(output_, 1, used_, out_);
        used_ = 0;
    }

private:
    std::FILE* in_;
    std::FILE* out_;
    uint8_t input_[256];
    size_t fill_ = 0;
    size_t pos_ = 0;
    bool atEnd_ = false;
    int lineChars_ = 0;
    char output_[4096];
    size_t used_ = 0;
};

// Opens both files with the messages of the Base64 functions.
bool openBoth(const char* inPath, const char* outPath, FileHandle* in, FileHandle* out) {
    *in = openInput(inPath);
    if (!*in) {
        std::fprintf(stderr, "Cannot open input file %s\n", inPath ? inPath : "");
        return false;
    }
    // Writing over the input would destroy it before it is read.
    if (sameFile(inPath, outPath)) {
        std::fprintf(stderr, "Cannot open output file %s\n", outPath ? outPath : "");
        in->reset();
        return false;
    }
    *out = openOutput(outPath);
    if (!*out) {
        std::fprintf(stderr, "Cannot open output file %s\n", outPath ? outPath : "");
        in->reset();
        return false;
    }
    return true;
}

}  // namespace

void base64EncodeFile(const char* inPath, const char* outPath) {
    FileHandle in, out;
    if (!openBoth(inPath, outPath, &in, &out)) return;
    {
        Base64Stream stream(in.get(), out.get());
        for (;;) {
            uint8_t group[3] = {0, 0, 0};
            int taken = 0;
            bool ended = false;
            while (taken < 3) {
                const int c = stream.next();
                if (c < 0) {
                    ended = true;
                    break;
                }
                group[taken++] = static_cast<uint8_t>(c);
            }
            if (taken > 0) {
                const uint32_t bits = static_cast<uint32_t>(group[0]) << 16 | static_cast<uint32_t>(group[1]) << 8 |
                                      group[2];
                stream.putEncoded(kAlphabet[(bits >> 18) & 63]);
                stream.putEncoded(kAlphabet[(bits >> 12) & 63]);
                stream.putEncoded(taken > 1 ? kAlphabet[(bits >> 6) & 63] : '=');
                stream.putEncoded(taken > 2 ? kAlphabet[bits & 63] : '=');
            }
            if (ended) break;
        }
        stream.put('\r');
        stream.put('\n');
    }
}

void base64DecodeFile(const char* inPath, const char* outPath) {
    FileHandle in, out;
    if (!openBoth(inPath, outPath, &in, &out)) return;
    Base64Stream stream(in.get(), out.get());
    for (;;) {
        int chars[4];
        uint8_t values[4];
        int collected = 0;
        while (collected < 4) {
            const int c = stream.next();
            if (c < 0) break;
            if (c <= 32) continue;
            const uint8_t v = kDecode.value[c];
            if (v == kInvalid) {
                stream.flush();
                std::fprintf(stderr, "Illegal character '%c' in input file.\n", c);
                return;
            }
            chars[collected] = c;
            values[collected] = v;
            ++collected;
        }
        if (collected < 4) {
            if (collected > 0) {
                stream.flush();
                std::fprintf(stderr, "Input file incomplete.\n");
            }
            return;
        }
        const uint32_t bits = static_cast<uint32_t>(values[0]) << 18 | static_cast<uint32_t>(values[1]) << 12 |
                              static_cast<uint32_t>(values[2]) << 6 | values[3];
        stream.put(static_cast<char>(bits >> 16));
        if (chars[2] == '=') return;
        stream.put(static_cast<char>(bits >> 8));
        if (chars[3] == '=') return;
        stream.put(static_cast<char>(bits));
    }
}

bool hexDumpFile(const char* inPath, const char* outPath, int32_t bytesPerLine) {
    FilePair files = openFilePair(inPath, outPath);
    if (!files) return false;
    FileHandle& in = files.in;
    FileHandle& out = files.out;
    static const char kDigits[] = "0123456789ABCDEF";
    uint8_t block[4096];
    char text[16384];  // 4096 bytes as digits with a line break after each
    while (!std::feof(in.get()) && !std::ferror(in.get())) {
        const size_t got = std::fread(block, 1, sizeof block, in.get());
        size_t used = 0;
        int32_t onLine = 0;
        for (size_t k = 0; k < got; ++k) {
            text[used++] = kDigits[block[k] >> 4];
            text[used++] = kDigits[block[k] & 15];
            if (bytesPerLine > 0 && ++onLine == bytesPerLine) {
                text[used++] = '\r';
                text[used++] = '\n';
                onLine = 0;
            }
        }
        if (used > 0) std::fwrite(text, 1, used, out.get());
    }
    return true;
}

}  // namespace kd

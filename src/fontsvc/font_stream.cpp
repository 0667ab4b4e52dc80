#include "fontsvc/font_stream.h"

#include <zlib.h>

#include <cstring>
#include <memory>

namespace kd {

namespace {

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

bool isGiven(const char* name) { return name != nullptr && name[0] != '\0'; }

// Ends the compression state on every path.
class Deflater {
public:
    int init() {
        std::memset(&stream_, 0, sizeof stream_);
        int rc = deflateInit_(&stream_, Z_DEFAULT_COMPRESSION, "1.2.11", static_cast<int>(sizeof(z_stream)));
        live_ = rc == Z_OK;
        return rc;
    }
    ~Deflater() {
        if (live_) deflateEnd(&stream_);
    }
    int end() {
        live_ = false;
        return deflateEnd(&stream_);
    }
    z_stream& stream() { return stream_; }

private:
    z_stream stream_;
    bool live_ = false;
};

}  // namespace

int32_t writeFontStream(const char* streamFileName, const char* programCopyName, int32_t programLength,
                        const ProgramReader& read) {
    const bool compress = isGiven(streamFileName);
    Deflater deflater;
    if (compress && deflater.init() != Z_OK) return kStreamInitFailed;

    File copy;
    if (programCopyName != nullptr) {
        copy.reset(std::fopen(programCopyName, "wb"));
        if (!copy) return kOutputNotCreatable;
    }
    File stream;
    if (compress) {
        stream.reset(std::fopen(streamFileName, "wb"));
        if (!stream) {
            // Nothing half-written stays behind: the copy was only created.
            if (copy) {
                copy.reset();
                std::remove(programCopyName);
            }
            return kOutputNotCreatable;
        }
        std::fprintf(stream.get(), "/Filter /FlateDecode\r\n");
        std::fprintf(stream.get(), "/Length1 %d\r\n", programLength);
        std::fprintf(stream.get(), ">>\r\n");
        std::fprintf(stream.get(), "stream\r\n");
    }

    uint8_t input[kStreamChunk];
    uint8_t output[kStreamOutputArea];
    uint32_t offset = 0;
    int64_t written = 0;
    int32_t remaining = programLength;
    while (remaining > 0) {
        uint32_t chunk = remaining < static_cast<int32_t>(kStreamChunk) ? static_cast<uint32_t>(remaining)
                                                                        : kStreamChunk;
        remaining -= static_cast<int32_t>(chunk);
        std::memset(input, 0, chunk);
        read(offset, input, chunk);
        if (copy) std::fwrite(input, 1, chunk, copy.get());
        offset += chunk;
        if (!compress) continue;

        z_stream& z = deflater.stream();
        z.next_in = input;
        z.avail_in = chunk;
        z.next_out = output;
        z.avail_out = kStreamOutputArea;
        if (remaining > 0) {
            int rc = deflate(&z, Z_SYNC_FLUSH);
            if (rc != Z_OK) return rc;
        } else if (deflate(&z, Z_FINISH) != Z_STREAM_END) {
            return kStreamFinishFailed;
        }
        size_t produced = kStreamOutputArea - z.avail_out;
        written += static_cast<int64_t>(std::fwrite(output, 1, produced, stream.get()));
    }
    copy.reset();
    if (!compress) return 0;
    stream.reset();
    int rc = deflater.end();
    if (rc != Z_OK) return rc;
    return written > INT32_MAX ? INT32_MAX : static_cast<int32_t>(written);
}

}  // namespace kd

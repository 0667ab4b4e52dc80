#include <zlib.h>

#include <cstdio>
#include <cstring>

#include "codec/codecs.h"
#include "codec/file_io.h"

namespace kd {

namespace {

const char kZlibVersion[] = "1.2.11";
const char kStreamLine[] = "stream\r\n";

// Ends a zlib stream on every path.
struct DeflateGuard {
    z_stream* stream;
    ~DeflateGuard() { deflateEnd(stream); }
};
struct InflateGuard {
    z_stream* stream;
    ~InflateGuard() { inflateEnd(stream); }
};

// Compresses the rest of in into out: a sync flush after every 4096-byte
// block, the finish with the last one. Returns kZipOk or the failure value.
int32_t deflateRest(std::FILE* in, std::FILE* out) {
    const long dataStart = std::ftell(in);
    if (std::fseek(in, 0, SEEK_END) != 0) return kZipFileError;
    const long size = std::ftell(in);
    if (dataStart < 0 || size < 0 || std::fseek(in, dataStart, SEEK_SET) != 0) return kZipFileError;
    long remaining = size - dataStart;

    z_stream zs;
    std::memset(&zs, 0, sizeof zs);
    if (deflateInit_(&zs, Z_DEFAULT_COMPRESSION, kZlibVersion, static_cast<int>(sizeof zs)) != Z_OK)
        return kZipInitFailed;
    DeflateGuard guard{&zs};

    unsigned char input[4096];
    unsigned char output[4096];
    bool finished = false;
    while (!finished && !std::feof(in) && !std::ferror(in)) {
        const size_t got = std::fread(input, 1, sizeof input, in);
        remaining -= static_cast<long>(got);
        // The size taken at the start says when the last block has come;
        // end of input says it too, should the file have changed size.
        const bool last = remaining <= 0 || std::feof(in) || std::ferror(in);
        const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
        zs.next_in = input;
        zs.avail_in = static_cast<uInt>(got);
        do {
            zs.next_out = output;
            zs.avail_out = sizeof output;
            const int status = deflate(&zs, flush);
            if (flush == Z_FINISH) {
                if (status != Z_OK && status != Z_STREAM_END) return kZipFinishFailed;
            } else if (status != Z_OK) {
                return status;
            }
            const size_t produced = sizeof output - zs.avail_out;
            if (produced > 0) std::fwrite(output, 1, produced, out);
        } while (zs.avail_out == 0);
        finished = last;
    }
    // An input that failed while being read gives no stream.
    if (std::ferror(in)) return kZipFileError;
    return kZipOk;
}

}  // namespace

int32_t deflateObjectFile(const char* inPath, const char* outPath, const char* filter, int32_t* streamLength) {
    if (!filter) filter = "";
    // "wb" on the input itself would empty it before it is read.
    FilePair files = openFilePair(inPath, outPath);
    if (!files) return kZipFileError;
    std::FILE* in = files.in.get();
    std::FILE* out = files.out.get();

    // The object's dictionary, when the input starts with one, is copied up
    // to and including its "stream\r\n" line.
    char line[4096];
    const size_t head = readLine(in, line, 2);
    if (head == 2 && line[0] == '<' && line[1] == '<') {
        std::fwrite(line, 1, 2, out);
        for (;;) {
            const size_t got = readLine(in, line, sizeof line - 1);
            if (got == 0) break;
            std::fwrite(line, 1, got, out);
            if (got == 8 && std::memcmp(line, kStreamLine, 8) == 0) break;
        }
    } else {
        std::rewind(in);
        std::fwrite(kStreamLine, 1, 8, out);
    }
    const long dataStart = std::ftell(out);

    if (filter[0] == '\0') {
        char block[4096];
        while (!std::feof(in) && !std::ferror(in)) {
            const size_t got = std::fread(block, 1, sizeof block, in);
            if (got > 0) std::fwrite(block, 1, got, out);
        }
        if (std::ferror(in)) return kZipFileError;
    } else if (std::strcmp(filter, "FlateDecode") == 0) {
        const int32_t status = deflateRest(in, out);
        if (status != kZipOk) return status;
    }

    const long dataEnd = std::ftell(out);
    if (streamLength && dataStart >= 0 && dataEnd >= dataStart) *streamLength = static_cast<int32_t>(dataEnd - dataStart);
    return kZipOk;
}

int32_t inflateFile(const char* inPath, const char* outPath) {
    FilePair files = openFilePair(inPath, outPath);
    if (!files) return kZipFileError;
    std::FILE* in = files.in.get();
    std::FILE* out = files.out.get();

    z_stream zs;
    std::memset(&zs, 0, sizeof zs);
    if (inflateInit_(&zs, kZlibVersion, static_cast<int>(sizeof zs)) != Z_OK) {
        inflateEnd(&zs);
        return kZipInitFailed;
    }
    InflateGuard guard{&zs};

    unsigned char input[1024];
    static thread_local unsigned char output[65000];
    bool ended = false;
    while (!ended && !std::feof(in) && !std::ferror(in)) {
        const size_t got = std::fread(input, 1, sizeof input, in);
        zs.next_in = input;
        zs.avail_in = static_cast<uInt>(got);
        do {
            zs.next_out = output;
            zs.avail_out = sizeof output;
            const int status = inflate(&zs, Z_NO_FLUSH);
            // Z_BUF_ERROR only says no progress was possible with what is
            // there (for instance a read of 0 bytes); truncation is caught
            // below.
            if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) return kUnzipFailed;
            const size_t produced = sizeof output - zs.avail_out;
            if (produced > 0) std::fwrite(output, 1, produced, out);
            if (status == Z_STREAM_END) ended = true;
            if (status == Z_BUF_ERROR) break;
        } while (!ended && zs.avail_out == 0);
    }
    // A stream that never reached its end is damaged or cut short.
    if (!ended) return kUnzipFailed;
    return kZipOk;
}

}  // namespace kd

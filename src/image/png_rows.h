// The pieces of the PNG decode path, each holding at most a row or a small
// buffer: the compressed bytes of the image data chunks in file order, their
// inflation, and the unfiltered rows of one row stream. A decoder pulls rows
// through them, transforms each row and pushes it into the deflate sink and
// the mask file, so nothing but the image itself is ever read or written.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/png_filter.h"

namespace kd::image {

struct PicInfo;

// The data of the IDAT chunks from firstIdatOffset on, as one byte stream.
// It ends at IEND, at the end of the file, or where a chunk is cut short.
class IdatStream {
public:
    explicit IdatStream(PicInfo& info) : info_(info) {}
    // Up to n bytes; 0 once the data have ended.
    size_t read(uint8_t* to, size_t n);

private:
    bool nextChunk();  // false when there is none

    PicInfo& info_;
    uint64_t left_ = 0;  // unread bytes of the current chunk
    bool started_ = false;
    bool ended_ = false;
};

// The inflated IDAT stream. status() is 0, kErrInflateInit when zlib cannot
// start, or kErrInflate once the data turned out damaged.
class IdatInflater {
public:
    explicit IdatInflater(PicInfo& info);
    ~IdatInflater();
    IdatInflater(const IdatInflater&) = delete;
    IdatInflater& operator=(const IdatInflater&) = delete;

    int status() const { return status_; }
    // Up to n inflated bytes: fewer only when the data end or fail.
    size_t read(uint8_t* to, size_t n);
    // Ends the inflater: 0, or kErrInflateEnd.
    int finish();

private:
    IdatStream source_;
    z_stream z_{};
    bool open_ = false;
    bool ended_ = false;
    int status_ = 0;
    std::vector<uint8_t> input_;
};

// The rows of one row stream (filter-type byte + rowBytes bytes each), with
// their filters undone. An interlaced image has one such stream per pass,
// all read from the same inflater.
class ScanlineRows {
public:
    ScanlineRows(IdatInflater& source, size_t rowBytes, size_t bytesPerPixel)
        : source_(source), filter_(rowBytes, bytesPerPixel), row_(rowBytes + 1) {}
    // The next unfiltered row, the caller's to change until the next call.
    // Bytes the data do not reach, its filter type included, are zero.
    uint8_t* next();
    size_t rowBytes() const { return row_.size() - 1; }

private:
    IdatInflater& source_;
    RowFilter filter_;
    std::vector<uint8_t> row_;
};

}  // namespace kd::image

#include "image/png_rows.h"

#include <cstring>

#include "image/pic_info.h"

namespace kd::image {

size_t IdatStream::read(uint8_t* to, size_t n) {
    while (left_ == 0)
        if (!nextChunk()) return 0;
    const size_t want = left_ < n ? size_t(left_) : n;
    const size_t got = info_.readBlock(to, want);
    left_ -= got;
    if (got < want) {
        ended_ = true;  // the file ends inside the chunk
        left_ = 0;
    }
    return got;
}

bool IdatStream::nextChunk() {
    if (ended_) return false;
    if (!started_) {
        started_ = true;
        if (info_.firstIdatOffset == 0) {  // no image data at all
            ended_ = true;
            return false;
        }
        info_.seekTo(info_.firstIdatOffset);
    } else {
        // The finished chunk's CRC, not checked: read rather than skipped,
        // since a seek would drop the input's buffer at every chunk.
        uint8_t crc[4];
        info_.readBlock(crc, 4);
    }
    while (!info_.eof()) {
        const uint32_t length = info_.readU32BE();
        char type[5] = {0, 0, 0, 0, 0};
        info_.readBlock(type, 4);
        if (info_.eof()) break;
        if (strcmp(type, "IDAT") == 0) {
            left_ = length;
            return true;
        }
        if (strcmp(type, "IEND") == 0) break;
        info_.skip(length);
        info_.skip(4);
    }
    ended_ = true;
    return false;
}

IdatInflater::IdatInflater(PicInfo& info) : source_(info), input_(16384) {
    if (inflateInit_(&z_, "1.2.11", int(sizeof(z_stream))) != Z_OK)
        status_ = kErrInflateInit;
    else
        open_ = true;
}

IdatInflater::~IdatInflater() {
    if (open_) inflateEnd(&z_);
}

size_t IdatInflater::read(uint8_t* to, size_t n) {
    size_t produced = 0;
    while (produced < n && status_ == 0 && !ended_) {
        if (z_.avail_in == 0) {
            const size_t got = source_.read(input_.data(), input_.size());
            if (got == 0) {
                ended_ = true;
                break;
            }
            z_.next_in = input_.data();
            z_.avail_in = uInt(got);
        }
        // Rows are far below 4 GiB: zlib's 32-bit counts take any request.
        z_.next_out = to + produced;
        z_.avail_out = uInt(n - produced);
        const int result = inflate(&z_, Z_NO_FLUSH);
        produced = n - z_.avail_out;
        if (result == Z_STREAM_END)
            ended_ = true;
        else if (result != Z_OK)
            status_ = kErrInflate;
    }
    return produced;
}

int IdatInflater::finish() {
    if (!open_) return status_;
    open_ = false;
    return inflateEnd(&z_) == Z_OK ? 0 : kErrInflateEnd;
}

uint8_t* ScanlineRows::next() {
    const size_t got = source_.read(row_.data(), row_.size());
    if (got < row_.size()) memset(row_.data() + got, 0, row_.size() - got);
    uint8_t* row = row_.data() + 1;
    filter_.unfilter(row_[0], row);
    return row;
}

}  // namespace kd::image

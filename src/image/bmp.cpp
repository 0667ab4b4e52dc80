// Windows bitmap pixel data to PDF samples: packed rows for palette depths,
// RGB triples for 16, 24 and 32 bits, run-length data expanded to indices
// with the holes it leaves as a one-bit soft mask.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "image/pic_info.h"

namespace kd::image {

namespace {

uint32_t absValue(int32_t v) { return v < 0 ? 0u - uint32_t(v) : uint32_t(v); }

struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;
    double scale = 0;  // 255 / (2^bits - 1), 0 for an empty mask

    explicit Channel(uint32_t m) : mask(m) {
        if (!m) return;
        while (!((m >> shift) & 1)) ++shift;
        uint32_t v = m >> shift;
        while (bits < 32 && (v >> bits)) ++bits;
        scale = 255.0 / (std::ldexp(1.0, bits) - 1.0);
    }
    uint32_t raw(uint32_t v) const { return (v & mask) >> shift; }
    uint8_t scaled(uint32_t v) const { return uint8_t(std::trunc(double(raw(v)) * scale)); }
};

uint8_t widen5(uint32_t c) { return uint8_t((c << 3) | (c >> 2)); }

// Stored row of output row `r` (0 = top image row).
uint64_t storedRowOffset(const PicInfo& info, uint32_t r, uint64_t stride) {
    uint32_t height = absValue(info.height);
    uint64_t stored = info.height > 0 ? height - 1 - r : r;
    return uint64_t(info.dataOffset) + stored * stride;
}

// Reads one stored row; bytes the file does not hold read as 0.
void readStoredRow(PicInfo& info, uint64_t offset, uint8_t* row, size_t length) {
    info.seekTo(int64_t(offset));
    size_t got = info.readBlock(row, length);
    if (got < length) memset(row + got, 0, length - got);
}

int copyPackedRows(PicInfo& info) {
    const uint64_t packed = (uint64_t(info.bitCount) * uint32_t(info.width) + 7) / 8;
    const uint64_t stride = (packed + 3) & ~uint64_t(3);
    std::vector<uint8_t> row(packed);
    const uint32_t height = absValue(info.height);
    for (uint32_t r = 0; r < height; ++r) {
        readStoredRow(info, storedRowOffset(info, r, stride), row.data(), row.size());
        if (sinkPutBlock(info, row.data(), row.size()) != 0) return kErrDeflate;
    }
    return 0;
}

void writeMaskRow(PicInfo& info, const uint8_t* alpha, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (alpha[i] != 255) {
            info.maskAllOpaque = 0;
            break;
        }
    if (info.maskFile) fwrite(alpha, 1, count, info.maskFile);
}

int convertPixels(PicInfo& info) {
    const uint32_t width = uint32_t(info.width);
    const int bits = info.bitCount;
    const uint64_t packed = (uint64_t(bits) * width + 7) / 8;
    const uint64_t stride = (packed + 3) & ~uint64_t(3);
    const bool fields = info.compression == kBiBitfields;
    const bool withAlpha = info.hasSoftMask == 1;
    std::vector<uint8_t> row(packed), rgb(size_t(width) * 3), alpha(withAlpha ? width : 0);

    Channel red(info.redMask), green(info.greenMask), blue(info.blueMask), alphaCh(info.alphaMask);
    if (bits == 16 && !fields) red = Channel(0x7C00), green = Channel(0x03E0), blue = Channel(0x001F);
    const bool wide = red.bits > 8 || green.bits > 8 || blue.bits > 8;
    enum { k555, k565, kOther } form16 = kOther;
    if (info.redMask == 0x7C00 && info.greenMask == 0x03E0) form16 = k555;
    if (info.redMask == 0xF800 && info.greenMask == 0x07E0) form16 = k565;

    const uint32_t height = absValue(info.height);
    for (uint32_t r = 0; r < height; ++r) {
        readStoredRow(info, storedRowOffset(info, r, stride), row.data(), row.size());
        const uint8_t* p = row.data();
        uint8_t* o = rgb.data();
        for (uint32_t x = 0; x < width; ++x, o += 3) {
            if (bits == 24) {
                o[0] = p[2], o[1] = p[1], o[2] = p[0];
                p += 3;
            } else if (bits == 32 && !fields) {
                o[0] = p[2], o[1] = p[1], o[2] = p[0];
                if (withAlpha) alpha[x] = p[3];
                p += 4;
            } else if (bits == 32) {
                uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
                p += 4;
                if (wide) {
                    o[0] = red.scaled(v), o[1] = green.scaled(v), o[2] = blue.scaled(v);
                    if (withAlpha) alpha[x] = alphaCh.scaled(v);
                } else {
                    o[0] = uint8_t(red.raw(v)), o[1] = uint8_t(green.raw(v)), o[2] = uint8_t(blue.raw(v));
                    if (withAlpha) alpha[x] = uint8_t(alphaCh.raw(v));
                }
            } else {  // 16 bits
                uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8;
                p += 2;
                if (!fields) {
                    o[0] = widen5(red.raw(v)), o[1] = widen5(green.raw(v)), o[2] = widen5(blue.raw(v));
                } else {
                    if (form16 == k555) {
                        o[2] = widen5(v & info.blueMask), o[1] = widen5((v >> 5) & 31), o[0] = widen5((v >> 10) & 31);
                    } else if (form16 == k565) {
                        o[2] = uint8_t(((v & info.blueMask) * 527 + 23) >> 6);
                        o[1] = uint8_t((((v >> 5) & 63) * 259 + 33) >> 6);
                        o[0] = uint8_t(((v >> 11) * 527 + 23) >> 6);
                    } else {
                        o[0] = red.scaled(v), o[1] = green.scaled(v), o[2] = blue.scaled(v);
                    }
                    if (withAlpha) alpha[x] = alphaCh.scaled(v);
                }
            }
        }
        if (withAlpha && (bits == 32 || fields)) writeMaskRow(info, alpha.data(), alpha.size());
        if (sinkPutBlock(info, rgb.data(), rgb.size()) != 0) return kErrDeflate;
    }
    return 0;
}

// Index and mask rasters of a run-length bitmap, in decoding order.
class RleRasters {
public:
    explicit RleRasters(PicInfo& info)
        : info_(info), width_(uint32_t(info.width)), height_(absValue(info.height)),
          index_(size_t(width_) * height_, 0) {
        if (info.hasSoftMask == 1) {
            info.maskBytesPerRow = int32_t((uint32_t(info.maskWidth) + 7) / 8);
            info.maskBuffer.assign(size_t(info.maskBytesPerRow) * height_, 0xFF);
        }
    }

    void setPixel(uint64_t x, uint64_t y, uint8_t v) {
        if (x < width_ && y < height_) index_[size_t(y * width_ + x)] = v;
    }

    // Clears `count` consecutive mask pixels from (x, y) in raster order;
    // marks outside the raster are dropped.
    void markTransparent(uint64_t y, uint64_t x, uint64_t count) {
        if (info_.hasSoftMask != 1) return;
        info_.maskAllOpaque = 0;
        if (y >= height_) return;
        const uint64_t total = uint64_t(width_) * height_;
        uint64_t from = y * width_ + x;
        uint64_t to = from + count;
        if (to > total) to = total;
        while (from < to) {
            uint64_t line = from / width_;
            uint64_t col = from % width_;
            uint64_t end = std::min<uint64_t>(to - from, width_ - col) + col;
            uint64_t maskRow = info_.maskHeight > 0 ? height_ - line - 1 : line;
            uint8_t* row = info_.maskBuffer.data() + maskRow * uint32_t(info_.maskBytesPerRow);
            for (uint64_t c = col; c < end; ++c) row[c / 8] &= uint8_t(~(0x80u >> (c % 8)));
            from += end - col;
        }
    }

    void flushMask() {
        if (info_.maskAllOpaque == 0 && info_.maskFile)
            fwrite(info_.maskBuffer.data(), 1, info_.maskBuffer.size(), info_.maskFile);
        info_.maskBuffer.clear();
        info_.maskBuffer.shrink_to_fit();
    }

    const uint8_t* line(uint32_t y) const { return index_.data() + size_t(y) * width_; }
    uint32_t width() const { return width_; }
    uint32_t height() const { return height_; }

private:
    PicInfo& info_;
    uint32_t width_, height_;
    std::vector<uint8_t> index_;
};

int decodeRle(PicInfo& info) {
    const bool four = info.compression == kBiRle4;
    RleRasters rasters(info);
    const uint32_t width = rasters.width();
    info.seekTo(info.dataOffset);
    uint64_t x = 0, y = 0;
    for (;;) {
        int n = info.readByte();
        int v = info.readByte();
        if (info.eof()) break;
        if (n > 0) {
            for (int i = 0; i < n; ++i, ++x) rasters.setPixel(x, y, four ? ((i & 1) ? v & 15 : v >> 4) : v);
        } else if (v == 0) {
            if (x < width) rasters.markTransparent(y, x, width - x);
            ++y;
            x = 0;
        } else if (v == 1) {
            break;
        } else if (v == 2) {
            uint64_t dx = info.readByte();
            uint64_t dy = info.readByte();
            rasters.markTransparent(y, x, dy * width + dx);
            x += dx;
            y += dy;
        } else {
            const int m = v;
            if (four) {
                const int bytes = (m + 1) / 2;
                for (int b = 0; b < bytes; ++b) {
                    int d = info.readByte();
                    rasters.setPixel(x++, y, uint8_t(d >> 4));
                    if (2 * b + 1 < m) rasters.setPixel(x++, y, uint8_t(d & 15));
                }
                if (bytes & 1) info.readByte();
            } else {
                for (int i = 0; i < m; ++i) rasters.setPixel(x++, y, uint8_t(info.readByte()));
                if (m & 1) info.readByte();
            }
        }
    }
    // Whatever the data never reached is transparent.
    const uint64_t total = uint64_t(width) * rasters.height();
    if (y < rasters.height()) {
        const uint64_t at = y * width + x;
        if (at < total) rasters.markTransparent(y, x, total - at);
    }
    rasters.flushMask();

    std::vector<uint8_t> packed(four ? (width + 1) / 2 : 0);
    for (uint32_t r = 0; r < rasters.height(); ++r) {
        const uint32_t lineNo = info.height > 0 ? rasters.height() - 1 - r : r;
        const uint8_t* line = rasters.line(lineNo);
        int status;
        if (!four) {
            status = sinkPutBlock(info, line, width);
        } else {
            std::fill(packed.begin(), packed.end(), 0);
            for (uint32_t i = 0; i < width; ++i) packed[i / 2] |= uint8_t((line[i] & 15) << ((i & 1) ? 0 : 4));
            status = sinkPutBlock(info, packed.data(), packed.size());
        }
        if (status != 0) return kErrDeflate;
    }
    return 0;
}

}  // namespace

int decodeBmp(PicInfo& info) {
    if (sinkInitDeflate(info, Z_DEFAULT_COMPRESSION) != 0) return kErrDeflateInit;
    int code;
    if (info.compression == kBiRle8 || info.compression == kBiRle4)
        code = decodeRle(info);
    else if (info.colourType == 1 || info.colourType == 2)
        code = copyPackedRows(info);
    else
        code = convertPixels(info);
    if (code != 0) return code;
    if (sinkFinish(info) != 0) return kErrDeflateFinish;
    return sinkEndDeflate(info);
}

}  // namespace kd::image

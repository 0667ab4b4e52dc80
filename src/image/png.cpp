// PNG image data: passed through with its row filters where PDF can take
// it, otherwise inflated, unfiltered, split into colour and alpha and
// deflated again row by row. Also the two exported helpers that filter raw
// rows into PNG scanline data.
#include "image/png_filter.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "image/pic_info.h"
#include "image/png_rows.h"

namespace kd::image {

// ---- Row filters ---------------------------------------------------------

RowFilter::RowFilter(size_t rowLength, size_t bytesPerPixel)
    : bpp_(bytesPerPixel ? bytesPerPixel : 1), length_(rowLength), previous_(rowLength, 0), work_(rowLength, 0) {}

namespace {

inline uint8_t paeth(int left, int up, int upperLeft) {
    int p = left + up - upperLeft;
    int pa = p > left ? p - left : left - p;
    int pb = p > up ? p - up : up - p;
    int pc = p > upperLeft ? p - upperLeft : upperLeft - p;
    if (pa <= pb && pa <= pc) return uint8_t(left);
    if (pb <= pc) return uint8_t(up);
    return uint8_t(upperLeft);
}

}  // namespace

void RowFilter::unfilter(int type, uint8_t* row) {
    const uint8_t* up = previous_.data();
    const size_t n = length_, b = bpp_;
    switch (type) {
        case 1:
            for (size_t i = b; i < n; ++i) row[i] = uint8_t(row[i] + row[i - b]);
            break;
        case 2:
            for (size_t i = 0; i < n; ++i) row[i] = uint8_t(row[i] + up[i]);
            break;
        case 3:
            for (size_t i = 0; i < n; ++i) row[i] = uint8_t(row[i] + (((i >= b ? row[i - b] : 0) + up[i]) >> 1));
            break;
        case 4:
            for (size_t i = 0; i < n; ++i) {
                int left = i >= b ? row[i - b] : 0, ul = i >= b ? up[i - b] : 0;
                row[i] = uint8_t(row[i] + paeth(left, up[i], ul));
            }
            break;
        default: break;  // 0, and types no valid file uses, leave the row as it is
    }
    if (n) memcpy(previous_.data(), row, n);
}

void RowFilter::filter(int type, uint8_t* row) {
    const uint8_t* up = previous_.data();
    const uint8_t* raw = work_.data();
    const size_t n = length_, b = bpp_;
    if (n) memcpy(work_.data(), row, n);
    switch (type) {
        case 1:
            for (size_t i = b; i < n; ++i) row[i] = uint8_t(raw[i] - raw[i - b]);
            break;
        case 2:
            for (size_t i = 0; i < n; ++i) row[i] = uint8_t(raw[i] - up[i]);
            break;
        case 3:
            for (size_t i = 0; i < n; ++i) row[i] = uint8_t(raw[i] - (((i >= b ? raw[i - b] : 0) + up[i]) >> 1));
            break;
        case 4:
            for (size_t i = 0; i < n; ++i) {
                int left = i >= b ? raw[i - b] : 0, ul = i >= b ? up[i - b] : 0;
                row[i] = uint8_t(raw[i] - paeth(left, up[i], ul));
            }
            break;
        default: break;
    }
    previous_.swap(work_);
}

// ---- Pass-through --------------------------------------------------------

int copyIdatData(PicInfo& info) {
    // The whole cost of the pass-through, so it runs like a file copy: the
    // chunks are walked inside large blocks read in turn (no seek per
    // chunk), and each block's image data are gathered at its front and
    // written in one piece. The data end at IEND, at the end of the file,
    // or where a chunk is cut short.
    if (info.firstIdatOffset == 0) return 0;
    info.seekTo(info.firstIdatOffset);
    std::vector<uint8_t> block(size_t(1) << 18);
    uint8_t header[8];
    size_t headerHave = 0;
    uint64_t copyLeft = 0, skipLeft = 0;  // of the current chunk: data to copy, then bytes to pass over
    for (;;) {
        const size_t got = info.readBlock(block.data(), block.size());
        size_t at = 0, kept = 0;
        bool ended = false;
        while (at < got && !ended) {
            if (copyLeft > 0) {
                const size_t n = size_t(std::min<uint64_t>(copyLeft, got - at));
                memmove(block.data() + kept, block.data() + at, n);
                kept += n, at += n, copyLeft -= n;
            } else if (skipLeft > 0) {
                const size_t n = size_t(std::min<uint64_t>(skipLeft, got - at));
                at += n, skipLeft -= n;
            } else {
                const size_t n = std::min(sizeof header - headerHave, got - at);
                memcpy(header + headerHave, block.data() + at, n);
                at += n, headerHave += n;
                if (headerHave < sizeof header) continue;
                headerHave = 0;
                const uint32_t length = uint32_t(header[0]) << 24 | uint32_t(header[1]) << 16 |
                                        uint32_t(header[2]) << 8 | header[3];
                const bool idat = memcmp(header + 4, "IDAT", 4) == 0;
                ended = memcmp(header + 4, "IEND", 4) == 0;
                copyLeft = idat ? length : 0;
                skipLeft = (idat ? 0 : uint64_t(length)) + 4;  // the CRC is not checked
            }
        }
        putOutput(info, block.data(), kept);
        if (ended || got < block.size()) return 0;
    }
}

// ---- Decode path ---------------------------------------------------------

namespace {

struct PngGeometry {
    size_t depth, sampleBytes, channels, pixelBits, pixelBytes, rowBytes, alphaBytes, colourBytes, divisor;
};

PngGeometry geometryOf(const PicInfo& info) {
    PngGeometry g{};
    const int ct = info.pngColourType;
    g.depth = size_t(info.pngBitDepth);
    g.sampleBytes = info.pngBitDepth <= 8 ? 1 : size_t(info.pngBitDepth / 8);
    g.channels = (ct == 2 || ct == 6 ? 3 : 1) + (ct == 4 || ct == 6 ? 1 : 0);
    g.pixelBits = g.channels * g.depth;
    // Below 8 bits per pixel the filters' left neighbour is one byte away.
    g.pixelBytes = g.pixelBits < 8 ? 1 : g.pixelBits / 8;
    g.rowBytes = (size_t(info.width) * g.pixelBits + 7) / 8;
    g.alphaBytes = (ct == 4 || ct == 6) ? size_t(info.width) * g.sampleBytes : 0;
    g.colourBytes = g.rowBytes - g.alphaBytes;
    g.divisor = (info.pdfVersion < 15 && info.pngBitDepth == 16) ? 2 : 1;
    return g;
}

// Sample k of a packed row, at 1, 2, 4, 8 or 16 bits.
inline uint32_t sampleAt(const uint8_t* row, size_t k, size_t depth) {
    if (depth == 8) return row[k];
    if (depth == 16) return uint32_t(row[2 * k] << 8) | row[2 * k + 1];
    const size_t bit = k * depth;
    return (row[bit / 8] >> (8 - depth - bit % 8)) & ((1u << depth) - 1);
}

// The alpha a tRNS chunk gives each pixel of an unfiltered row, found at
// the samples' full depth (before any cut to 8 bits).
class TrnsMask {
public:
    TrnsMask(const PicInfo& info, const PngGeometry& g, bool wanted)
        : info_(info), g_(g), alpha_(wanted ? size_t(info.width) : 0) {}
    bool active() const { return !alpha_.empty(); }
    void apply(const uint8_t* row) {
        const size_t c = g_.channels;
        for (size_t x = 0; x < alpha_.size(); ++x) {
            uint8_t a;
            if (info_.trnsKind == PicInfo::kPaletteAlpha) {
                a = info_.paletteAlpha[sampleAt(row, x, g_.depth)];
            } else {
                bool key = true;
                for (size_t i = 0; i < c; ++i) key = key && sampleAt(row, x * c + i, g_.depth) == info_.colourKey[i];
                a = key ? 0 : 255;
            }
            alpha_[x] = a;
            if (a != 255) opaque_ = false;
        }
    }
    const uint8_t* data() const { return alpha_.data(); }
    size_t size() const { return alpha_.size(); }
    bool opaque() const { return opaque_; }

private:
    const PicInfo& info_;
    PngGeometry g_;
    std::vector<uint8_t> alpha_;
    bool opaque_ = true;
};

// Reads the seven Adam7 passes and places their pixels into full rows.
// Bytes a short pass does not reach stay zero.
std::vector<uint8_t> deinterlace(IdatInflater& inflater, const PngGeometry& g, size_t width, size_t height) {
    static const uint8_t x0[7] = {0, 4, 0, 2, 0, 1, 0}, y0[7] = {0, 0, 4, 0, 2, 0, 1};
    static const uint8_t dx[7] = {8, 8, 4, 4, 2, 2, 1}, dy[7] = {8, 8, 8, 4, 4, 2, 2};
    std::vector<uint8_t> image(g.rowBytes * height, 0);
    const size_t bits = g.pixelBits, bytes = bits / 8;
    for (int p = 0; p < 7; ++p) {
        const size_t w = width > x0[p] ? (width - x0[p] + dx[p] - 1) / dx[p] : 0;
        const size_t h = height > y0[p] ? (height - y0[p] + dy[p] - 1) / dy[p] : 0;
        if (w == 0 || h == 0) continue;  // an empty pass has no rows, not even filter bytes
        ScanlineRows rows(inflater, (w * bits + 7) / 8, g.pixelBytes);
        for (size_t j = 0; j < h; ++j) {
            const uint8_t* from = rows.next();
            uint8_t* to = image.data() + (y0[p] + j * dy[p]) * g.rowBytes;
            for (size_t i = 0, x = x0[p]; i < w; ++i, x += dx[p]) {
                if (bits >= 8)
                    memcpy(to + x * bytes, from + i * bytes, bytes);
                else
                    to[x * bits / 8] |= uint8_t(sampleAt(from, i, bits) << (8 - bits - x * bits % 8));
            }
        }
    }
    return image;
}

// The per-row transform: colour apart from alpha (the last sample of each
// pixel), and 16-bit samples cut to their high byte when the divisor is 2.
class SampleSplit {
public:
    SampleSplit(const PngGeometry& g, bool hasAlpha)
        : g_(g), hasAlpha_(hasAlpha), colour_(hasAlpha ? g.colourBytes : 0), alpha_(g.alphaBytes) {}

    // Takes an unfiltered row (changed in place when it is all colour).
    void apply(uint8_t* row) {
        colourRow_ = row;
        if (hasAlpha_) {
            // Fixed pixel layouts let the compiler unroll the copy.
            if (g_.sampleBytes == 1 && g_.channels == 4)
                splitPixels<3, 1>(row);
            else if (g_.sampleBytes == 1 && g_.channels == 2)
                splitPixels<1, 1>(row);
            else
                splitPixels<0, 0>(row);
            colourRow_ = colour_.data();
        }
        if (g_.divisor == 2) {
            for (size_t k = 0; k < g_.colourBytes / 2; ++k) colourRow_[k] = colourRow_[2 * k];
            for (size_t k = 0; k < g_.alphaBytes / 2; ++k) alpha_[k] = alpha_[2 * k];
        }
    }
    const uint8_t* colour() const { return colourRow_; }
    size_t colourBytes() const { return g_.colourBytes / g_.divisor; }
    const uint8_t* alpha() const { return alpha_.data(); }
    size_t alphaBytes() const { return g_.alphaBytes / g_.divisor; }
    // Whether every alpha sample so far had all its bits set.
    bool opaque() const { return opaque_; }

private:
    // ColourBytes and AlphaBytes per pixel, or 0 to take them from g_.
    template <size_t ColourBytes, size_t AlphaBytes>
    void splitPixels(const uint8_t* row) {
        const size_t s = AlphaBytes ? AlphaBytes : g_.sampleBytes;
        const size_t colourPixel = ColourBytes ? ColourBytes : g_.pixelBytes - s;
        uint8_t* co = colour_.data();
        uint8_t* al = alpha_.data();
        uint8_t all = 0xFF;
        for (const uint8_t* p = row; p < row + g_.rowBytes; p += colourPixel + s) {
            for (size_t k = 0; k < colourPixel; ++k) *co++ = p[k];
            for (size_t k = 0; k < s; ++k) {
                const uint8_t a = p[colourPixel + k];
                all &= a;
                *al++ = a;
            }
        }
        if (all != 0xFF) opaque_ = false;
    }

    PngGeometry g_;
    bool hasAlpha_;
    std::vector<uint8_t> colour_, alpha_;
    uint8_t* colourRow_ = nullptr;
    bool opaque_ = true;
};

}  // namespace

int decodePngRows(PicInfo& info) {
    IdatInflater inflater(info);
    if (inflater.status() != 0) return inflater.status();
    if (sinkInitDeflate(info, 9) != 0) return kErrDeflateInit;
    const PngGeometry g = geometryOf(info);
    SampleSplit split(g, info.pngColourType == 4 || info.pngColourType == 6);
    const bool writeMask = info.hasSoftMask == 1 && info.maskFile;
    TrnsMask trns(info, g, info.hasSoftMask == 1 && info.trnsKind != PicInfo::kNoTrns);
    // An interlaced image is placed whole first; any other streams row by row.
    std::vector<uint8_t> image;
    std::unique_ptr<ScanlineRows> rows;
    if (info.pngInterlace == 1)
        image = deinterlace(inflater, g, size_t(info.width), size_t(info.height));
    else
        rows = std::make_unique<ScanlineRows>(inflater, g.rowBytes, g.pixelBytes);

    int code = 0;
    for (int32_t y = 0; y < info.height && code == 0; ++y) {
        uint8_t* row = rows ? rows->next() : image.data() + size_t(y) * g.rowBytes;
        if (trns.active()) trns.apply(row);
        split.apply(row);
        if (inflater.status() != 0) {
            code = inflater.status();
            break;
        }
        if (!split.opaque() || !trns.opaque()) info.maskAllOpaque = 0;
        if (writeMask && trns.active())
            fwrite(trns.data(), 1, trns.size(), info.maskFile);
        else if (writeMask)
            fwrite(split.alpha(), 1, split.alphaBytes(), info.maskFile);
        if (sinkPutBlock(info, split.colour(), split.colourBytes()) != 0) code = kErrDeflate;
    }
    if (code == 0) code = inflater.finish();
    if (code == 0 && sinkFinish(info) != 0) code = kErrDeflate;
    if (code == 0) code = sinkEndDeflate(info);
    return code;
}

int writeTrnsMask(PicInfo& info) {
    IdatInflater inflater(info);
    if (inflater.status() != 0) return inflater.status();
    const PngGeometry g = geometryOf(info);
    ScanlineRows rows(inflater, g.rowBytes, g.pixelBytes);
    TrnsMask mask(info, g, true);
    for (int32_t y = 0; y < info.height; ++y) {
        mask.apply(rows.next());
        if (inflater.status() != 0) return inflater.status();
        if (info.maskFile) fwrite(mask.data(), 1, mask.size(), info.maskFile);
    }
    if (!mask.opaque()) info.maskAllOpaque = 0;
    return inflater.finish();
}

// ---- Exported helpers ----------------------------------------------------

namespace {

using File = std::unique_ptr<FILE, FileCloser>;

// Filter type of row i: the list's entries, its last one for later rows;
// no list at all means no filtering.
int filterTypeOf(const uint8_t* types, uint32_t count, uint32_t i) {
    if (!types || count == 0) return 0;
    return types[i < count - 1 ? i : count - 1];
}

// Reads a row (with its leading filter byte when `filtered`) and undoes its
// filter. Short reads leave the rest of the row as it was.
void readRow(FILE* in, bool filtered, RowFilter* f, uint8_t* row, size_t length) {
    const int type = filtered ? getc(in) : 0;
    const size_t got = fread(row, 1, length, in);
    (void)got;
    if (filtered) f->unfilter(type == EOF ? 0 : type, row);
}

// Rows of host-given lengths are allocated: refuse lengths no image needs.
constexpr uint64_t kMaxRowBytes = uint64_t(1) << 28;

}  // namespace

int createPngData(const char* inPath, const char* outPath, const uint8_t* filterTypes, uint32_t filterCount,
                  int32_t rowBytes, uint8_t bytesPerPixel, uint32_t rowCount) {
    File in(fopen(inPath, "rb"));
    if (!in) return 0;
    File out(fopen(outPath, "wb"));
    if (!out) return 0;
    if (rowBytes < 0 || uint64_t(rowBytes) > kMaxRowBytes) return 0;
    RowFilter filter(size_t(rowBytes), bytesPerPixel);
    std::vector<uint8_t> row(size_t(rowBytes), 0);
    for (uint32_t i = 0; i < rowCount; ++i) {
        readRow(in.get(), false, nullptr, row.data(), row.size());
        const int type = filterTypeOf(filterTypes, filterCount, i);
        fputc(type, out.get());
        filter.filter(type, row.data());
        fwrite(row.data(), 1, row.size(), out.get());
    }
    return 1;
}

int createPngAlphaData(const char* colourPath, const char* alphaPath, const char* outPath, bool colourFiltered,
                       bool alphaFiltered, const uint8_t* filterTypes, uint32_t filterCount, uint32_t colourRowBytes,
                       uint8_t colourBpp, uint32_t alphaRowBytes, uint8_t alphaBpp, uint32_t rowCount,
                       uint32_t pixelsPerRow) {
    File colourIn(fopen(colourPath, "rb"));
    if (!colourIn) return 0;
    File alphaIn(fopen(alphaPath, "rb"));
    if (!alphaIn) return 0;
    File out(fopen(outPath, "wb"));
    if (!out) return 0;
    if (colourRowBytes > kMaxRowBytes || alphaRowBytes > kMaxRowBytes) return 0;
    RowFilter colourFilter(colourRowBytes, colourBpp), alphaFilter(alphaRowBytes, alphaBpp);
    RowFilter combinedFilter(size_t(colourRowBytes) + alphaRowBytes, size_t(colourBpp) + alphaBpp);
    std::vector<uint8_t> colour(colourRowBytes, 0), alpha(alphaRowBytes, 0);
    std::vector<uint8_t> combined(size_t(colourRowBytes) + alphaRowBytes, 0);
    // Never more pixels than both rows and the combined row hold.
    uint64_t pixels = pixelsPerRow;
    if (colourBpp) pixels = std::min<uint64_t>(pixels, colourRowBytes / colourBpp);
    if (alphaBpp) pixels = std::min<uint64_t>(pixels, alphaRowBytes / alphaBpp);
    if (colourBpp + alphaBpp == 0) pixels = 0;
    for (uint32_t i = 0; i < rowCount; ++i) {
        readRow(colourIn.get(), colourFiltered, &colourFilter, colour.data(), colour.size());
        readRow(alphaIn.get(), alphaFiltered, &alphaFilter, alpha.data(), alpha.size());
        const int type = filterTypeOf(filterTypes, filterCount, i);
        fputc(type, out.get());
        std::fill(combined.begin(), combined.end(), 0);
        uint8_t* o = combined.data();
        for (uint64_t p = 0; p < pixels; ++p) {
            memcpy(o, colour.data() + p * colourBpp, colourBpp);
            o += colourBpp;
            memcpy(o, alpha.data() + p * alphaBpp, alphaBpp);
            o += alphaBpp;
        }
        combinedFilter.filter(type, combined.data());
        fwrite(combined.data(), 1, combined.size(), out.get());
    }
    return 1;
}

}  // namespace kd::image

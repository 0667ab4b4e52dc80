// PNG image data: passed through with its row filters where PDF can take
// it, otherwise inflated to a temporary file, unfiltered row by row, split
// into colour and alpha and deflated again. Also the two exported helpers
// that filter raw rows into PNG scanline data.
#include "image/png_filter.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "image/pic_info.h"

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

namespace {

// Walks chunks from the first image data chunk; `onIdat` gets each IDAT
// chunk's length with the reader at its data and must leave the reader at
// the data's end (or at the end of the file). Returns false when onIdat
// asked to stop.
template <class OnIdat>
bool walkIdat(PicInfo& info, OnIdat&& onIdat) {
    if (info.firstIdatOffset == 0) return true;  // no image data at all
    info.seekTo(info.firstIdatOffset);
    while (!info.eof()) {
        uint32_t length = info.readU32BE();
        char type[5] = {0, 0, 0, 0, 0};
        info.readBlock(type, 4);
        if (info.eof()) break;
        if (strcmp(type, "IDAT") == 0) {
            if (!onIdat(length)) return false;
        } else if (strcmp(type, "IEND") == 0) {
            break;
        } else {
            info.skip(length);
        }
        info.skip(4);  // CRC, not checked
    }
    return true;
}

}  // namespace

int copyIdatData(PicInfo& info) {
    // Larger pieces than the sink's: this copy is the whole cost of the
    // pass-through and should run at file-copy speed.
    std::vector<uint8_t> piece(65536);
    walkIdat(info, [&](uint32_t length) {
        uint64_t left = length;
        while (left > 0) {
            size_t want = left < piece.size() ? size_t(left) : piece.size();
            size_t got = info.readBlock(piece.data(), want);
            putOutput(info, piece.data(), got);
            left -= got;
            if (got < want) break;  // a truncated file ends the copy
        }
        return true;
    });
    return 0;
}

// ---- Decode path ---------------------------------------------------------

namespace {

struct PngGeometry {
    size_t sampleBytes, channels, pixelBytes, rowBytes, alphaBytes, colourBytes, divisor;
};

PngGeometry geometryOf(const PicInfo& info) {
    PngGeometry g{};
    const int ct = info.pngColourType;
    g.sampleBytes = info.pngBitDepth <= 8 ? 1 : size_t(info.pngBitDepth / 8);
    g.channels = (ct == 2 || ct == 6 ? 3 : 1) + (ct == 4 || ct == 6 ? 1 : 0);
    g.pixelBytes = g.channels * g.sampleBytes;
    g.rowBytes = size_t(info.width) * g.pixelBytes;
    g.alphaBytes = (ct == 4 || ct == 6) ? size_t(info.width) * g.sampleBytes : 0;
    g.colourBytes = g.rowBytes - g.alphaBytes;
    g.divisor = (info.pdfVersion < 15 && info.pngBitDepth == 16) ? 2 : 1;
    return g;
}

void dropTempFile(PicInfo& info) {
    if (!info.tempFile) return;
    fclose(info.tempFile);
    info.tempFile = nullptr;
    if (!info.tempPath.empty()) remove(info.tempPath.c_str());
}

}  // namespace

int inflateIdatToTemp(PicInfo& info) {
    // Truncated, not appended to: a leftover file of an earlier call must
    // not be read back as this image's rows. A name the system cannot take
    // (a very long image path) falls back to an anonymous file.
    info.tempPath = info.sourcePath + ".idat.raw";
    info.tempFile = fopen(info.tempPath.c_str(), "wb+");
    if (!info.tempFile) {
        info.tempPath.clear();
        info.tempFile = tmpfile();
    }
    if (!info.tempFile) return kErrTempFile;

    z_stream& z = info.zstream;
    z = z_stream{};
    if (inflateInit_(&z, "1.2.11", int(sizeof(z_stream))) != Z_OK) return kErrInflateInit;
    info.inflating = true;

    // Rows beyond the image's own size are never used: inflating stops
    // there, so a small hostile file cannot fill the disk.
    const PngGeometry g = geometryOf(info);
    uint64_t wanted = uint64_t(g.rowBytes + 1) * uint32_t(info.height);
    std::vector<uint8_t> area(65000);
    int failure = 0;
    walkIdat(info, [&](uint32_t length) {
        uint64_t left = length;
        while (left > 0 && wanted > 0) {
            size_t want = left < kSinkOutSize ? size_t(left) : size_t(kSinkOutSize);
            size_t got = info.readBlock(info.sinkOut, want);
            if (got == 0) break;
            left -= got;
            z.next_in = info.sinkOut;
            z.avail_in = uInt(got);
            bool first = true;
            do {
                z.next_out = area.data();
                z.avail_out = uInt(area.size());
                int status = inflate(&z, Z_NO_FLUSH);
                // After an exactly filled area zlib may have nothing more
                // to give: that is no error.
                if (status == Z_BUF_ERROR && !first) break;
                if (status != Z_OK && status != Z_STREAM_END) {
                    failure = kErrInflate;
                    return false;
                }
                first = false;
                uint64_t produced = area.size() - z.avail_out;
                if (produced > wanted) produced = wanted;
                fwrite(area.data(), 1, size_t(produced), info.tempFile);
                wanted -= produced;
            } while (z.avail_out == 0 && wanted > 0);
            if (got < want) break;
        }
        return wanted > 0;
    });
    if (failure) return failure;
    info.inflating = false;
    if (inflateEnd(&z) != Z_OK) return kErrInflateEnd;
    return 0;
}

int decodePngRows(PicInfo& info) {
    int code = inflateIdatToTemp(info);
    if (code == kErrTempFile) return code;
    if (code != 0) {
        if (info.inflating) inflateEnd(&info.zstream);
        info.inflating = false;
        dropTempFile(info);
        return code;
    }
    if (sinkInitDeflate(info, 9) != 0) {
        dropTempFile(info);
        return kErrDeflateInit;
    }
    const PngGeometry g = geometryOf(info);
    const size_t c = g.channels, s = g.sampleBytes, d = g.divisor;
    const bool split = info.pngColourType == 4 || info.pngColourType == 6;
    RowFilter filter(g.rowBytes, c * s);
    std::vector<uint8_t> row(g.rowBytes + 1), colour(g.colourBytes), alpha(g.alphaBytes);
    rewind(info.tempFile);
    const uint8_t fullAlpha = 0xFF;

    code = 0;
    for (int32_t y = 0; y < info.height && code == 0; ++y) {
        size_t got = fread(row.data(), 1, row.size(), info.tempFile);
        if (got < row.size()) memset(row.data() + got, 0, row.size() - got);
        uint8_t* raw = row.data() + 1;
        filter.unfilter(row[0], raw);
        uint8_t* colourRow = raw;
        if (split) {
            const size_t colourPixel = (c - 1) * s;
            uint8_t* co = colour.data();
            uint8_t* al = alpha.data();
            for (const uint8_t* p = raw; p < raw + g.rowBytes; p += g.pixelBytes) {
                memcpy(co, p, colourPixel);
                co += colourPixel;
                for (size_t k = 0; k < s; ++k) {
                    if (p[colourPixel + k] != fullAlpha) info.maskAllOpaque = 0;
                    *al++ = p[colourPixel + k];
                }
            }
            colourRow = colour.data();
        }
        if (d == 2) {
            for (size_t k = 0; k < g.colourBytes / 2; ++k) colourRow[k] = colourRow[2 * k];
            for (size_t k = 0; k < g.alphaBytes / 2; ++k) alpha[k] = alpha[2 * k];
        }
        if (info.hasSoftMask == 1 && info.maskFile) fwrite(alpha.data(), 1, g.alphaBytes / d, info.maskFile);
        if (sinkPutBlock(info, colourRow, g.colourBytes / d) != 0) code = kErrDeflate;
    }
    if (code == 0 && sinkFinish(info) != 0) code = kErrDeflate;
    if (code == 0) code = sinkEndDeflate(info);
    dropTempFile(info);
    return code;
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

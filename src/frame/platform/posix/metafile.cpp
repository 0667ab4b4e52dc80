// Bitmap to Windows metafile without GDI: the library writes the metafile
// itself, a placeable header followed by the standard header, one
// META_STRETCHDIB record that copies the bitmap (SRCCOPY) to (0,0)-(w,h)
// at its own size, and the end-of-file record.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "frame/platform/platform.h"

namespace kd::platform {

namespace {

struct Closer {
    void operator()(FILE* f) const { fclose(f); }
};
using File = std::unique_ptr<FILE, Closer>;

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
uint32_t get16(const std::vector<uint8_t>& b, size_t at) { return b[at] | uint32_t(b[at + 1]) << 8; }
uint32_t get32(const std::vector<uint8_t>& b, size_t at) { return get16(b, at) | get16(b, at + 2) << 16; }

struct Dib {
    int32_t width = 0;
    int32_t height = 0;  // absolute
    std::vector<uint8_t> packed;  // BITMAPINFO followed by the bits
};

// The packed DIB of a bitmap file, or false when the file is not a bitmap
// a metafile can carry (unreadable, damaged, or beyond 16-bit extents).
bool loadDib(const char* path, Dib& dib) {
    File in(fopen(path, "rb"));
    if (!in) return false;
    if (fseek(in.get(), 0, SEEK_END) != 0) return false;
    long size = ftell(in.get());
    // Metafile records count 16-bit words in 32 bits; stay well inside.
    if (size < 26 || size > (1L << 30)) return false;
    rewind(in.get());
    std::vector<uint8_t> file(static_cast<size_t>(size));
    if (fread(file.data(), 1, file.size(), in.get()) != file.size()) return false;
    if (file[0] != 'B' || file[1] != 'M') return false;
    const uint32_t dataOffset = get32(file, 10);
    const uint32_t headerSize = get32(file, 14);
    int64_t width, height;
    uint32_t bits, compression = 0, used = 0;
    if (headerSize == 12) {
        width = get16(file, 18);
        height = get16(file, 20);
        bits = get16(file, 24);
    } else if (headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 64 || headerSize == 108 ||
               headerSize == 124) {
        if (file.size() < 14 + size_t(headerSize)) return false;
        width = int32_t(get32(file, 18));
        height = int32_t(get32(file, 22));
        bits = get16(file, 28);
        compression = get32(file, 30);
        used = get32(file, 46);
    } else {
        return false;
    }
    if (height < 0) height = -height;
    if (width <= 0 || height <= 0 || width > 32767 || height > 32767) return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    if (compression > 3) return false;  // embedded JPEG/PNG and unknown codes
    uint64_t masks = (headerSize == 40 && compression == 3) ? 12 : 0;
    uint64_t entries = bits <= 8 ? (used && used < (1u << bits) ? used : (1u << bits)) : used;
    uint64_t infoLength = headerSize + masks + entries * (headerSize == 12 ? 3 : 4);
    if (14 + infoLength > dataOffset || dataOffset >= file.size()) return false;
    uint64_t bitsLength = file.size() - dataOffset;
    if (compression == 0 || compression == 3) {
        uint64_t stride = ((bits * uint64_t(width) + 31) / 32) * 4;
        if (stride * uint64_t(height) > bitsLength) return false;
        bitsLength = stride * uint64_t(height);
    }
    dib.width = int32_t(width);
    dib.height = int32_t(height);
    dib.packed.assign(file.begin() + 14, file.begin() + 14 + long(infoLength));
    dib.packed.insert(dib.packed.end(), file.begin() + dataOffset, file.begin() + dataOffset + long(bitsLength));
    if (dib.packed.size() & 1) dib.packed.push_back(0);  // records are whole words
    return true;
}

}  // namespace

int bitmapToMetafile(const char* bmpPath, const char* wmfPath) {
    Dib dib;
    const bool drawn = loadDib(bmpPath, dib);
    std::vector<uint8_t> records;
    uint32_t maxRecord = 3;
    if (drawn) {
        const uint32_t words = uint32_t(3 + 2 + 9 + dib.packed.size() / 2);
        put32(records, words);
        put16(records, 0x0F43);  // META_STRETCHDIB
        put32(records, 0x00CC0020);  // SRCCOPY
        put16(records, 0);  // DIB_RGB_COLORS
        put16(records, uint32_t(dib.height));  // source height, width, y, x
        put16(records, uint32_t(dib.width));
        put16(records, 0);
        put16(records, 0);
        put16(records, uint32_t(dib.height));  // destination height, width, y, x
        put16(records, uint32_t(dib.width));
        put16(records, 0);
        put16(records, 0);
        records.insert(records.end(), dib.packed.begin(), dib.packed.end());
        maxRecord = words;
    }
    put32(records, 3);  // META_EOF
    put16(records, 0x0000);

    std::vector<uint8_t> out;
    if (drawn) {
        // Placeable header: bounds in pixels at 96 units per inch.
        put32(out, 0x9AC6CDD7);
        put16(out, 0);
        put16(out, 0);
        put16(out, 0);
        put16(out, uint32_t(dib.width));
        put16(out, uint32_t(dib.height));
        put16(out, 96);
        put32(out, 0);
        uint32_t checksum = 0;
        for (size_t i = 0; i < 20; i += 2) checksum ^= get16(out, i);
        put16(out, checksum);
    }
    put16(out, 1);  // on disk
    put16(out, 9);  // header words
    put16(out, 0x0300);
    put32(out, uint32_t(9 + records.size() / 2));
    put16(out, 0);  // objects
    put32(out, maxRecord);
    put16(out, 0);
    out.insert(out.end(), records.begin(), records.end());

    File wmf(fopen(wmfPath, "wb"));
    if (!wmf) return 0;
    if (fwrite(out.data(), 1, out.size(), wmf.get()) != out.size()) return 0;
    return drawn ? 1 : 0;
}

}  // namespace kd::platform

// Recognition: identify an image file by its first two bytes and read the
// header of its format into PicInfo. No pixel data is decoded here.
#include <cmath>
#include <cstring>
#include <limits>

#include "image/pic_info.h"

namespace kd::image {

PicInfo::PicInfo() { memset(paletteAlpha, 255, sizeof paletteAlpha); }

PicInfo::~PicInfo() { closePicInfo(*this); }

int openPicInfo(PicInfo& info, const char* imagePath, const char* outputPath) {
    info.sinkInCount = 0;
    info.bytesWritten = 0;
    info.outputOpen = 0;
    info.input = fopen(imagePath, "rb");
    if (!info.input) return 0;
    long size = -1;
    if (fseek(info.input, 0, SEEK_END) == 0) size = ftell(info.input);
    // Offsets are 32-bit in this record: larger files cannot be described.
    if (size < 0 || size > std::numeric_limits<int32_t>::max() || fseek(info.input, 0, SEEK_SET) != 0) {
        fclose(info.input);
        info.input = nullptr;
        return 0;
    }
    info.fileSize = int32_t(size);
    info.atEnd = false;
    if (!outputPath || !*outputPath) return 1;
    info.output = fopen(outputPath, "wb+");
    if (!info.output) {
        fclose(info.input);
        info.input = nullptr;
        return 0;
    }
    info.outputOpen = 1;
    info.jbig2PageCount = 0;
    return 1;
}

void closePicInfo(PicInfo& info) {
    if (info.deflating) deflateEnd(&info.zstream);
    info.deflating = false;
    for (FILE** f : {&info.input, &info.output, &info.maskFile}) {
        if (*f) fclose(*f);
        *f = nullptr;
    }
}

bool hasImageData(const PicInfo& info) {
    switch (info.kind) {
        case kPng: return info.firstIdatOffset != 0;
        case kBitmap:
        case kOs2BitmapArray: return info.dataOffset < uint32_t(info.fileSize);
        default: return true;  // a JPEG without a frame fails recognition
    }
}

bool isGreyMaskCandidate(const PicInfo& info) {
    return info.colourType == 1 && (info.kind < 2 || info.pngColourType == 0);
}

namespace {

void planSoftMask(PicInfo& info, int32_t bits) {
    info.maskHeight = info.height;
    info.maskWidth = info.width;
    info.maskBitsPerComponent = bits;
    info.hasSoftMask = 1;
    info.maskAllOpaque = 1;
}

int readBitmapHeader(PicInfo& info, bool array) {
    info.kind = array ? kOs2BitmapArray : kBitmap;
    if (array) {
        // Array header (size, next, screen size) and the inner file type.
        info.readU32LE();
        info.readU32LE();
        info.readU32LE();
        info.readU16LE();
    }
    info.readU32LE();  // file size
    info.readU16LE();
    info.readU16LE();
    info.dataOffset = info.readU32LE();
    info.headerSize = info.readU32LE();
    if (info.headerSize == 12) {
        info.width = int32_t(info.readU16LE());
        info.height = int32_t(info.readU16LE());
    } else {
        info.width = int32_t(info.readU32LE());
        info.height = int32_t(info.readU32LE());
    }
    info.readU16LE();  // planes
    info.bitCount = int16_t(info.readU16LE());
    info.colourType = info.bitCount < 16 ? 2 : 3;
    if (info.headerSize > 16) {
        info.compression = int32_t(info.readU32LE());
        for (int i = 0; i < 5; ++i) info.readU32LE();  // size, resolution, colours used/important
    } else {
        info.compression = kBiRgb;
    }
    if (info.compression == kBiBitfields && info.bitCount == 1) info.compression = kBiHuffman1D;
    if (info.bitCount >= 16 && info.dataOffset - 14 != info.headerSize) {
        if (info.headerSize == 40 && (info.dataOffset == 66 || info.dataOffset == 70))
            info.headerSize = info.dataOffset - 14;  // channel masks follow a 40-byte header
        else if (info.compression == kBiBitfields)
            info.headerSize += 12;
    }
    info.redMask = info.greenMask = info.blueMask = info.alphaMask = 0;
    if (info.headerSize > 40) {
        info.redMask = info.readU32LE();
        info.greenMask = info.readU32LE();
        info.blueMask = info.readU32LE();
    } else if (info.bitCount == 16 && info.compression == kBiRgb) {
        info.redMask = 0x7C00;
        info.greenMask = 0x03E0;
        info.blueMask = 0x001F;
    }
    if (info.headerSize > 52) {
        info.alphaMask = info.readU32LE();
        if (info.bitCount >= 16 && info.alphaMask != 0) planSoftMask(info, info.bitsPerComponent);
    }
    if (info.headerSize > 56) info.skip(8);
    if (info.headerSize > 64) info.skip(44);
    if (info.headerSize > 108) info.skip(16);

    switch (info.bitCount) {
        case 1: info.paletteCount = 2; break;
        case 2: info.paletteCount = 4; break;
        case 4: info.paletteCount = 16; break;
        case 8: info.paletteCount = 256; break;
        default: info.paletteCount = 0; break;  // no palette at other depths
    }
    for (int i = 0; i < info.paletteCount; ++i) {
        uint8_t blue = uint8_t(info.readByte());
        uint8_t green = uint8_t(info.readByte());
        uint8_t red = uint8_t(info.readByte());
        if (info.headerSize > 12) info.readByte();
        info.palette[i][0] = red;
        info.palette[i][1] = green;
        info.palette[i][2] = blue;
    }
    if (info.bitCount >= 1 && info.bitCount <= 15 && info.paletteCount >= 2) {
        const uint8_t* first = info.palette[0];
        const uint8_t* last = info.palette[info.paletteCount - 1];
        bool grey = first[0] == 0 && first[1] == 0 && first[2] == 0 && last[0] + last[1] + last[2] == 765;
        for (int i = 1; grey && i < info.paletteCount - 1; ++i)
            grey = info.palette[i][0] == info.palette[i][1] && info.palette[i][1] == info.palette[i][2];
        if (grey) info.colourType = 1;
    }
    if (info.outputOpen == 0) {
        if (info.compression == kBiJpeg) {
            info.bitCount = 24;
        } else if (info.compression == kBiPng) {
            info.seekTo(info.dataOffset);
            info.skip(2);
            int code = readPngHeader(info);
            info.kind = array ? kOs2BitmapArray : kBitmap;
            if (code != 0) return code;
        }
    }
    if (info.bitCount <= 8) {
        info.bitsPerComponent = info.bitCount;
        if (info.compression == kBiRle8 || info.compression == kBiRle4) planSoftMask(info, 1);
    }
    return 0;
}

int readGifHeader(PicInfo& info) {
    int f = info.readByte(), e = info.readByte(), v = info.readByte(), a = info.readByte();
    if (f != 'F' || e != '8' || (v != '7' && v != '9') || a != 'a') return kErrUnrecognised;
    info.width = int32_t(info.readU16LE());
    info.height = int32_t(info.readU16LE());
    info.kind = kGif;
    return 0;
}

int readEmfHeader(PicInfo& info) {
    if (info.readU16LE() != 0) return kErrMetafile;
    info.readU32LE();  // record size
    info.readU32LE();  // left
    info.readU32LE();  // top
    int32_t right = int32_t(info.readU32LE());
    int32_t bottom = int32_t(info.readU32LE());
    info.width = int32_t(uint32_t(right) + 1);
    info.height = int32_t(uint32_t(bottom) + 1);
    info.kind = kEmf;
    return 0;
}

int32_t metafileExtent(int low, int high, unsigned unitsPerInch) {
    // Zero units per inch would divide by zero: such a file reports 0.
    if (unitsPerInch == 0) return 0;
    float size = float(high - low) / float(unitsPerInch) * 96.0f;
    return int32_t(std::trunc(size));
}

int readPlaceableWmfHeader(PicInfo& info) {
    if (info.readU16LE() != 0x9AC6) return kErrMetafile;
    info.readU16LE();  // handle
    int left = int16_t(info.readU16LE());
    int top = int16_t(info.readU16LE());
    int right = int16_t(info.readU16LE());
    int bottom = int16_t(info.readU16LE());
    unsigned unitsPerInch = info.readU16LE();
    info.width = metafileExtent(left, right, unitsPerInch);
    info.height = metafileExtent(top, bottom, unitsPerInch);
    info.kind = kPlaceableWmf;
    return 0;
}

int readTiffHeader(PicInfo& info, bool bigEndian) {
    auto u16 = [&] { return bigEndian ? info.readU16BE() : info.readU16LE(); };
    auto u32 = [&] { return bigEndian ? info.readU32BE() : info.readU32LE(); };
    if (u16() != 42) return kErrUnrecognised;
    info.seekTo(u32());
    uint32_t entries = u16();
    for (uint32_t i = 0; i < entries && !info.eof(); ++i) {
        uint32_t tag = u16();
        uint32_t type = u16();
        u32();  // count
        uint32_t value;
        if (type == 3) {
            value = u16();
            u16();
        } else {
            value = u32();
        }
        if (tag == 256) info.width = int32_t(value);
        if (tag == 257) info.height = int32_t(value);
    }
    info.kind = kTiff;
    return 0;
}

// Walks markers up to the one that ends the walk; the reader then stands
// after that marker's length field. A start of scan or end of image met
// first means there is no frame to describe. Notes an APP14 "Adobe" marker.
int walkMarkers(PicInfo& info, bool (*isEnd)(uint32_t)) {
    if (info.eof()) return kErrUnrecognised;
    for (;;) {
        uint32_t marker = info.readU16BE();
        uint32_t length = info.readU16BE();
        if (info.eof() || (marker >> 8) != 0xFF) return kErrUnrecognised;
        if (isEnd(marker)) return 0;
        if (marker == 0xFFDA || marker == 0xFFD9) return kErrUnrecognised;
        if (length < 3) return kErrUnrecognised;
        uint32_t rest = length - 2;
        if (marker == 0xFFEE && rest >= 5) {
            char tag[5];
            info.readBlock(tag, 5);
            if (memcmp(tag, "Adobe", 5) == 0) info.jpegAdobe = 1;
            rest -= 5;
        }
        info.skip(rest);
        if (info.eof()) return kErrUnrecognised;
    }
}

int readJpegHeader(PicInfo& info) {
    info.jpegAdobe = 0;
    int code = walkMarkers(info, [](uint32_t m) { return m >= 0xFFC0 && m <= 0xFFC3; });
    if (code) return code;
    info.readByte();  // precision
    info.height = int32_t(info.readU16BE());
    info.width = int32_t(info.readU16BE());
    info.colourType = info.readByte();
    info.bitCount = 24;
    info.kind = kJpeg;
    return 0;
}

int readJ2kCodestreamHeader(PicInfo& info) {
    int code = walkMarkers(info, [](uint32_t m) { return m == 0xFF51; });
    if (code) return code;
    info.readU16BE();  // capabilities
    info.width = int32_t(info.readU32BE());
    info.height = int32_t(info.readU32BE());
    for (int i = 0; i < 6; ++i) info.readU32BE();
    info.colourType = int32_t(info.readU16BE());
    info.bitsPerComponent = (info.readByte() & 0x7F) + 1;
    info.bitCount = 24;
    info.kind = kJ2kCodestream;
    return 0;
}

int readJp2Header(PicInfo& info) {
    if (info.readU16BE() != 0x000C) return kErrUnrecognised;
    if (info.readU32BE() != 0x6A502020) return kErrUnrecognised;
    if (info.readU32BE() != 0x0D0A870A || info.eof()) return kErrUnrecognised;
    info.seekTo(0);
    for (;;) {
        if (info.position() >= info.fileSize) return kErrUnrecognised;
        uint32_t length = info.readU32BE();
        uint32_t type = info.readU32BE();
        if (type == 0x6A703268) {  // JP2 header box: look at its first box
            length = info.readU32BE();
            type = info.readU32BE();
            if (type == 0x69686472) break;  // image header box
        }
        if (info.eof() || length < 8) return kErrUnrecognised;
        info.skip(length - 8);
        if (info.eof()) return kErrUnrecognised;
    }
    info.height = int32_t(info.readU32BE());
    info.width = int32_t(info.readU32BE());
    uint32_t components = info.readU16BE();
    info.colourType = int32_t(components);
    info.bitsPerComponent = (info.readByte() & 0x7F) + 1;
    info.readByte();
    info.readByte();
    info.readByte();
    info.bitCount = int16_t(components * uint32_t(info.bitsPerComponent));
    info.kind = kJp2File;
    return 0;
}

}  // namespace

int readPngHeader(PicInfo& info) {
    static const uint8_t rest[6] = {0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
    for (uint8_t expected : rest)
        if (info.readByte() != expected || info.eof()) return kErrUnrecognised;
    info.firstIdatOffset = 0;
    while (!info.eof()) {
        uint32_t length = info.readU32BE();
        char type[5] = {0, 0, 0, 0, 0};
        info.readBlock(type, 4);
        if (info.eof()) break;
        if (strcmp(type, "IHDR") == 0) {
            info.width = int32_t(info.readU32BE());
            info.height = int32_t(info.readU32BE());
            int depth = info.readByte();
            info.bitCount = int16_t(depth);
            info.pngBitDepth = depth;
            info.bitsPerComponent = depth;
            info.pngColourType = info.readByte();
            int ct = info.pngColourType;
            info.usePredictor = (ct == 4 || ct == 6) ? 0 : 1;
            if (info.pdfVersion < 15 && depth == 16) {
                info.usePredictor = 0;
                info.bitsPerComponent = 8;
                info.bitCount = 8;
            }
            if (ct == 0 || ct == 4) info.colourType = 1;
            if (ct == 3) info.colourType = 2;
            if (ct == 2 || ct == 6) {
                info.colourType = 3;
                info.bitCount = int16_t(info.bitCount * 3);
            }
            if (ct == 4 || ct == 6) planSoftMask(info, info.bitsPerComponent);
            info.pngCompression = info.readByte();
            info.pngFilter = info.readByte();
            info.pngInterlace = info.readByte();
            // Adam7 passes are placed into full rows and written unfiltered.
            if (info.pngInterlace == 1) info.usePredictor = 0;
            info.skip(length > 13 ? length - 13 : 0);
        } else if (strcmp(type, "PLTE") == 0) {
            uint32_t entries = length / 3;
            uint32_t kept = entries > 256 ? 256 : entries;
            info.paletteCount = int16_t(kept);
            for (uint32_t i = 0; i < kept; ++i) info.readBlock(info.palette[i], 3);
            info.skip(uint64_t(length) - uint64_t(kept) * 3);
        } else if (strcmp(type, "tRNS") == 0) {
            info.trnsLength = length;
            if (length <= sizeof info.trnsBytes) info.readBlock(info.trnsBytes, length);
            info.skip(length <= sizeof info.trnsBytes ? 0 : length);
        } else if (strcmp(type, "IEND") == 0) {
            break;
        } else {
            if (strcmp(type, "IDAT") == 0 && info.firstIdatOffset == 0)
                info.firstIdatOffset = uint32_t(info.position() - 8);
            info.skip(length);
        }
        info.skip(4);  // CRC, not checked
    }
    settlePngTransparency(info);
    info.kind = kPng;
    return 0;
}

void settlePngTransparency(PicInfo& info) {
    const uint32_t n = info.trnsLength;
    const int ct = info.pngColourType, depth = info.pngBitDepth;
    if (n == 0 || depth < 1 || depth > 16) return;
    if (ct == 3) {
        // Entries past the list are opaque; a list longer than the palette
        // is not a valid chunk and is ignored, as PNG readers do.
        if (n > uint32_t(info.paletteCount < 0 ? 0 : info.paletteCount)) return;
        bool translucent = false;
        for (uint32_t i = 0; i < n; ++i) {
            info.paletteAlpha[i] = info.trnsBytes[i];
            translucent = translucent || info.trnsBytes[i] != 255;
        }
        if (!translucent) return;
        info.trnsKind = PicInfo::kPaletteAlpha;
        planSoftMask(info, 8);
        return;
    }
    const uint32_t samples = ct == 0 ? 1 : ct == 2 ? 3 : 0;  // none with an alpha channel
    if (samples == 0 || n != 2 * samples) return;
    // Only the low `depth` bits of a key count.
    const uint32_t top = depth == 16 ? 0xFFFF : (1u << depth) - 1;
    for (uint32_t i = 0; i < samples; ++i)
        info.colourKey[i] = uint16_t(((info.trnsBytes[2 * i] << 8) | info.trnsBytes[2 * i + 1]) & top);
    info.trnsKind = PicInfo::kColourKey;
    // Samples cut to 8 bits no longer tell the key from its neighbours, and
    // readers apply a 16-bit /Mask array to the high bytes only or not at
    // all: there the key becomes a soft mask found at the full depth.
    if (depth <= 8)
        info.keyArray = true;
    else
        planSoftMask(info, 8);
}

int readPicInfo(PicInfo& info) {
    info.bitCount = 0;
    info.colourType = 0;
    info.pngColourType = info.pngCompression = info.pngFilter = info.pngInterlace = 0;
    info.headerSize = 0;
    info.hasSoftMask = 0;
    info.bitsPerComponent = 8;
    info.atEnd = false;
    uint32_t first = info.readU16LE();
    if (info.eof()) return kErrUnrecognised;
    switch (first) {
        case 0x4D42: return readBitmapHeader(info, false);
        case 0x4142: return readBitmapHeader(info, true);
        case 0xD8FF: return readJpegHeader(info);
        case 0x5089: return readPngHeader(info);
        case 0x4947: return readGifHeader(info);
        case 0x4949: return readTiffHeader(info, false);
        case 0x4D4D: return readTiffHeader(info, true);
        case 0x0001: return readEmfHeader(info);
        case 0xCDD7: return readPlaceableWmfHeader(info);
        case 0x0000: return readJp2Header(info);
        case 0x4A97: return readJbig2Header(info);
        case 0x4FFF: return readJ2kCodestreamHeader(info);
        default: return kErrUnrecognised;
    }
}

}  // namespace kd::image

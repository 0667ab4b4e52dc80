// The image object writer: the dictionary text of an image XObject, the
// soft-mask dictionary, the palette side file, and the dispatch of the
// stream data to the decoders.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "codec/file_io.h"
#include "image/pic_info.h"

namespace kd::image {

namespace {

const char* orEmpty(const char* text) { return text ? text : ""; }

uint32_t absHeight(int32_t height) { return height < 0 ? 0u - uint32_t(height) : uint32_t(height); }

bool validPngDepth(int colourType, int depth) {
    switch (colourType) {
        case 0: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
        case 3: return depth == 1 || depth == 2 || depth == 4 || depth == 8;
        case 2:
        case 4:
        case 6: return depth == 8 || depth == 16;
        default: return false;
    }
}

// Header values are untrusted: refuse what the decoders could not turn into
// a sound image, and sizes the file could not possibly hold, before any
// buffer is sized from them or any byte is written.
int checkWritable(const PicInfo& info) {
    const uint64_t width = info.width > 0 ? uint64_t(info.width) : 0;
    const uint64_t height = absHeight(info.height);
    const uint64_t available = info.dataOffset <= uint32_t(info.fileSize) ? uint64_t(info.fileSize) - info.dataOffset : 0;
    switch (info.kind) {
        case kBitmap:
        case kOs2BitmapArray: {
            if (width == 0 || height == 0 || height > 0x7FFFFFFFu) return kErrUnrecognised;
            const int bits = info.bitCount;
            if (info.compression == kBiHuffman1D) return 0;  // passed through untouched
            if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
                return kErrUnrecognised;
            if (width * height > kMaxPixels) return kErrUnrecognised;
            switch (info.compression) {
                case kBiRle8:
                case kBiRle4:
                    if (bits != (info.compression == kBiRle8 ? 8 : 4)) return kErrUnrecognised;
                    // Runs of at most 255 pixels per two bytes: a hole-ridden
                    // raster much larger than that is not a real picture.
                    if (width * height > 1024 * uint64_t(info.fileSize)) return kErrUnrecognised;
                    return 0;
                case kBiRgb:
                case kBiBitfields: {
                    const uint64_t packed = (uint64_t(bits) * width + 7) / 8;
                    const uint64_t stride = (packed + 3) & ~uint64_t(3);
                    if (stride * (height - 1) + packed > available) return kErrUnrecognised;
                    return 0;
                }
                default: return kErrUnrecognised;  // embedded JPEG/PNG, unknown codes
            }
        }
        case kPng: {
            const int ct = info.pngColourType;
            if (width == 0 || info.height <= 0) return kErrUnrecognised;
            if (!validPngDepth(ct, info.pngBitDepth)) return kErrUnrecognised;
            if (ct == 3 && info.paletteCount < 1) return kErrUnrecognised;
            if (info.usePredictor && info.hasSoftMask != 1) return 0;  // passed through
            const uint64_t channels = (ct == 2 || ct == 6 ? 3 : 1) + (ct == 4 || ct == 6 ? 1 : 0);
            const uint64_t rowBytes = (width * channels * uint64_t(info.pngBitDepth) + 7) / 8;
            const uint64_t raw = (rowBytes + 1) * height;
            // Deflate cannot expand data more than about 1032 times.
            if (width * height > kMaxPixels || raw > 1040 * uint64_t(info.fileSize)) return kErrUnrecognised;
            if (info.pngInterlace == 1 && rowBytes * height > kMaxInterlacedBytes) return kErrUnrecognised;
            return 0;
        }
        case kJpeg:
        case kJp2File:
        case kJ2kCodestream:
            // Only grey, RGB and CMYK have a device colour space.
            return (info.colourType == 1 || info.colourType == 3 || info.colourType == 4) ? 0 : kErrUnrecognised;
        case kJbig2: return 0;
        default: return kErrUnrecognised;
    }
}

}  // namespace

int writeImageDictionary(PicInfo& info, int32_t lengthObj, int32_t invertDecode, const char* colourKeyMask,
                         const char* paletteFilePath, int32_t* paletteObjOut, int32_t* smaskObj) {
    FILE* out = info.output;
    fprintf(out, "<< /Type /XObject");
    fprintf(out, " /Subtype /Image");
    fprintf(out, " /Width %d", info.width);
    fprintf(out, " /Height %d", int32_t(absHeight(info.height)));
    fprintf(out, " /Length %d 0 R", lengthObj);
    if (info.hasSoftMask == 1) {
        fprintf(out, "\r\n");
        info.smaskLinePosition = ftell(out);
        *smaskObj = lengthObj + 1;
        fprintf(out, " /SMask %d 0 R\r\n", *smaskObj);
        *smaskObj += 1;
    } else if (*smaskObj > 0) {
        if (info.maskKind == "SMask")
            fprintf(out, " /SMask %d 0 R", *smaskObj);
        else
            fprintf(out, " /Mask %d 0 R", *smaskObj);
    }
    const int32_t sideObj = std::max(*smaskObj, lengthObj) + 1;
    switch (info.colourType) {
        case 4: fprintf(out, " /ColorSpace /DeviceCMYK"); break;
        case 1: fprintf(out, " /ColorSpace /DeviceGray"); break;
        case 3: fprintf(out, " /ColorSpace /DeviceRGB"); break;
        default: {
            if (paletteObjOut) *paletteObjOut = sideObj;
            fprintf(out, " /ColorSpace [/Indexed /DeviceRGB %d %d 0 R]", info.paletteCount - 1, sideObj);
            if (FILE* pal = fopen(orEmpty(paletteFilePath), "wb")) {
                for (int i = 0; i < info.paletteCount; ++i)
                    fprintf(pal, "%c%c%c", info.palette[i][0], info.palette[i][1], info.palette[i][2]);
                fclose(pal);
            }
            break;
        }
    }
    // Adobe's CMYK JPEGs (APP14 "Adobe") store their samples inverted;
    // other CMYK JPEGs store them as they are.
    if (invertDecode != 0 || (info.colourType == 4 && info.kind == kJpeg && info.jpegAdobe))
        fprintf(out, " /Decode [1 0 1 0 1 0 1 0]");
    if (info.colourType > 2 && *colourKeyMask) {
        fprintf(out, " /Mask %s", colourKeyMask);
    } else if (info.keyArray) {
        const int n = info.pngColourType == 2 ? 3 : 1;
        fprintf(out, " /Mask [");
        for (int i = 0; i < n; ++i) fprintf(out, "%s%d %d", i ? " " : "", info.colourKey[i], info.colourKey[i]);
        fprintf(out, "]");
    }
    fprintf(out, " /BitsPerComponent %d", info.bitsPerComponent);
    if (info.maskPath == "ITSMASKIMAGE" && info.maskKind == "Mask") fprintf(out, " /ImageMask true ");
    switch (info.kind) {
        case kBitmap:
        case kOs2BitmapArray:
            if (info.compression == kBiHuffman1D) {
                const bool firstBlack = info.palette[0][0] + info.palette[0][1] + info.palette[0][2] == 0;
                fprintf(out, " /Filter/CCITTFaxDecode");
                fprintf(out, "\r\n");
                fprintf(out, " /DecodeParms<</K 0/BlackIs1 %s/Columns %d/Rows %d>>\r\n", firstBlack ? "false" : "true",
                        info.width, int32_t(absHeight(info.height)));
            } else {
                fprintf(out, " /Filter/FlateDecode");
            }
            break;
        case kJpeg: fprintf(out, " /Filter/DCTDecode"); break;
        case kPng:
            fprintf(out, " /Filter/FlateDecode");
            if (info.usePredictor == 1) {
                fprintf(out, "\r\n");
                fprintf(out, " /DecodeParms<</BitsPerComponent %d/Colors %d/Columns %d/Predictor 15>>\r\n",
                        info.pngBitDepth, (info.pngColourType == 2 || info.pngColourType == 6) ? 3 : 1, info.width);
            }
            break;
        case kJp2File:
        case kJ2kCodestream: fprintf(out, " /Filter/JPXDecode /Intent/RelativeColorimetric"); break;
        case kJbig2:
            fprintf(out, " /Filter/JBIG2Decode");
            if (info.jbig2Globals[0] != 0) {
                if (paletteObjOut) *paletteObjOut = sideObj;
                fprintf(out, " /DecodeParms<</JBIG2Globals %d 0 R>>", sideObj);
                writeJbig2Globals(info, paletteFilePath);
            }
            break;
        default: break;
    }
    fprintf(out, ">>\r\n");
    fprintf(out, "stream\r\n");
    return 0;
}

int writeImageData(PicInfo& info) {
    switch (info.kind) {
        case kJpeg: return copyJpeg(info);
        case kPng: {
            const int ct = info.pngColourType;
            if (info.pngInterlace == 1) return decodePngRows(info);
            if ((ct == 0 || ct == 2) && info.pdfVersion < 15 && info.pngBitDepth >= 16) return decodePngRows(info);
            if (ct == 0 || ct == 2 || ct == 3) {
                const int code = copyIdatData(info);
                return code == 0 && info.hasSoftMask == 1 ? writeTrnsMask(info) : code;
            }
            return decodePngRows(info);
        }
        case kJp2File:
        case kJ2kCodestream: return copyWholeFile(info);
        case kJbig2: return copyJbig2Page(info);
        case kBitmap:
        case kOs2BitmapArray: return info.compression == kBiHuffman1D ? copyHuffmanBitmap(info) : decodeBmp(info);
        default: return kErrUnrecognised;
    }
}

int dobmp(const DobmpArgs& args) {
    PicInfo info;
    // Without a data file there is nowhere for the dictionary and data to go.
    if (!*args.dataPath) return kErrOpen;
    // (The data file is checked by the export.) A mask or palette file naming
    // the picture itself would truncate it.
    if (sameFile(args.imagePath, args.maskPath) || sameFile(args.imagePath, args.paletteFilePath)) return kErrOpen;
    if (!openPicInfo(info, args.imagePath, "")) return kErrOpen;
    // The header is read as for writing, but the data file is created only
    // once the image is recognised and its data are found: an image that
    // cannot be written for want of data leaves no file behind.
    info.outputOpen = 1;
    info.pdfVersion = args.pdfVersion;
    info.jbig2Page = args.jbig2Page;
    info.maskPath = args.maskPath;
    info.maskKind = args.maskKind;
    int code = readPicInfo(info);
    if (code != 0) return code;
    if (!hasImageData(info)) return kErrUnrecognised;
    info.output = fopen(args.dataPath, "wb+");
    if (!info.output) return kErrOpen;
    if (info.maskPath == "ITSMASKIMAGE" && !isGreyMaskCandidate(info)) return kErrNotMask;
    int32_t& smaskObj = *args.smaskObj;
    // A mask of the host's, no mask at all, or the image as a mask itself:
    // the image's own transparency is not expressed.
    if (smaskObj > 0 || smaskObj == -1 || info.maskPath == "ITSMASKIMAGE") info.keyArray = false;
    if (smaskObj > 0 || smaskObj == -1) info.hasSoftMask = 0;
    if (info.trnsKind != PicInfo::kNoTrns && info.maskPath == "ITSMASKIMAGE") info.hasSoftMask = 0;
    const int k = info.kind;
    const bool accepted = k == kBitmap || k == kJpeg || k == kPng ||
                          (k >= kOs2BitmapArray && k <= kJ2kCodestream);
    if (!accepted) return kErrUnrecognised;
    code = checkWritable(info);
    if (code != 0) return code;

    writeImageDictionary(info, args.lengthObj, args.invertDecode, args.colourKeyMask, args.paletteFilePath,
                         args.paletteObjOut, &smaskObj);
    const bool maskPlanned = info.hasSoftMask == 1;
    if (maskPlanned) {
        info.maskFile = fopen(info.maskPath.c_str(), "wb");
        if (!info.maskFile) return kErrMaskFile;
        FILE* m = info.maskFile;
        fprintf(m, "<< /Type /XObject");
        fprintf(m, " /Subtype /Image");
        fprintf(m, " /Width %d", info.maskWidth);
        // A top-down bitmap's negative height is its row order, not a size.
        fprintf(m, " /Height %d", int32_t(absHeight(info.maskHeight)));
        fprintf(m, " /Length %d 0 R", smaskObj);
        fprintf(m, " /ColorSpace /DeviceGray");
        fprintf(m, " /BitsPerComponent %d", info.maskBitsPerComponent);
        fprintf(m, " /Filter/FlateDecode");
        fprintf(m, ">>\r\n");
        fprintf(m, "stream\r\n");
    }
    code = writeImageData(info);
    if (maskPlanned) {
        if (info.maskFile) fclose(info.maskFile);
        info.maskFile = nullptr;
        if (info.maskAllOpaque == 1) {
            // Nothing turned out transparent: the reference line becomes a
            // PDF comment and the mask object is not needed.
            info.hasSoftMask = 0;
            fseek(info.output, info.smaskLinePosition, SEEK_SET);
            fputc('%', info.output);
            fseek(info.output, 0, SEEK_END);
            smaskObj = 0;
        }
    }
    if (code != 0) return code;
    if (args.widthOut) *args.widthOut = int16_t(info.width);
    if (args.heightOut) *args.heightOut = int16_t(absHeight(info.height));
    return int32_t(info.bytesWritten);
}

int extractFromBmp(const char* bmpPath, const char* outPath) {
    PicInfo info;
    if (!*outPath || !openPicInfo(info, bmpPath, outPath)) return kErrOpen;
    int code = readPicInfo(info);
    if (code != 0) return code;
    if ((info.kind != kBitmap && info.kind != kOs2BitmapArray) ||
        (info.compression != kBiJpeg && info.compression != kBiPng))
        return 0;
    info.seekTo(info.dataOffset);
    copyInputTo(info, info.fileSize);
    return int32_t(info.bytesWritten);
}

}  // namespace kd::image

// Exports of the image family: thin wrappers that check pointers, turn
// every exception into the family's failure value and call the internal
// code.
#include <cstdlib>

#include "codec/file_io.h"
#include "frame/platform/platform.h"
#include "image/pic_info.h"
#include "image/png_filter.h"
#include "kdlib.h"

using namespace kd::image;

namespace {

const char* orEmpty(const char* text) { return text ? text : ""; }

// An input that can be read and is not the output: the output is created
// (truncated) before the input is read, so one file named twice, directly
// or through a link, would lose the picture.
bool readableApart(const char* inPath, const char* outPath) {
    return kd::openInput(inPath) != nullptr && !kd::sameFile(inPath, outPath);
}

// Opens and recognises an image for the two reporting exports.
int recognise(PicInfo& info, const char* imagePath, int32_t jbig2Page) {
    if (!openPicInfo(info, imagePath, "")) return kErrOpen;
    info.pdfVersion = 17;
    info.jbig2Page = jbig2Page;
    info.jbig2PageCount = 0;
    int code = readPicInfo(info);
    closePicInfo(info);
    return code;
}

}  // namespace

extern "C" KDLIB_API int32_t GetPicInfo(const char* imagePath, int32_t* kindOut, int32_t* widthOut,
                                        int32_t* heightOut, int32_t* bitCountOut, int32_t* effectiveKindOut,
                                        int32_t jbig2Page, int32_t* pageCountOut) {
    try {
        if (!imagePath) return kErrOpen;
        PicInfo info;
        int code = recognise(info, imagePath, jbig2Page);
        if (code != 0) return code;
        int32_t effective = info.kind;
        if (info.kind == kBitmap) effective = info.compression == kBiJpeg ? 1 : info.compression == kBiPng ? 2 : 0;
        if (kindOut) *kindOut = info.kind;
        if (widthOut) *widthOut = info.width;
        if (heightOut) *heightOut = info.height < 0 ? int32_t(0u - uint32_t(info.height)) : info.height;
        if (bitCountOut) *bitCountOut = info.bitCount;
        if (pageCountOut) *pageCountOut = info.kind == kJbig2 ? info.jbig2PageCount : 0;
        if (effectiveKindOut) *effectiveKindOut = effective;
        return 0;
    } catch (...) {
        return kErrOpen;
    }
}

extern "C" KDLIB_API int32_t GetPicInfoIsGrayscale(const char* imagePath, int32_t* greyBitsOut, int32_t jbig2Page) {
    try {
        if (!imagePath) return kErrOpen;
        PicInfo info;
        int code = recognise(info, imagePath, jbig2Page);
        if (code != 0) return code;
        if (greyBitsOut) *greyBitsOut = isGreyMaskCandidate(info) ? info.bitsPerComponent : 0;
        return 0;
    } catch (...) {
        return kErrOpen;
    }
}

extern "C" KDLIB_API int32_t dobmp(const char* imagePath, const char* dataPath, int32_t lengthObj, int16_t* widthOut,
                                   int16_t* heightOut, intptr_t /*unusedArg*/, int32_t invertDecode,
                                   const char* colourKeyMask, const char* paletteFilePath, int32_t* paletteObjOut,
                                   const char* maskPath, int32_t* smaskObj, int32_t pdfVersion, const char* maskKind,
                                   int32_t jbig2Page) {
    try {
        if (!imagePath || !dataPath || !readableApart(imagePath, dataPath)) return kErrOpen;
        int32_t localMask = 0;  // no pointer: the library may plan its own mask
        DobmpArgs args;
        args.imagePath = imagePath;
        args.dataPath = dataPath;
        args.lengthObj = lengthObj;
        args.widthOut = widthOut;
        args.heightOut = heightOut;
        args.invertDecode = invertDecode;
        args.colourKeyMask = orEmpty(colourKeyMask);
        args.paletteFilePath = orEmpty(paletteFilePath);
        args.paletteObjOut = paletteObjOut;
        args.maskPath = orEmpty(maskPath);
        args.smaskObj = smaskObj ? smaskObj : &localMask;
        args.pdfVersion = pdfVersion;
        args.maskKind = orEmpty(maskKind);
        args.jbig2Page = jbig2Page;
        return kd::image::dobmp(args);
    } catch (...) {
        return kErrOpen;
    }
}

extern "C" KDLIB_API int32_t ExtractFromBMP(const char* bmpPath, const char* outPath) {
    try {
        if (!bmpPath || !outPath || !readableApart(bmpPath, outPath)) return kErrOpen;
        return extractFromBmp(bmpPath, outPath);
    } catch (...) {
        return kErrOpen;
    }
}

extern "C" KDLIB_API int32_t CreatePNGDataFromFile(const char* inPath, const char* outPath,
                                                   const uint8_t* filterTypes, uint32_t filterCount,
                                                   intptr_t /*unusedArg5*/, int32_t rowBytes, uint8_t bytesPerPixel,
                                                   uint32_t rowCount, intptr_t /*unusedArg9*/,
                                                   uint8_t /*unusedByte10*/, uint8_t /*unusedByte11*/) {
    try {
        if (!inPath || !outPath || !readableApart(inPath, outPath)) return 0;
        return createPngData(inPath, outPath, filterTypes, filterCount, rowBytes, bytesPerPixel, rowCount);
    } catch (...) {
        return 0;
    }
}

extern "C" KDLIB_API int32_t CreatePNGAlphaDataFromFile(
    const char* colourPath, const char* alphaPath, const char* outPath, uint8_t colourFiltered, uint8_t alphaFiltered,
    const uint8_t* filterTypes, uint32_t filterCount, intptr_t /*unusedArg8*/, uint32_t colourRowBytes,
    uint8_t colourBytesPerPixel, uint32_t alphaRowBytes, uint8_t alphaBytesPerPixel, uint32_t rowCount,
    uint32_t pixelsPerRow, uint8_t /*unusedByte15*/, uint8_t /*unusedByte16*/) {
    try {
        if (!colourPath || !alphaPath || !outPath || !readableApart(colourPath, outPath) ||
            !readableApart(alphaPath, outPath))
            return 0;
        return createPngAlphaData(colourPath, alphaPath, outPath, colourFiltered == 1, alphaFiltered == 1, filterTypes,
                                  filterCount, colourRowBytes, colourBytesPerPixel, alphaRowBytes, alphaBytesPerPixel,
                                  rowCount, pixelsPerRow);
    } catch (...) {
        return 0;
    }
}

extern "C" KDLIB_API int32_t bmp2wmf(const char* bmpPath, const char* wmfPath) {
    try {
        if (!wmfPath || kd::sameFile(bmpPath, wmfPath)) return 0;
        return kd::platform::bitmapToMetafile(orEmpty(bmpPath), wmfPath);
    } catch (...) {
        return 0;
    }
}

// The per-call image record: what recognition learnt about an image file,
// the open files of one dobmp call and the deflate sink its decoders share.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kd::image {

enum ImageKind : int32_t {
    kBitmap = 0,
    kJpeg = 1,
    kPng = 2,
    kGif = 3,
    kTiff = 4,
    kEmf = 5,
    kPlaceableWmf = 6,
    kOs2BitmapArray = 7,
    kJp2File = 8,
    kJbig2 = 9,
    kJ2kCodestream = 10,
};

// Bitmap compression codes as recognition keeps them.
enum : int32_t {
    kBiRgb = 0,
    kBiRle8 = 1,
    kBiRle4 = 2,
    kBiBitfields = 3,
    kBiJpeg = 4,
    kBiPng = 5,
    kBiHuffman1D = -3,  // a one-bit bitmap whose code 3 means Huffman data
};

// Image results shared by the writers.
enum : int32_t {
    kErrUnrecognised = -1,
    kErrMetafile = -4,
    kErrNotMask = -100,
    kErrOpen = -500,
    kErrMaskFile = -51,
    kErrDeflateInit = -30,
    kErrDeflateEnd = -31,
    kErrDeflate = -32,
    kErrDeflateFinish = -33,
    kErrInflateInit = -40,
    kErrInflateEnd = -41,
    kErrInflate = -42,
};

// Images whose samples the library produces itself are refused above this
// many pixels: index and mask rasters and the output stream grow with it.
constexpr uint64_t kMaxPixels = uint64_t(1) << 28;
// An interlaced PNG is held whole once its passes are placed: at most this
// many bytes of unpacked rows.
constexpr uint64_t kMaxInterlacedBytes = uint64_t(1) << 28;

constexpr int kSinkInSize = 3000;
constexpr int kSinkOutSize = 5000;
constexpr int kCopyBlock = 2000;

struct Jbig2Segment {
    uint32_t headerOffset = 0;
    uint32_t headerLength = 0;
    uint32_t dataOffset = 0;
    uint32_t dataLength = 0;
    uint32_t segmentNumber = 0;
    uint32_t flags = 0;
    uint32_t pageAssociationSize = 1;
    uint32_t deferredNonRetain = 0;
    uint32_t type = 0;
    uint32_t referredByte = 0;
    uint32_t referredCount = 0;
    uint32_t referredNumberSize = 1;
    uint32_t longReferredCount = 0;
    uint32_t pageAssociation = 0;
    uint32_t pageAssociationFieldOffset = 0;
};

struct FileCloser {
    void operator()(FILE* f) const {
        if (f) fclose(f);
    }
};

struct PicInfo {
    PicInfo();
    ~PicInfo();
    PicInfo(const PicInfo&) = delete;
    PicInfo& operator=(const PicInfo&) = delete;

    FILE* input = nullptr;
    FILE* output = nullptr;
    int32_t fileSize = 0;
    int32_t width = 0;
    int32_t height = 0;
    int16_t bitCount = 0;
    int16_t paletteCount = 0;
    uint32_t dataOffset = 0;
    uint8_t palette[256][3] = {};
    uint8_t sinkIn[kSinkInSize];
    int32_t sinkInCount = 0;
    uint8_t sinkOut[kSinkOutSize];
    uint32_t bytesWritten = 0;
    int32_t kind = -1;
    int32_t colourType = 0;
    z_stream zstream{};      // the deflate sink's (PNG inflation has its own)
    bool deflating = false;  // zstream holds a deflater to be ended
    int32_t compression = 0;
    uint32_t redMask = 0, greenMask = 0, blueMask = 0, alphaMask = 0;
    uint32_t headerSize = 0;
    int32_t outputOpen = 0;
    int32_t bitsPerComponent = 8;
    int32_t pngBitDepth = 0, pngColourType = 0, pngCompression = 0, pngFilter = 0, pngInterlace = 0;
    uint32_t firstIdatOffset = 0;
    // A tRNS chunk as read (at most 256 bytes are kept; a longer one fits
    // no image and is ignored), and what it comes to once the walk is done:
    // palette alphas (255 beyond the list) or a colour key in the samples'
    // own depth, written as a /Mask array (keyArray) or as a soft mask.
    uint32_t trnsLength = 0;
    uint8_t trnsBytes[256] = {};
    enum : int32_t { kNoTrns, kPaletteAlpha, kColourKey } trnsKind = kNoTrns;
    uint8_t paletteAlpha[256];
    uint16_t colourKey[3] = {};
    bool keyArray = false;
    // Soft-mask plan.
    std::vector<uint8_t> maskBuffer;
    FILE* maskFile = nullptr;
    int32_t maskBitsPerComponent = 8;
    std::string maskPath;
    std::string maskKind;
    int32_t hasSoftMask = 0;
    int32_t maskAllOpaque = 0;
    long smaskLinePosition = 0;
    int32_t maskBytesPerRow = 0, maskHeight = 0, maskWidth = 0;
    int32_t pdfVersion = 17;
    int32_t usePredictor = 0;
    int32_t jbig2Page = 1;
    int32_t jbig2FileFlags = 0;
    int32_t jbig2PageCount = 0;
    uint32_t jbig2Globals[4] = {0, 0, 0, 0};
    std::vector<Jbig2Segment> jbig2Segments;
    // Noted on the way to a JPEG's start of frame: the APP14 "Adobe"
    // marker, whose writers store CMYK inverted.
    int32_t jpegAdobe = 0;

    // ---- Bounded big/little-endian reads of the input. A read past the end
    // of the file yields 0 for the missing bytes and sets atEnd; recognition
    // goes on with those values.
    int readByte() {
        int c = getc(input);
        if (c == EOF) {
            atEnd = true;
            return 0;
        }
        return c;
    }
    uint32_t readU16LE() {
        uint32_t a = readByte();
        return a | (uint32_t(readByte()) << 8);
    }
    uint32_t readU16BE() {
        uint32_t a = readByte();
        return (a << 8) | uint32_t(readByte());
    }
    uint32_t readU32LE() {
        uint32_t a = readU16LE();
        return a | (readU16LE() << 16);
    }
    uint32_t readU32BE() {
        uint32_t a = readU16BE();
        return (a << 16) | readU16BE();
    }
    // Reads up to n bytes, returns how many arrived.
    size_t readBlock(void* to, size_t n) {
        size_t got = fread(to, 1, n, input);
        if (got < n) atEnd = true;
        return got;
    }
    int64_t position() const { return ftell(input); }
    // Moves to an absolute offset, never past the end of the file (a target
    // beyond it lands at the end, where the next read fails).
    void seekTo(int64_t offset) {
        if (offset < 0) offset = 0;
        if (offset > fileSize) offset = fileSize;
        fseek(input, long(offset), SEEK_SET);
        atEnd = offset >= fileSize;
    }
    // Moves forward only: lengths read from a file can never take the reader
    // backwards, so every walk over chunks, boxes, markers and segments ends.
    void skip(uint64_t count) {
        int64_t here = position();
        if (here < 0) here = fileSize;
        uint64_t target = uint64_t(here) + count;
        seekTo(target > uint64_t(fileSize) ? int64_t(fileSize) : int64_t(target));
    }
    bool eof() const { return atEnd; }

    bool atEnd = false;
};

// Opens the image "rb" and, when outputPath is not empty, the data file
// "wb+". 1 on success, 0 otherwise (nothing left open).
int openPicInfo(PicInfo& info, const char* imagePath, const char* outputPath);
// Closes input, output and mask files and ends the deflater.
void closePicInfo(PicInfo& info);

// Recognition: 0, -1 or -4. Needs fileSize, pdfVersion and jbig2Page.
int readPicInfo(PicInfo& info);
// The JBIG2 segment reader, entered after the two signature bytes.
int readJbig2Header(PicInfo& info);
// The PNG chunk walk, entered after the two signature bytes.
int readPngHeader(PicInfo& info);
// Turns a tRNS chunk into palette alphas or a colour key and plans the mask.
void settlePngTransparency(PicInfo& info);

// Whether recognition found where the image's data are: a PNG image data
// chunk, bitmap pixels that begin inside the file. Data that are merely
// short still count (the missing bytes read as 0).
bool hasImageData(const PicInfo& info);
// Whether the image can serve as a grey mask (GetPicInfoIsGrayscale).
bool isGreyMaskCandidate(const PicInfo& info);

// Deflate sink (image_sink.cpp).
int sinkInitDeflate(PicInfo& info, int level);  // 0 or kErrDeflateInit
int sinkPut(PicInfo& info, const uint8_t* bytes, int count);
int sinkPutBlock(PicInfo& info, const uint8_t* bytes, size_t count);
int sinkFinish(PicInfo& info);
int sinkEndDeflate(PicInfo& info);  // 0 or kErrDeflateEnd
// Writes raw bytes to output and counts them.
void putOutput(PicInfo& info, const void* bytes, size_t count);

// Image object writer.
int writeImageDictionary(PicInfo& info, int32_t lengthObj, int32_t invertDecode, const char* colourKeyMask,
                         const char* paletteFilePath, int32_t* paletteObjOut, int32_t* smaskObj);
int writeImageData(PicInfo& info);

struct DobmpArgs {
    const char* imagePath = "";
    const char* dataPath = "";
    int32_t lengthObj = 0;
    int16_t* widthOut = nullptr;
    int16_t* heightOut = nullptr;
    int32_t invertDecode = 0;
    const char* colourKeyMask = "";
    const char* paletteFilePath = "";
    int32_t* paletteObjOut = nullptr;
    const char* maskPath = "";
    int32_t* smaskObj = nullptr;
    int32_t pdfVersion = 17;
    const char* maskKind = "";
    int32_t jbig2Page = 1;
};
int dobmp(const DobmpArgs& args);
int extractFromBmp(const char* bmpPath, const char* outPath);

// Decoders and copies.
int decodeBmp(PicInfo& info);
int copyIdatData(PicInfo& info);
int decodePngRows(PicInfo& info);
int writeTrnsMask(PicInfo& info);  // the tRNS soft mask of passed-through data
int copyWholeFile(PicInfo& info);
int copyJpeg(PicInfo& info);
int copyHuffmanBitmap(PicInfo& info);
int copyJbig2Page(PicInfo& info);
void writeJbig2Globals(PicInfo& info, const char* path);
// Copies from the input's current position up to `end` (or end of file)
// into output in blocks of kCopyBlock bytes.
void copyInputTo(PicInfo& info, int64_t end);

}  // namespace kd::image

// Exports of the Base64, hexadecimal and deflate file utilities.
#include "codec/codecs.h"
#include "kdlib.h"

extern "C" KDLIB_API int32_t base64(const char* inPath, const char* outPath) {
    try {
        kd::base64EncodeFile(inPath, outPath);
    } catch (...) {
    }
    return 0;
}

extern "C" KDLIB_API int32_t esab64(const char* inPath, const char* outPath) {
    try {
        kd::base64DecodeFile(inPath, outPath);
    } catch (...) {
    }
    return 0;
}

extern "C" KDLIB_API int32_t HEXFile(const char* inPath, const char* outPath, int32_t bytesPerLine) {
    try {
        return kd::hexDumpFile(inPath, outPath, bytesPerLine) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

extern "C" KDLIB_API int32_t zipFile(const char* inPath, const char* outPath, const char* filter,
                                     int32_t* streamLength) {
    try {
        return kd::deflateObjectFile(inPath, outPath, filter, streamLength);
    } catch (...) {
        return kd::kZipFileError;
    }
}

extern "C" KDLIB_API int32_t unzipFile(const char* inPath, const char* outPath) {
    try {
        return kd::inflateFile(inPath, outPath);
    } catch (...) {
        return kd::kZipFileError;
    }
}

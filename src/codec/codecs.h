// File-to-file codecs: Base64 both ways, hexadecimal dumps, and the
// deflate stream bodies of PDF objects.
#pragma once

#include <cstdint>

namespace kd {

// Base64 with 72-character lines joined by CR LF and a final CR LF.
// Problems go to standard error only.
void base64EncodeFile(const char* inPath, const char* outPath);
// Skips bytes of value 32 or less; stops at the first "=" group, at an
// illegal byte or at end of input.
void base64DecodeFile(const char* inPath, const char* outPath);
// Uppercase hexadecimal, CR LF after every bytesPerLine bytes of each
// 4096-byte block. False when a file cannot be opened.
bool hexDumpFile(const char* inPath, const char* outPath, int32_t bytesPerLine);

// Results of the deflate file functions.
constexpr int32_t kZipOk = 1;
constexpr int32_t kZipFileError = 0;
constexpr int32_t kZipInitFailed = -30;
constexpr int32_t kZipFinishFailed = -555;
constexpr int32_t kUnzipFailed = -42;

int32_t deflateObjectFile(const char* inPath, const char* outPath, const char* filter, int32_t* streamLength);
int32_t inflateFile(const char* inPath, const char* outPath);

}  // namespace kd

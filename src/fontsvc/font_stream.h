// The tail of a PDF font file stream: four header lines, then the font
// program compressed in zlib format, 2000 bytes at a time with a sync
// flush after every chunk but the last. Memory stays fixed whatever the
// program's size: one input and one output area.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>

namespace kd {

// Failure values of the stream writer besides zlib's own codes.
constexpr int32_t kStreamInitFailed = -30;     // deflateInit_ refused
constexpr int32_t kStreamFinishFailed = -555;  // the final deflate did not end the stream
constexpr int32_t kOutputNotCreatable = -600;  // stream file or program copy cannot be created

constexpr uint32_t kStreamChunk = 2000;
constexpr uint32_t kStreamOutputArea = 3000;

// Fills buffer with count bytes of the program from offset. The buffer is
// zeroed beforehand, so bytes a reader cannot deliver read as 0.
using ProgramReader = std::function<void(uint32_t offset, uint8_t* buffer, uint32_t count)>;

// Writes the stream file streamFileName (nothing when null or empty) and,
// when programCopyName is given, an uncompressed copy of the program.
// Both files are created before anything is read; when either cannot be,
// the ones already created are removed and kOutputNotCreatable returned.
// Result: the compressed byte count after "stream\r\n", 0 without a stream
// file, or a failure value (kStreamInitFailed, a negative zlib code for a
// chunk, kStreamFinishFailed, or deflateEnd's nonzero result).
int32_t writeFontStream(const char* streamFileName, const char* programCopyName, int32_t programLength,
                        const ProgramReader& read);

}  // namespace kd

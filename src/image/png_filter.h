// PNG row filters (types 0 to 4, byte-wise modulo 256) over a stream of
// rows of one length, and the exported helpers built on them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kd::image {

class RowFilter {
public:
    // bytesPerPixel is the distance to the left byte (0 is taken as 1).
    RowFilter(size_t rowLength, size_t bytesPerPixel);
    // In place; the raw row then becomes the previous row. Types above 4
    // leave the row unchanged.
    void unfilter(int type, uint8_t* row);
    void filter(int type, uint8_t* row);

private:
    size_t bpp_;
    size_t length_;
    std::vector<uint8_t> previous_;  // raw previous row, zeros before the first
    std::vector<uint8_t> work_;
};

// CreatePNGDataFromFile / CreatePNGAlphaDataFromFile: 1, or 0 when a file
// cannot be opened or a row length is beyond any image.
int createPngData(const char* inPath, const char* outPath, const uint8_t* filterTypes, uint32_t filterCount,
                  int32_t rowBytes, uint8_t bytesPerPixel, uint32_t rowCount);
int createPngAlphaData(const char* colourPath, const char* alphaPath, const char* outPath, bool colourFiltered,
                       bool alphaFiltered, const uint8_t* filterTypes, uint32_t filterCount, uint32_t colourRowBytes,
                       uint8_t colourBpp, uint32_t alphaRowBytes, uint8_t alphaBpp, uint32_t rowCount,
                       uint32_t pixelsPerRow);

}  // namespace kd::image

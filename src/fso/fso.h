// FSO: the growable byte buffer behind the _zoFSO_ handles, with the PDF
// drawing helpers that append colours, dash patterns and boxes. The buffer
// lives below 4 GiB so the host can read it through a 32-bit address.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kd {

class Fso {
public:
    // growthStep must be greater than 0 (the factory refuses others).
    explicit Fso(int32_t growthStep) : growthStep_(growthStep) {}
    ~Fso();
    Fso(const Fso&) = delete;
    Fso& operator=(const Fso&) = delete;

    int32_t growthStep() const { return growthStep_; }
    int32_t length() const { return length_; }
    int32_t capacity() const { return capacity_; }
    const uint8_t* data() const { return data_; }

    // Appends count bytes. Result: new length + count; 0 for count 0; -1
    // (FSO unchanged) for a negative count, missing bytes, a size past 32
    // bits or a memory shortage.
    int32_t appendBytes(const void* bytes, int32_t count);
    // Length 0, buffer and capacity kept.
    void clear() { length_ = 0; }
    // Drops bytes back to an earlier length (undoing a partial write).
    void truncate(int32_t length) {
        if (length >= 0 && length < length_) length_ = length;
    }

    // 32-bit little-endian value at 1-based position; false when the four
    // bytes do not lie inside the content.
    bool getInt(int32_t position, int32_t* value) const;
    // Copies count bytes from 1-based start; false when the range does not
    // lie inside the content.
    bool substr(int32_t start, int32_t count, void* destination) const;
    // The buffer's address as the host sees it; 0 while there is none.
    int32_t memoryAddress() const;

    int32_t appendUnicode(const char* text, int32_t count, int32_t codePage);
    // Host format with four floats (widened to double). Only floating-point
    // conversions are accepted; others give -1 and append nothing.
    int32_t appendFormatted(const char* format, float a, float b, float c, float d);
    int32_t writeColor(const char* op, int32_t red, int32_t green, int32_t blue);
    // 0, or -1 (nothing appended) when memory runs short.
    int32_t writeBox(float x, float y, float width, float height, float lineWidth, int32_t fill, int32_t fillRed,
                     int32_t fillGreen, int32_t fillBlue, int32_t border, int32_t strokeRed, int32_t strokeGreen,
                     int32_t strokeBlue, int32_t noRect);

private:
    int32_t growthStep_;
    uint8_t* data_ = nullptr;
    int32_t length_ = 0;
    int32_t capacity_ = 0;
};

}  // namespace kd

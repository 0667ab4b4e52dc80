// The bytes of a font: the font selected in a device context (read with
// platform::getFontData, table 0 or the collection selector) or an open
// file. Every read is bounded by the source's real size, learned once:
// bytes past the end read as 0, in this one place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "frame/platform/platform.h"

namespace kd {

class FontSource {
public:
    void useDeviceContext(platform::DeviceContext dc);
    void useFontFile(FILE* file);
    bool isSet() const { return dc_ != nullptr || file_ != nullptr; }

    // Reads up to 4 bytes at offset 0 the way the collection probe does:
    // through the collection selector for a device context. True when the
    // source starts with "ttcf".
    bool probeCollection();
    // Chooses how later reads address the source (collection selector or
    // table 0) and learns its size. False when the size cannot be learned.
    bool open(bool collection);
    uint64_t size() const { return size_; }
    // Forgets where the file stands (its owner may have moved it between
    // our calls), so the next read seeks.
    void forgetFilePosition() { filePosition_ = kUnknown; }

    // Copies count bytes from offset into buffer; the bytes that lie past
    // the end of the source (or that the source fails to deliver) become 0.
    void read(uint64_t offset, uint8_t* buffer, size_t count);

private:
    platform::DeviceContext dc_ = nullptr;
    FILE* file_ = nullptr;
    uint32_t table_ = 0;
    uint64_t size_ = 0;
    // Where a file read left the file, so a read that goes on from there
    // needs no seek (a seek empties the runtime's buffer).
    static constexpr uint64_t kUnknown = ~uint64_t{0};
    uint64_t filePosition_ = kUnknown;
};

// Big-endian reader over a 3000-byte window of a FontSource: a table is
// read front to back with one source read per 3000 bytes; a seek refills
// the window.
class WindowReader {
public:
    static constexpr uint32_t kWindowSize = 3000;

    explicit WindowReader(FontSource& source) : source_(source) {}

    void seekTo(uint64_t offset);
    // Like seekTo, but keeps the window when offset already lies inside it.
    void moveTo(uint64_t offset) {
        if (offset >= base_ && offset < base_ + kWindowSize) {
            pos_ = static_cast<uint32_t>(offset - base_);
        } else {
            seekTo(offset);
        }
    }
    uint64_t position() const { return base_ + pos_; }
    // Bytes left in the source from the current position (0 past the end).
    uint64_t remaining() const;

    uint8_t readByte() {
        uint8_t b = window_[pos_];
        if (++pos_ == kWindowSize) refill();
        return b;
    }
    uint16_t readUInt16() {
        uint16_t hi = readByte();
        return static_cast<uint16_t>((hi << 8) | readByte());
    }
    uint32_t readUInt32() {
        uint32_t hi = readUInt16();
        return (hi << 16) | readUInt16();
    }
    int16_t readInt16() { return static_cast<int16_t>(readUInt16()); }
    void skip(uint32_t count);
    // Copies count bytes from the current position, crossing windows.
    void readBytes(uint8_t* out, size_t count);
    // The window's bytes from the current position to its end.
    const uint8_t* current() const { return window_ + pos_; }
    uint32_t availableInWindow() const { return kWindowSize - pos_; }

private:
    void refill();

    FontSource& source_;
    uint64_t base_ = 0;
    uint32_t pos_ = 0;
    uint8_t window_[kWindowSize] = {};
};

}  // namespace kd

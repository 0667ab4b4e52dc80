#include "truetype/font_source.h"

#include <algorithm>
#include <cstring>

namespace kd {

void FontSource::useDeviceContext(platform::DeviceContext dc) {
    dc_ = dc;
    file_ = nullptr;
}

void FontSource::useFontFile(FILE* file) {
    file_ = file;
    dc_ = nullptr;
}

bool FontSource::probeCollection() {
    uint8_t head[4] = {};
    if (dc_) {
        uint32_t got = platform::getFontData(dc_, platform::kCollectionTable, 0, head, 4);
        if (got == platform::kFontDataError || got == 0) return false;
    } else if (file_) {
        filePosition_ = kUnknown;
        if (std::fseek(file_, 0, SEEK_SET) != 0) return false;
        size_t got = std::fread(head, 1, 4, file_);
        std::fseek(file_, 0, SEEK_SET);
        if (got == 0) return false;
    } else {
        return false;
    }
    return std::memcmp(head, "ttcf", 4) == 0;
}

bool FontSource::open(bool collection) {
    size_ = 0;
    if (dc_) {
        table_ = collection ? platform::kCollectionTable : 0;
        uint32_t size = platform::getFontData(dc_, table_, 0, nullptr, 0);
        if (size == platform::kFontDataError) return false;
        size_ = size;
        return true;
    }
    if (!file_) return false;
    if (std::fseek(file_, 0, SEEK_END) != 0) return false;
    long end = std::ftell(file_);
    if (end < 0) return false;
    size_ = static_cast<uint64_t>(end);
    filePosition_ = std::fseek(file_, 0, SEEK_SET) == 0 ? 0 : kUnknown;
    return true;
}

void FontSource::read(uint64_t offset, uint8_t* buffer, size_t count) {
    size_t got = 0;
    if (offset < size_) {
        size_t want = static_cast<size_t>(std::min<uint64_t>(count, size_ - offset));
        if (dc_) {
            uint32_t n = platform::getFontData(dc_, table_, static_cast<uint32_t>(offset), buffer,
                                               static_cast<uint32_t>(want));
            got = n == platform::kFontDataError ? 0 : std::min<size_t>(n, want);
        } else if (file_) {
            if (offset == filePosition_ || std::fseek(file_, static_cast<long>(offset), SEEK_SET) == 0) {
                got = std::fread(buffer, 1, want, file_);
                filePosition_ = got == want ? offset + got : kUnknown;
            } else {
                filePosition_ = kUnknown;
            }
        }
    }
    if (got < count) std::memset(buffer + got, 0, count - got);
}

void WindowReader::seekTo(uint64_t offset) {
    base_ = offset;
    pos_ = 0;
    source_.read(base_, window_, kWindowSize);
}

void WindowReader::refill() {
    base_ += kWindowSize;
    pos_ = 0;
    source_.read(base_, window_, kWindowSize);
}

uint64_t WindowReader::remaining() const {
    uint64_t at = position();
    return at < source_.size() ? source_.size() - at : 0;
}

void WindowReader::skip(uint32_t count) {
    uint64_t target = position() + count;
    if (target < base_ + kWindowSize) {
        pos_ = static_cast<uint32_t>(target - base_);
    } else {
        seekTo(target);
    }
}

void WindowReader::readBytes(uint8_t* out, size_t count) {
    while (count > 0) {
        size_t n = std::min<size_t>(count, kWindowSize - pos_);
        std::memcpy(out, window_ + pos_, n);
        out += n;
        count -= n;
        pos_ += static_cast<uint32_t>(n);
        if (pos_ == kWindowSize) refill();
    }
}

}  // namespace kd

// Big-endian output of a subset font program into the runtime's file,
// counting the bytes handed over. Small fields are gathered here first:
// one fwrite per field would cost more than the rest of the writer.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace kd {

class SfntOutput {
public:
    explicit SfntOutput(FILE* file) : file_(file) {}
    ~SfntOutput() { flush(); }
    SfntOutput(const SfntOutput&) = delete;
    SfntOutput& operator=(const SfntOutput&) = delete;

    void u8(uint32_t v) {
        if (used_ + 1 > sizeof buffer_) flush();
        buffer_[used_++] = static_cast<uint8_t>(v);
        ++count_;
    }
    void u16(uint32_t v) {
        if (used_ + 2 > sizeof buffer_) flush();
        buffer_[used_++] = static_cast<uint8_t>(v >> 8);
        buffer_[used_++] = static_cast<uint8_t>(v);
        count_ += 2;
    }
    void u32(uint32_t v) {
        u16(v >> 16);
        u16(v & 0xFFFF);
    }
    // An unsigned value in `size` bytes (1 to 4), as CFF offsets are written.
    void offset(uint32_t v, uint32_t size) {
        for (uint32_t shift = 8 * size; shift > 0; shift -= 8) u8(v >> (shift - 8));
    }
    void bytes(const uint8_t* p, size_t n) {
        if (used_ + n > sizeof buffer_) flush();
        if (n >= sizeof buffer_) {
            std::fwrite(p, 1, n, file_);
        } else {
            std::memcpy(buffer_ + used_, p, n);
            used_ += n;
        }
        count_ += static_cast<uint32_t>(n);
    }
    void zeros(size_t n) {
        static const uint8_t kZero[4] = {};
        while (n > 0) {
            size_t k = std::min<size_t>(n, 4);
            bytes(kZero, k);
            n -= k;
        }
    }
    void flush() {
        if (used_ > 0) std::fwrite(buffer_, 1, used_, file_);
        used_ = 0;
    }
    uint32_t count() const { return count_; }

private:
    FILE* file_;
    uint32_t count_ = 0;
    size_t used_ = 0;
    uint8_t buffer_[16384];
};

}  // namespace kd

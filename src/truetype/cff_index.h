// CFF INDEX structures: one read from the font source with every offset
// checked once against the table's end, and the layout of one to write.
#pragma once

#include <cstdint>
#include <vector>

#include "truetype/font_source.h"
#include "truetype/sfnt_output.h"

namespace kd {

// An INDEX of the source: count objects, each a byte range of the table.
class CffIndex {
public:
    // Reads the INDEX that starts at `at`, inside a table that ends at
    // limit. Offsets past the limit are cut to it and an offset below its
    // predecessor gives an empty object, so every object lies inside the
    // table and objects never overlap. False when the count, offset size
    // or offset array do not fit.
    bool read(FontSource& source, uint64_t at, uint64_t limit);

    uint32_t count() const { return offsets_.empty() ? 0 : static_cast<uint32_t>(offsets_.size() - 1); }
    uint64_t objectStart(uint32_t i) const { return base_ + offsets_[i]; }
    uint32_t objectLength(uint32_t i) const { return offsets_[i + 1] - offsets_[i]; }
    uint64_t start() const { return start_; }
    uint64_t end() const { return end_; }  // the byte after the INDEX
    uint32_t byteSize() const { return static_cast<uint32_t>(end_ - start_); }

private:
    uint64_t start_ = 0, base_ = 0, end_ = 0;
    std::vector<uint32_t> offsets_;  // count + 1, from the byte before the data
};

// An INDEX to be written, from the lengths of its objects.
class CffIndexLayout {
public:
    void add(uint32_t length) {
        lengths_.push_back(length);
        dataSize_ += length;
    }
    uint32_t count() const { return static_cast<uint32_t>(lengths_.size()); }
    uint32_t length(uint32_t i) const { return lengths_[i]; }
    // Offsets take as few bytes as the largest one needs.
    uint32_t offSize() const;
    uint64_t size() const;
    // Count, offset size and offsets; the caller writes the data after it.
    void writeHeader(SfntOutput& out) const;

private:
    std::vector<uint32_t> lengths_;
    uint64_t dataSize_ = 0;
};

}  // namespace kd

// Unicode value -> glyph index, as expanded from a format 4 character map.
// The first entry for a value stays. Values are 16-bit (format 4 covers
// the Basic Multilingual Plane), so the map is a flat table with a presence
// bit per value: lookups are one index, and it is walked in the order the
// entries were added.
#pragma once

#include <cstdint>
#include <vector>

namespace kd {

class UnicodeMap {
public:
    struct Entry {
        uint32_t unicode;
        uint32_t glyph;
    };

    // Adds unicode -> glyph unless unicode is present (or above 0xFFFF).
    bool insertIfAbsent(uint32_t unicode, uint32_t glyph) {
        if (unicode > 0xFFFF || contains(unicode)) return false;
        if (glyphs_.empty()) {
            glyphs_.assign(65536, 0);
            present_.assign(65536 / 64, 0);
        }
        present_[unicode >> 6] |= uint64_t{1} << (unicode & 63);
        glyphs_[unicode] = static_cast<uint16_t>(glyph);
        order_.push_back(static_cast<uint16_t>(unicode));
        return true;
    }
    bool contains(uint32_t unicode) const {
        return unicode <= 0xFFFF && !present_.empty() && ((present_[unicode >> 6] >> (unicode & 63)) & 1);
    }
    // The glyph of unicode, or -1 when absent.
    int32_t find(uint32_t unicode) const { return contains(unicode) ? glyphs_[unicode] : -1; }
    size_t size() const { return order_.size(); }
    Entry at(size_t i) const { return {order_[i], glyphs_[order_[i]]}; }

    class Iterator {
    public:
        Iterator(const UnicodeMap* map, size_t i) : map_(map), i_(i) {}
        Entry operator*() const { return map_->at(i_); }
        Iterator& operator++() {
            ++i_;
            return *this;
        }
        bool operator!=(const Iterator& other) const { return i_ != other.i_; }

    private:
        const UnicodeMap* map_;
        size_t i_;
    };
    Iterator begin() const { return {this, 0}; }
    Iterator end() const { return {this, order_.size()}; }

private:
    std::vector<uint16_t> glyphs_;
    std::vector<uint64_t> present_;
    std::vector<uint16_t> order_;
};

}  // namespace kd

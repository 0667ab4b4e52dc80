// The two re-encoding maps shared by text encoding and font embedding.
// CharCodeMap: UTF-16 unit -> one-byte code assigned in order of first use.
// GlyphCodeMap: character -> glyph number, filled from a font's character
// map. Entries are only ever added; the first value for a key stays.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <unordered_map>

namespace kd {

template <class Key, class Value>
class CodeMap {
public:
    using Map = std::unordered_map<Key, Value>;

    // Adds key -> value unless key is present; true when added.
    bool insertIfAbsent(Key key, Value value) { return map_.emplace(key, value).second; }

    // The value of key, or null.
    const Value* find(Key key) const {
        auto it = map_.find(key);
        return it == map_.end() ? nullptr : &it->second;
    }

    size_t size() const { return map_.size(); }

    // Entries in the map's own iteration order (which carries no meaning).
    typename Map::const_iterator begin() const { return map_.begin(); }
    typename Map::const_iterator end() const { return map_.end(); }

private:
    Map map_;
};

// Same interface as CodeMap<uint16_t, uint16_t>. Every character of every
// encoded text is looked up here, so besides the hash map (which the font
// side walks) the codes sit in 256-entry pages indexed by the unit's high
// byte: a lookup is two loads. A script touches only a few pages.
class CharCodeMap {
public:
    using Map = std::unordered_map<uint16_t, uint16_t>;

    CharCodeMap() = default;
    CharCodeMap(const CharCodeMap& other) : map_(other.map_) { copyPages(other); }
    CharCodeMap& operator=(const CharCodeMap& other) {
        if (this != &other) {
            CharCodeMap copy(other);
            *this = std::move(copy);
        }
        return *this;
    }
    CharCodeMap(CharCodeMap&&) noexcept = default;
    CharCodeMap& operator=(CharCodeMap&&) noexcept = default;

    bool insertIfAbsent(uint16_t key, uint16_t value) {
        std::unique_ptr<Page>& page = pages_[key >> 8];
        if (!page) page = std::make_unique<Page>();
        const unsigned slot = key & 0xFFu;
        if (page->present[slot]) return false;
        map_.emplace(key, value);  // may throw: the page is marked only after
        page->value[slot] = value;
        page->present[slot] = 1;
        return true;
    }

    const uint16_t* find(uint16_t key) const {
        const Page* page = pages_[key >> 8].get();
        const unsigned slot = key & 0xFFu;
        return page != nullptr && page->present[slot] ? &page->value[slot] : nullptr;
    }

    size_t size() const { return map_.size(); }

    Map::const_iterator begin() const { return map_.begin(); }
    Map::const_iterator end() const { return map_.end(); }

    // The codes of the 256 bytes of one single-byte code page in each of
    // four shaping contexts (index byte * 4 + context), -1 until met.
    // Entries never change, so a known code stays right; the table starts
    // afresh when the text's code page changes.
    int32_t* byteCodes(unsigned codePage) {
        if (!byteCodes_) byteCodes_ = std::make_unique<ByteCodes>();
        if (byteCodes_->codePage != codePage) {
            byteCodes_->code.fill(-1);
            byteCodes_->codePage = codePage;
        }
        return byteCodes_->code.data();
    }

private:
    struct ByteCodes {
        unsigned codePage = ~0u;
        std::array<int32_t, 256 * 4> code;
    };

    struct Page {
        uint16_t value[256] = {};
        uint8_t present[256] = {};
    };

    void copyPages(const CharCodeMap& other) {
        for (size_t i = 0; i < pages_.size(); ++i) {
            if (other.pages_[i]) pages_[i] = std::make_unique<Page>(*other.pages_[i]);
        }
    }

    std::array<std::unique_ptr<Page>, 256> pages_;
    Map map_;
    std::unique_ptr<ByteCodes> byteCodes_;  // a cache: not copied
};

class GlyphCodeMap : public CodeMap<int32_t, int32_t> {};

}  // namespace kd

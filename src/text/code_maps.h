// The two re-encoding maps shared by text encoding and font embedding.
// CharCodeMap: UTF-16 unit -> one-byte code assigned in order of first use.
// GlyphCodeMap: character -> glyph number, filled from a font's character
// map. Entries are only ever added; the first value for a key stays.
#pragma once

#include <cstdint>
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

class CharCodeMap : public CodeMap<uint16_t, uint16_t> {};
class GlyphCodeMap : public CodeMap<int32_t, int32_t> {};

}  // namespace kd

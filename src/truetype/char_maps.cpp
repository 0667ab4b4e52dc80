// The cmap reader: the Windows Unicode (3,1) subtable, else the Windows
// symbol (3,0) one, expanded from format 4 into the Unicode map; and the
// symbol font decision.
#include <algorithm>

#include "truetype/truetype_font.h"

namespace kd {

void TrueTypeFont::readCmap(uint32_t offset) {
    reader_.seekTo(offset);
    reader_.readUInt16();
    int32_t numTables = reader_.readInt16();
    hasUnicodeCmap_ = false;
    hasSymbolCmap_ = false;
    KD_TRACE(log_, " CMAP tables: %d\n", numTables);
    KD_TRACE(log_, "--------Reading char maps. Total cmaps: %d------\n", numTables);

    uint32_t chosen = 0;
    if (numTables > 0) {
        // Each encoding record takes 8 bytes of the source.
        uint64_t count = std::min<uint64_t>(static_cast<uint64_t>(numTables), reader_.remaining() / 8);
        for (uint64_t i = 0; i < count; ++i) {
            uint16_t platformID = reader_.readUInt16();
            uint16_t encodingID = reader_.readUInt16();
            uint32_t subtable = reader_.readUInt32();
            if (log_.active()) {
                log_.logFormat("Platform ID %d, Encoding %d", platformID, encodingID);
                log_.logText("\n");
            }
            if (platformID != 3) continue;
            if (encodingID == 1) {
                hasUnicodeCmap_ = true;
                chosen = subtable;
            } else if (encodingID == 0) {
                hasSymbolCmap_ = true;
                if (!hasUnicodeCmap_) chosen = subtable;
            }
        }
    }
    KD_TRACE(log_, "mymap %i\n", static_cast<int>(chosen));

    if (values_.ulCodePageRange1 == 0x80000000u) {
        symbolFont_ = values_.ulCodePageRange2 == 0;
    } else {
        symbolFont_ = (values_.ulCodePageRange1 == 0 || values_.ulCodePageRange1 == 1) && !hasUnicodeCmap_ &&
                      hasSymbolCmap_;
    }
    KD_TRACE(log_, "symbolFont: %X\n", symbolFont_ ? 1u : 0u);

    if (chosen == 0) return;
    uint64_t at = uint64_t{offset} + chosen;
    reader_.seekTo(at);
    uint16_t format = reader_.readUInt16();
    KD_TRACE(log_, "format %d\n", format);
    if (format == 4) readCmapFormat4(static_cast<uint32_t>(std::min<uint64_t>(at, UINT32_MAX)));
}

void TrueTypeFont::readCmapFormat4(uint32_t subtableOffset) {
    KD_TRACE(log_, "getFormat4 Start\n");
    reader_.seekTo(uint64_t{subtableOffset} + 2);
    uint32_t length = reader_.readUInt16();
    reader_.readUInt16();
    uint32_t segCount = reader_.readUInt16() / 2;
    reader_.skip(6);
    KD_TRACE(log_, "segCount (%i)\n", static_cast<int>(segCount));
    // Each segment takes 8 bytes of the source.
    segCount = static_cast<uint32_t>(std::min<uint64_t>(segCount, reader_.remaining() / 8));

    std::vector<uint16_t> endCode(segCount), startCode(segCount), idRangeOffset(segCount);
    std::vector<int16_t> idDelta(segCount);
    for (uint16_t& v : endCode) v = reader_.readUInt16();
    reader_.readUInt16();
    for (uint16_t& v : startCode) v = reader_.readUInt16();
    for (int16_t& v : idDelta) v = reader_.readInt16();
    for (uint16_t& v : idRangeOffset) v = reader_.readUInt16();
    int64_t glyphCount = int64_t{length} / 2 - 8 - 4 * int64_t{segCount};
    glyphCount = std::max<int64_t>(0, std::min<int64_t>(glyphCount, static_cast<int64_t>(reader_.remaining() / 2)));
    std::vector<uint16_t> glyphIdArray(static_cast<size_t>(glyphCount));
    for (uint16_t& v : glyphIdArray) v = reader_.readUInt16();

    // Codes already mapped keep their first glyph, so each code is visited
    // once however the segments overlap: link[c] is 0 while c is free, else
    // it leads further on (path halving keeps the walk short).
    std::vector<uint32_t> link(65537);
    auto findFree = [&link](uint32_t c) {
        while (link[c] != 0) {
            uint32_t next = link[c];
            if (link[next] != 0) link[c] = link[next];
            c = next;
        }
        return c;
    };
    for (uint32_t i = 0; i < segCount; ++i) {
        uint32_t last = std::min<uint32_t>(endCode[i], 0xFFFE);  // 0xFFFF never maps
        for (uint32_t c = findFree(startCode[i]); c <= last; c = findFree(c + 1)) {
            uint32_t glyph;
            if (idRangeOffset[i] == 0) {
                glyph = (c + static_cast<uint32_t>(idDelta[i])) & 0xFFFF;
            } else {
                int64_t index = int64_t{idRangeOffset[i]} / 2 + (c - startCode[i]) - (int64_t{segCount} - i);
                uint32_t g = index >= 0 && index < glyphCount ? glyphIdArray[static_cast<size_t>(index)] : 0;
                glyph = g == 0 ? 0 : (g + static_cast<uint32_t>(idDelta[i])) & 0xFFFF;
            }
            unicodeMap_.insertIfAbsent(c, glyph);
            link[c] = c + 1;
            KD_TRACE(log_, "read glyph i:%i j:%i glyph:%i \n", static_cast<int>(i), static_cast<int>(c),
                     static_cast<int>(glyph));
        }
    }
    KD_TRACE(log_, "getFormat4 End cnt(%i)\n", static_cast<int>(unicodeMap_.size()));
}

}  // namespace kd

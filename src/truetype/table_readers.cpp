// Readers of head, hhea, hmtx, loca, OS/2, post and name: a short list of
// named big-endian reads each. Counts taken from the font are bounded by
// the bytes the source really has.
#include <algorithm>
#include <cstring>

#include "truetype/truetype_font.h"

namespace kd {

void TrueTypeFont::readHead(uint32_t offset) {
    KD_TRACE(log_, "=== head\n");
    reader_.seekTo(uint64_t{offset} + 18);
    values_.unitsPerEm = reader_.readInt16();
    reader_.seekTo(uint64_t{offset} + 36);
    values_.xMin = reader_.readInt16();
    values_.yMin = reader_.readInt16();
    values_.xMax = reader_.readInt16();
    values_.yMax = reader_.readInt16();
    values_.macStyle = reader_.readUInt16();
    reader_.seekTo(uint64_t{offset} + 50);
    values_.indexToLocFormat = reader_.readUInt16();
    KD_TRACE(log_, "unitsPerEm: %d\n", values_.unitsPerEm);
    KD_TRACE(log_, "macStyle: %d\n", values_.macStyle);
    KD_TRACE(log_, "indexToLocFormat: %d\n", values_.indexToLocFormat);
}

void TrueTypeFont::readHhea(uint32_t offset) {
    KD_TRACE(log_, "=== hhea\n");
    reader_.seekTo(uint64_t{offset} + 34);
    values_.numberOfHMetrics = reader_.readUInt16();
    KD_TRACE(log_, "numberOfHMetrics: %d\n", values_.numberOfHMetrics);
}

void TrueTypeFont::readHmtx(uint32_t offset) {
    KD_TRACE(log_, "readHMTX %d %d\n", values_.numberOfHMetrics, values_.unitsPerEm);
    advanceWidths_.clear();
    // Zero units per em cannot scale; readTables then reports the font unusable.
    if (values_.unitsPerEm == 0) return;
    reader_.seekTo(offset);
    // Each long metric takes 4 bytes of the source.
    uint64_t count = std::min<uint64_t>(static_cast<uint64_t>(values_.numberOfHMetrics), reader_.remaining() / 4);
    advanceWidths_.reserve(count);
    for (uint64_t i = 0; i < count; ++i) {
        int32_t advance = reader_.readUInt16();
        reader_.readUInt16();
        int32_t width = advance * 1000 / values_.unitsPerEm;
        advanceWidths_.push_back(static_cast<uint16_t>(width));
        if (log_.active()) {
            log_.logFormat("gflyh width gi:%d ov:%d ", static_cast<int>(i), advance);
            log_.logFormat("cv:%d\n", width);
        }
    }
}

void TrueTypeFont::readLoca(uint32_t offset, uint32_t length) {
    KD_TRACE(log_, "==================Reading loca table (%i)\n", static_cast<int>(length));
    locaOffsets_.clear();
    reader_.seekTo(offset);
    uint64_t available = std::min<uint64_t>(length, reader_.remaining());
    bool isLong = values_.indexToLocFormat != 0;
    uint64_t count = isLong ? available / 4 : available / 2;
    if (isLong) {
        KD_TRACE(log_, "long [%i]\n", static_cast<int>(count));
    } else {
        KD_TRACE(log_, "short [%i]\n", static_cast<int>(count));
    }
    locaOffsets_.resize(count);
    for (uint64_t i = 0; i < count; ++i) {
        locaOffsets_[i] = isLong ? reader_.readUInt32() : uint32_t{reader_.readUInt16()} * 2;
        KD_TRACE(log_, "[%d]=%u;\n", static_cast<int>(i), locaOffsets_[i]);
    }
    KD_TRACE(log_, "===done\n");
}

void TrueTypeFont::readOs2(uint32_t offset) {
    KD_TRACE(log_, "=== OS/2\n");
    FontValues& v = values_;
    reader_.seekTo(offset);
    v.os2Version = reader_.readUInt16();
    reader_.seekTo(uint64_t{offset} + 4);
    v.usWeightClass = reader_.readUInt16();
    v.usWidthClass = reader_.readUInt16();
    v.fsType = reader_.readUInt16();
    reader_.seekTo(uint64_t{offset} + 32);
    for (uint8_t& b : v.panose) b = reader_.readByte();
    reader_.seekTo(uint64_t{offset} + 42);
    v.ulUnicodeRange1 = reader_.readUInt32();
    v.ulUnicodeRange2 = reader_.readUInt32();
    v.ulUnicodeRange3 = reader_.readUInt32();
    v.ulUnicodeRange4 = reader_.readUInt32();
    reader_.seekTo(uint64_t{offset} + 62);
    v.fsSelection = reader_.readUInt16();
    v.usFirstCharIndex = reader_.readUInt16();
    v.usLastCharIndex = reader_.readUInt16();
    reader_.seekTo(uint64_t{offset} + 74);
    v.usWinAscent = reader_.readUInt16();
    v.usWinDescent = reader_.readUInt16();
    if (v.os2Version != 0) {
        reader_.seekTo(uint64_t{offset} + 78);
        v.ulCodePageRange1 = reader_.readUInt32();
        v.ulCodePageRange2 = reader_.readUInt32();
        if (v.os2Version >= 2) {
            v.sxHeight = reader_.readInt16();
            v.sCapHeight = reader_.readInt16();
        } else {
            // Version 1 ends after the code page ranges: the same defaults
            // as version 0 rather than the bytes of the next table.
            v.sxHeight = 0;
            v.sCapHeight = 1000;
        }
    } else {
        v.ulCodePageRange1 = 1;
        v.ulCodePageRange2 = 0;
        v.sxHeight = 0;
        v.sCapHeight = 1000;
    }
    if (log_.active()) {
        log_.logFormat("OS/2 version: %d\n", v.os2Version);
        log_.logFormat("fsType: %d\n", v.fsType);
        log_.logFormat("panose: %X %X %X %X %X %X %X %X %X %X\n", v.panose[0], v.panose[1], v.panose[2], v.panose[3],
                       v.panose[4], v.panose[5], v.panose[6], v.panose[7], v.panose[8], v.panose[9]);
        log_.logFormat("ulUnicodeRange1: %X\n", v.ulUnicodeRange1);
        log_.logFormat("ulUnicodeRange2: %X\n", v.ulUnicodeRange2);
        log_.logFormat("ulUnicodeRange3: %X\n", v.ulUnicodeRange3);
        log_.logFormat("ulUnicodeRange4: %X\n", v.ulUnicodeRange4);
        log_.logFormat("fsSelection: %d\n", v.fsSelection);
        log_.logFormat("usFirstCharIndex: %d\n", v.usFirstCharIndex);
        log_.logFormat("usLastCharIndex: %d\n", v.usLastCharIndex);
        log_.logFormat("ulCodePageRange1: %X\n", v.ulCodePageRange1);
        log_.logFormat("ulCodePageRange2: %X\n", v.ulCodePageRange2);
    }
}

void TrueTypeFont::readPost(uint32_t offset) {
    KD_TRACE(log_, "=== post\n");
    reader_.seekTo(offset);
    reader_.readUInt32();
    values_.italicAngle = reader_.readUInt32();
}

void TrueTypeFont::readName(uint32_t offset) {
    KD_TRACE(log_, "=== name\n");
    reader_.seekTo(offset);
    uint16_t format = reader_.readUInt16();
    uint32_t count = reader_.readUInt16();
    uint16_t stringOffset = reader_.readUInt16();
    KD_TRACE(log_, "Format selector: %X\n", format);
    KD_TRACE(log_, "Count: %X\n", count);
    KD_TRACE(log_, "String data: %X\n", stringOffset);
    // Each record takes 12 bytes of the source.
    count = static_cast<uint32_t>(std::min<uint64_t>(count, reader_.remaining() / 12));
    for (uint32_t i = 0; i < count; ++i) {
        uint16_t platformID = reader_.readUInt16();
        uint16_t encodingID = reader_.readUInt16();
        uint16_t languageID = reader_.readUInt16();
        uint16_t nameID = reader_.readUInt16();
        uint16_t length = reader_.readUInt16();
        uint16_t recordOffset = reader_.readUInt16();
        if (log_.active()) {
            log_.logFormat("Platform ID: %X", platformID);
            log_.logFormat(" Encoding ID: %X", encodingID);
            log_.logFormat(" Language ID: %03X", languageID);
            log_.logFormat(" Name ID: %02X", nameID);
            log_.logFormat(" Length: %03X", length);
            log_.logFormat(" String Offset: %03X", recordOffset);
        }
        if (length != 0) {
            uint64_t stringAt = uint64_t{offset} + stringOffset + recordOffset;
            uint8_t* target = nullptr;
            if (platformID == 3 && languageID == 0x0409 && nameID == 4) target = values_.fullNameEnglish;
            if (platformID == 3 && languageID == 0x0409 && nameID == 1) target = values_.familyNameEnglish;
            if (target) {
                uint64_t back = reader_.position();
                reader_.seekTo(stringAt);
                std::memset(target, 0, 200);
                std::memcpy(target, reader_.current(), std::min<size_t>(length, 200));
                reader_.seekTo(back);
            } else if (platformID == 1 && log_.active()) {
                uint64_t back = reader_.position();
                reader_.seekTo(stringAt);
                char text[101] = {};
                std::memcpy(text, reader_.current(), std::min<size_t>(length, 100));
                log_.logFormat(" %s", text);
                reader_.seekTo(back);
            }
        }
        KD_TRACE(log_, "\n");
    }
}

}  // namespace kd

// TrueTypeFont: one TrueType font (or one member of a collection) read
// through a 3000-byte window from the font selected in a device context or
// from an open file; its tables, its Windows character map, the glyph set a
// text needs and the subset font program written from it.
//
// Calling order: construct, exactly one of useDeviceContext / useFontFile,
// readTables once, then at most one of the three writeSubset operations
// (optionally followed by addUndefinedCodes, readSubsetChunk,
// closeSubsetFile), then destroy. The object owns neither source: it never
// closes the file nor releases the context. Not thread-safe; one object
// belongs to one request.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "frame/diag_log.h"
#include "frame/platform/platform.h"
#include "text/code_maps.h"
#include "truetype/font_source.h"
#include "truetype/unicode_map.h"

namespace kd {

// One kept entry of the table directory. tag holds the four tag bytes as
// they stand in the file (first byte highest).
struct TableRecord {
    uint32_t tag = 0;
    uint32_t checkSum = 0;
    uint32_t offset = 0;
    uint32_t length = 0;
    uint32_t newOffset = 0;  // place in the subset, 0 until it is written
    uint32_t newLength = 0;
};

// One entry per code map entry of writeSubsetForCodeMap, in the order the
// map was walked.
struct CodeGlyphEntry {
    uint16_t code = 0;
    uint16_t glyph = 0;    // low 16 bits of the glyph index, 65535 for none
    uint16_t unicode = 0;  // the value last looked up
};

// The values the table readers keep, in font units unless said otherwise.
// readTables resets them before reading.
struct FontValues {
    // head
    int16_t unitsPerEm = 1;
    int16_t xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    uint16_t macStyle = 0;
    uint16_t indexToLocFormat = 0;  // 0 short loca, anything else long
    // hhea
    int32_t numberOfHMetrics = 0;
    // OS/2
    uint16_t os2Version = 0;
    uint16_t usWeightClass = 0, usWidthClass = 0, fsType = 0;
    uint8_t panose[10] = {};
    uint32_t ulUnicodeRange1 = 0, ulUnicodeRange2 = 0, ulUnicodeRange3 = 0, ulUnicodeRange4 = 0;
    uint16_t fsSelection = 0, usFirstCharIndex = 0, usLastCharIndex = 0;
    uint16_t usWinAscent = 0, usWinDescent = 0;
    uint32_t ulCodePageRange1 = 0, ulCodePageRange2 = 0;
    int16_t sxHeight = 0, sCapHeight = 0;
    // post: the 16.16 Fixed as its raw 32 bits
    uint32_t italicAngle = 0;
    // name: platform 3, language 0x0409, IDs 4 and 1; big-endian UTF-16 as
    // stored, zero-filled, cut to 200 bytes
    uint8_t fullNameEnglish[200] = {};
    uint8_t familyNameEnglish[200] = {};
};

class TrueTypeFont {
public:
    // faceName: 8-bit text (null counts as empty), kept as big-endian UTF-16,
    // at most 100 characters. logFileName: the diagnostic log's file, used
    // only when the developer switch turns the log on.
    TrueTypeFont(const char* faceName, const std::string& logFileName);
    ~TrueTypeFont();
    TrueTypeFont(const TrueTypeFont&) = delete;
    TrueTypeFont& operator=(const TrueTypeFont&) = delete;

    // The font selected in dc (read with platform::getFontData).
    void useDeviceContext(platform::DeviceContext dc);
    // An open file positioned anywhere; read with fseek/fread.
    void useFontFile(FILE* file);

    // Reads the directory and every kept table. 0 when done; -1 when the
    // source cannot be read or is empty, or the font's unitsPerEm is 0 (the
    // font is unusable).
    int32_t readTables();

    // Flags the caller sets before writing a subset.
    void setCodeMapMode(bool on) { codeMapMode_ = on; }
    void setGlyphIdMode(bool on) { glyphIdMode_ = on; }
    bool codeMapMode() const { return codeMapMode_; }
    bool glyphIdMode() const { return glyphIdMode_; }

    // What readTables found.
    bool isCollection() const { return isCollection_; }
    bool hasGlyf() const { return hasGlyf_; }
    bool hasPost() const { return hasPost_; }
    // The two kinds of outlines the subset writer copies. TrueType: 'glyf'
    // and 'loca' tables, sfnt version other than 'OTTO'. PostScript: a
    // "CFF " table and no "glyf"; subsets of such a font are OpenType
    // programs with a subset "CFF " table instead of "glyf" and "loca". A
    // font with neither would give a program without glyphs: the embedding
    // callers refuse it before they open any file.
    bool hasTrueTypeOutlines() const;
    bool cffOutlines() const { return hasCff_ && !hasGlyf_; }
    bool symbolFont() const { return symbolFont_; }
    bool hasUnicodeCmap() const { return hasUnicodeCmap_; }
    bool hasSymbolCmap() const { return hasSymbolCmap_; }
    uint32_t glyfOffset() const { return glyfOffset_; }
    const FontValues& values() const { return values_; }
    const std::vector<TableRecord>& tableList() const { return tableList_; }
    // Advance widths in 1/1000 em, one per long horizontal metric.
    const std::vector<uint16_t>& advanceWidths() const { return advanceWidths_; }
    // Byte offsets into "glyf" (numGlyphs + 1 of them); after a subset has
    // been written, the subset's offsets.
    const std::vector<uint32_t>& locaOffsets() const { return locaOffsets_; }
    // Width of a glyph in 1/1000 em; a glyph at or beyond the last long
    // metric (or negative) takes the last width; 0 without any metric.
    uint16_t glyphWidth(int32_t glyph) const;
    // Unicode value -> glyph index from the Windows format 4 subtable.
    const UnicodeMap& unicodeMap() const { return unicodeMap_; }
    const uint16_t* requestedName() const { return requestedName_; }
    int requestedNameLength() const { return requestedNameLength_; }

    // Glyph set and subset. Each returns the subset's size in bytes, 0 when
    // the subset file cannot be created.
    //
    // usedCodeMask: zero-terminated, "!" at position c when code c is used
    // (null counts as empty). widthTable (may be null): [0] = 1, [1] = 255,
    // then 256 widths; needs 258 values.
    int32_t writeSubsetForCodes(const char* usedCodeMask, int32_t codePage, const char* subsetFileName,
                                uint16_t* widthTable);
    // widthTable (may be null): [0] = 0, [1] = N - 1, N widths, then N glyph
    // indices when glyphIdMode is on; N <= 256, so 514 values always suffice.
    int32_t writeSubsetForCodeMap(const CharCodeMap& codeMap, const char* subsetFileName, uint16_t* widthTable);
    // Consumes characterSet (it is emptied).
    int32_t writeSubsetForCharacters(std::set<uint32_t>& characterSet, const char* subsetFileName);

    // Appends the code page's undefined codes (1250 to 1257 only), removes
    // adjacent duplicates, sorts; returns the list's size.
    int32_t addUndefinedCodes(int32_t codePage);
    const std::vector<int32_t>& missingCodeList() const { return missingCodeList_; }
    const std::vector<CodeGlyphEntry>& codeGlyphEntries() const { return codeGlyphEntries_; }
    // The glyph set as collected so far (sorted and unique once a subset
    // has been written).
    const std::vector<int32_t>& glyphList() const { return glyphList_; }

    // Reads count bytes at offset of the subset file, opening fileName ("rb")
    // on first use and keeping it open. Returns the bytes read (0 when the
    // file cannot be opened; buffer untouched then).
    size_t readSubsetChunk(uint32_t offset, void* buffer, uint32_t count, const char* fileName);
    void closeSubsetFile();

    DiagLog& log() { return log_; }

private:
    static constexpr int32_t kNoCode = -2;  // codeToGlyph_: code has no entry

    // readTables pieces
    void resetValues();
    int32_t finishReading();
    bool chooseCollectionMember(uint32_t* memberOffset);
    void readDirectory();
    void readTable(const TableRecord& record);
    void readHead(uint32_t offset);
    void readHhea(uint32_t offset);
    void readHmtx(uint32_t offset);
    void readLoca(uint32_t offset, uint32_t length);
    void readOs2(uint32_t offset);
    void readPost(uint32_t offset);
    void readName(uint32_t offset);
    void readCmap(uint32_t offset);
    void readCmapFormat4(uint32_t subtableOffset);

    // glyph set pieces
    int32_t addGlyph(uint32_t unicode, int32_t code);
    void collectFromCodeMask(const char* usedCodeMask, int32_t codePage);
    void addComposites();
    void addGlyphComposites(uint32_t offset, uint32_t length, std::vector<int32_t>& found);
    int32_t writeSubset(const char* subsetFileName, int subsetMode, uint16_t* widthTable);

    DiagLog log_;
    uint16_t requestedName_[100] = {};
    int requestedNameLength_ = 0;

    FontSource source_;
    WindowReader reader_;

    bool isCollection_ = false;
    bool hasGlyf_ = false;
    bool hasPost_ = false;
    bool hasLoca_ = false;
    uint32_t sfntVersion_ = 0;  // of the single font or the chosen member
    bool symbolFont_ = false;
    bool hasUnicodeCmap_ = false;
    bool hasSymbolCmap_ = false;
    bool codeMapMode_ = false;
    bool glyphIdMode_ = false;
    uint32_t glyfOffset_ = 0;
    uint32_t glyfLength_ = 0;
    bool hasCff_ = false;
    uint32_t cffOffset_ = 0;
    uint32_t cffLength_ = 0;

    FontValues values_;
    std::vector<TableRecord> tableList_;
    std::vector<uint16_t> advanceWidths_;
    std::vector<uint32_t> locaOffsets_;
    UnicodeMap unicodeMap_;

    std::vector<int32_t> glyphList_;
    std::unordered_map<int32_t, int32_t> glyphToCode_;  // first code per glyph
    std::vector<int32_t> codeToGlyph_;  // by one-byte code; kNoCode = no entry
    int codeToGlyphSize_ = 0;
    std::vector<int32_t> missingCodeList_;
    std::vector<CodeGlyphEntry> codeGlyphEntries_;

    FILE* subsetFile_ = nullptr;
    uint32_t subsetByteCount_ = 0;
};

}  // namespace kd

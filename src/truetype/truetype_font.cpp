// TrueTypeFont: creation, sources, the collection header and the table
// directory; the order in which the table readers run.
#include "truetype/truetype_font.h"

#include <cstring>

#include "truetype/tags.h"

namespace kd {

namespace {

// The sfnt version of an OpenType font with PostScript (CFF) outlines.
constexpr uint32_t kSfntVersionOtto = makeTag('O', 'T', 'T', 'O');

}  // namespace

TrueTypeFont::TrueTypeFont(const char* faceName, const std::string& logFileName) : reader_(source_) {
    if (faceName) {
        while (requestedNameLength_ < 100 && faceName[requestedNameLength_] != '\0') {
            requestedName_[requestedNameLength_] = static_cast<uint8_t>(faceName[requestedNameLength_]);
            ++requestedNameLength_;
        }
    }
    if (DiagLog::developerSwitchOn()) log_.enable(logFileName);
    codeToGlyph_.assign(256, kNoCode);
}

TrueTypeFont::~TrueTypeFont() { closeSubsetFile(); }

void TrueTypeFont::useDeviceContext(platform::DeviceContext dc) { source_.useDeviceContext(dc); }

void TrueTypeFont::useFontFile(FILE* file) { source_.useFontFile(file); }

void TrueTypeFont::resetValues() {
    values_ = FontValues();
    hasGlyf_ = false;
    hasPost_ = false;
    hasCff_ = false;
    hasLoca_ = false;
    sfntVersion_ = 0;
}

int32_t TrueTypeFont::readTables() {
    KD_TRACE(log_, "\n===========================\n==Font:\n");
    isCollection_ = source_.isSet() && source_.probeCollection();
    if (!source_.open(isCollection_) || source_.size() == 0) {
        KD_TRACE(log_, "\n===========================\n==Font open: GDI error\n");
        return -1;
    }
    resetValues();

    reader_.seekTo(0);
    sfntVersion_ = reader_.readUInt32();
    if (!isCollection_) {
        KD_TRACE(log_, "Single font file\n");
    } else {
        KD_TRACE(log_, "Font collection\n");
        uint32_t memberOffset = 0;
        if (!chooseCollectionMember(&memberOffset)) return finishReading();
        reader_.seekTo(memberOffset);
        sfntVersion_ = reader_.readUInt32();
    }
    readDirectory();

    // head, hhea and OS/2 first: hmtx needs unitsPerEm and numberOfHMetrics,
    // loca needs indexToLocFormat and the cmap's symbol decision needs the
    // code page ranges, whatever order the directory lists them in.
    for (const TableRecord& r : tableList_) {
        if (r.tag == kTagHead || r.tag == kTagHhea || r.tag == kTagOs2) readTable(r);
    }
    for (const TableRecord& r : tableList_) {
        if (r.tag != kTagHead && r.tag != kTagHhea && r.tag != kTagOs2) readTable(r);
    }
    return finishReading();
}

int32_t TrueTypeFont::finishReading() {
    if (values_.usFirstCharIndex < 0xF000) symbolFont_ = false;
    KD_TRACE(log_, "--------Reading tables - done ---\n");
    // Without units per em no width or metric can be scaled.
    return values_.unitsPerEm == 0 ? -1 : 0;
}

bool TrueTypeFont::chooseCollectionMember(uint32_t* memberOffset) {
    uint32_t version = reader_.readUInt32();
    int32_t numFonts = static_cast<int32_t>(reader_.readUInt32());
    KD_TRACE(log_, "Version: %d\n", static_cast<int>(version));
    KD_TRACE(log_, "Number of fonts: %d\n", numFonts);
    if (numFonts <= 0) return false;
    // Each offset takes 4 bytes of the source.
    uint64_t room = reader_.remaining() / 4;
    if (static_cast<uint64_t>(numFonts) > room) numFonts = static_cast<int32_t>(room);
    if (numFonts == 0) return false;
    std::vector<uint32_t> offsets(static_cast<size_t>(numFonts));
    for (uint32_t& o : offsets) o = reader_.readUInt32();

    int chosen = -1;
    for (int i = 0; i < numFonts && chosen < 0; ++i) {
        reader_.seekTo(offsets[i]);
        reader_.readUInt32();
        uint32_t numTables = reader_.readUInt16();
        reader_.readUInt16();
        reader_.readUInt32();
        numTables = static_cast<uint32_t>(std::min<uint64_t>(numTables, reader_.remaining() / 16));
        for (uint32_t t = 0; t < numTables; ++t) {
            uint32_t tag = reader_.readUInt32();
            reader_.readUInt32();
            uint32_t offset = reader_.readUInt32();
            reader_.readUInt32();
            if (tag != kTagName) continue;
            // A member without an English full name must not match on the
            // name of the member before it.
            std::memset(values_.fullNameEnglish, 0, sizeof values_.fullNameEnglish);
            readName(offset);
            bool equal = true;
            for (int k = 0; k < requestedNameLength_ && equal; ++k) {
                uint16_t unit = static_cast<uint16_t>((values_.fullNameEnglish[2 * k] << 8) |
                                                      values_.fullNameEnglish[2 * k + 1]);
                equal = unit == requestedName_[k];
            }
            if (equal) chosen = i;
            break;
        }
    }
    if (chosen < 0) {
        if (log_.active()) {
            char name[101] = {};
            for (int k = 0; k < requestedNameLength_; ++k) name[k] = static_cast<char>(requestedName_[k]);
            log_.logFormat("\n===========================\n==Font %s not found\n", name);
        }
        chosen = 0;
    }
    *memberOffset = offsets[chosen];
    return true;
}

void TrueTypeFont::readDirectory() {
    int32_t numTables = reader_.readInt16();
    reader_.readUInt16();
    reader_.readUInt32();
    KD_TRACE(log_, "--------Reading tables. Total tables: %d------\n", numTables);
    if (numTables <= 0) return;
    // Each record takes 16 bytes of the source.
    numTables = static_cast<int32_t>(std::min<uint64_t>(static_cast<uint64_t>(numTables), reader_.remaining() / 16));
    for (int32_t i = 0; i < numTables; ++i) {
        TableRecord r;
        r.tag = reader_.readUInt32();
        r.checkSum = reader_.readUInt32();
        r.offset = reader_.readUInt32();
        r.length = reader_.readUInt32();
        if (log_.active()) {
            log_.logFormat("Table %d: ", i);
            char tag[5] = {static_cast<char>(r.tag >> 24), static_cast<char>(r.tag >> 16),
                           static_cast<char>(r.tag >> 8), static_cast<char>(r.tag), '\0'};
            log_.logText(tag);
            log_.logFormat(" offset: %d, length: %d\n", static_cast<int>(r.offset), static_cast<int>(r.length));
        }
        if (r.tag == kTagPost) hasPost_ = true;
        if (isWantedTag(r.tag)) tableList_.push_back(r);
    }
}

void TrueTypeFont::readTable(const TableRecord& r) {
    switch (r.tag) {
    case kTagGlyf:
        hasGlyf_ = true;
        glyfOffset_ = r.offset;
        glyfLength_ = r.length;
        break;
    case kTagCff:
        // Its structure is read when a subset needs it (cff_font.h).
        hasCff_ = true;
        cffOffset_ = r.offset;
        cffLength_ = r.length;
        break;
    case kTagHhea: readHhea(r.offset); break;
    case kTagHmtx: readHmtx(r.offset); break;
    case kTagHead: readHead(r.offset); break;
    case kTagLoca:
        hasLoca_ = true;
        readLoca(r.offset, r.length);
        break;
    case kTagOs2: readOs2(r.offset); break;
    case kTagName: readName(r.offset); break;
    case kTagPost: readPost(r.offset); break;
    case kTagCmap: readCmap(r.offset); break;
    default: break;  // maxp is copied into subsets unchanged
    }
}

bool TrueTypeFont::hasTrueTypeOutlines() const { return sfntVersion_ != kSfntVersionOtto && hasGlyf_ && hasLoca_; }

uint16_t TrueTypeFont::glyphWidth(int32_t glyph) const {
    if (advanceWidths_.empty()) return 0;
    if (glyph < 0 || static_cast<size_t>(glyph) >= advanceWidths_.size()) return advanceWidths_.back();
    return advanceWidths_[static_cast<size_t>(glyph)];
}

}  // namespace kd

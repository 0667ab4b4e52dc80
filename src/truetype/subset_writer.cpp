// The subset writer: a font file that keeps every glyph at its index,
// empties the glyphs not needed, rebuilds glyf and loca (or, for PostScript
// outlines, the CFF table), optionally replaces cmap by a format 6 map of
// the one-byte codes, and drops post and every table the engine does not
// keep.
#include <algorithm>
#include <cstring>
#include <memory>

#include "truetype/cff_subset.h"
#include "truetype/sfnt_output.h"
#include "truetype/tags.h"
#include "truetype/truetype_font.h"

namespace kd {

namespace {

uint32_t padded(uint32_t n) { return (n + 3u) & ~3u; }

using Output = SfntOutput;

char printableCode(int32_t c) { return c >= 32 && c < 127 ? static_cast<char>(c) : '?'; }

// Copies length bytes of the source, window by window.
void copyFromSource(WindowReader& reader, Output& out, uint64_t offset, uint32_t length) {
    reader.moveTo(offset);
    while (length > 0) {
        uint32_t n = std::min(length, reader.availableInWindow());
        out.bytes(reader.current(), n);
        reader.skip(n);
        length -= n;
    }
}

struct GlyphExtent {
    int32_t glyph;
    uint32_t sourceOffset;  // into the source glyf
    uint32_t length;        // bytes to copy, before padding
};

}  // namespace

int32_t TrueTypeFont::writeSubset(const char* subsetFileName, int subsetMode, uint16_t* widthTable) {
    if (!subsetFileName) return 0;
    closeSubsetFile();
    source_.forgetFilePosition();
    const uint64_t sourceSize = source_.size();

    // PostScript outlines: the glyphs' charstrings are walked and the CFF
    // table laid out before anything is created; a CFF table that cannot
    // be read gives no subset at all.
    const bool cff = cffOutlines();
    std::unique_ptr<CffFont> cffFont;
    std::unique_ptr<CffSubset> cffSubset;
    if (cff) {
        cffFont = std::make_unique<CffFont>(source_);
        const uint64_t available = cffOffset_ < sourceSize ? sourceSize - cffOffset_ : 0;
        if (!cffFont->read(cffOffset_, static_cast<uint32_t>(std::min<uint64_t>(cffLength_, available)))) return 0;
        CffClosure closure(*cffFont);
        for (int32_t g : glyphList_)
            if (g >= 0) closure.addGlyph(static_cast<uint32_t>(g));
        // Accented glyphs bring their components, as composites do.
        glyphList_.insert(glyphList_.end(), closure.components().begin(), closure.components().end());
        cffSubset = std::make_unique<CffSubset>(*cffFont, closure);
        if (cffSubset->size() == 0) return 0;
    }

    subsetFile_ = std::fopen(subsetFileName, "wb");
    if (!subsetFile_) return 0;
    subsetByteCount_ = 0;
    if (!cff) addComposites();

    std::sort(glyphList_.begin(), glyphList_.end());
    glyphList_.erase(std::unique(glyphList_.begin(), glyphList_.end()), glyphList_.end());

    // Where each kept glyph comes from and how long it is. A damaged loca
    // (an entry below its predecessor, data past the end of the source)
    // gives empty or shortened glyphs, and the glyph data copied in all
    // never exceeds the source's size.
    const size_t locaCount = cff ? 0 : locaOffsets_.size();
    std::vector<GlyphExtent> extents;
    uint64_t budget = sourceSize;
    for (int32_t g : glyphList_) {
        if (cff) {
            if (g >= 0 && static_cast<uint32_t>(g) < cffFont->glyphCount()) extents.push_back({g, 0, 0});
            continue;
        }
        if (g < 0 || static_cast<size_t>(g) + 1 >= locaCount) continue;
        uint32_t s = locaOffsets_[g], e = locaOffsets_[g + 1];
        uint64_t n = e > s ? e - s : 0;
        uint64_t at = uint64_t{glyfOffset_} + s;
        n = at < sourceSize ? std::min<uint64_t>(n, sourceSize - at) : 0;
        n = std::min(n, budget);
        budget -= n;
        extents.push_back({g, s, static_cast<uint32_t>(n)});
    }

    // The subset's loca, computed before any body is written so that it
    // matches the glyph data whatever order the directory lists the tables in.
    std::vector<uint32_t> newLoca = locaOffsets_;
    uint32_t glyfLength = 0;
    if (!cff) {
        uint32_t o = 0;
        size_t p = 0;
        bool first = true;
        for (const GlyphExtent& x : extents) {
            size_t g = static_cast<size_t>(x.glyph);
            for (size_t k = first ? 0 : p + 1; k < g; ++k) newLoca[k] = o;
            newLoca[g] = o;
            o += padded(x.length);
            p = g;
            first = false;
        }
        for (size_t k = first ? 0 : p + 1; k < locaCount; ++k) newLoca[k] = o;
        glyfLength = o;
    }

    Output out(subsetFile_);
    out.u32(cff ? makeTag('O', 'T', 'T', 'O') : 0x00010000);
    auto removeFirst = [this](uint32_t tag) {
        auto it = std::find_if(tableList_.begin(), tableList_.end(), [tag](const TableRecord& r) { return r.tag == tag; });
        if (it != tableList_.end()) tableList_.erase(it);
    };
    if (glyphIdMode_) removeFirst(kTagCmap);
    removeFirst(kTagPost);
    removeFirst(cff ? kTagLoca : kTagCff);

    const uint32_t numTables = static_cast<uint32_t>(tableList_.size());
    uint32_t power = 1, log2 = 0;
    while (power * 2 <= numTables) {
        power *= 2;
        ++log2;
    }
    out.u16(numTables);
    out.u16(16 * power);
    out.u16(log2);
    out.u16(numTables >= power ? 16 * (numTables - power) : 0);

    KD_TRACE(log_, "\n===============WRITING TABLES DIRECTORY======================\n");
    const uint32_t codeCount = static_cast<uint32_t>(codeToGlyphSize_);
    const bool longLoca = values_.indexToLocFormat != 0;
    uint32_t running = 12 + 16 * numTables;
    for (TableRecord& r : tableList_) {
        out.u32(r.tag);
        out.u32(r.checkSum);
        out.u32(running);
        r.newOffset = running;
        // A copied table never reaches past the end of the source.
        uint64_t available = r.offset < sourceSize ? sourceSize - r.offset : 0;
        r.newLength = static_cast<uint32_t>(std::min<uint64_t>(r.length, available));
        if (r.tag == kTagGlyf || (cff && r.tag == kTagCff)) {
            r.newLength = cff ? cffSubset->size() : glyfLength;
            KD_TRACE(log_, "Write glyphs table: (%i), locaTable count:%i\n", static_cast<int>(glyphList_.size()),
                     static_cast<int>(locaCount));
            if (subsetMode == 0 && widthTable) {
                widthTable[0] = 1;
                widthTable[1] = 255;
                uint16_t defaultWidth = glyphWidth(-1);
                for (int c = 0; c < 256; ++c) widthTable[2 + c] = defaultWidth;
            }
            for (const GlyphExtent& x : extents) {
                auto code = glyphToCode_.find(x.glyph);
                bool coded = code != glyphToCode_.end() && code->second >= 0 && code->second < 256;
                if (subsetMode == 0 && widthTable && coded) widthTable[2 + code->second] = glyphWidth(x.glyph);
                if (log_.active()) {
                    log_.logFormat("Write glyph: (%i) (%i)", x.glyph, static_cast<int>(x.length));
                    if (coded) {
                        log_.logFormat(" - char:%d (%c) w:%d", code->second, printableCode(code->second),
                                       glyphWidth(x.glyph));
                    } else {
                        log_.logText(" - glyph Composites");
                    }
                    log_.logText("\n");
                }
            }
        } else if (r.tag == kTagLoca) {
            r.newLength = static_cast<uint32_t>(locaCount * (longLoca ? 4 : 2));
        } else if (subsetMode == 1 && r.tag == kTagCmap) {
            r.newLength = 22 + 2 * codeCount;
        }
        out.u32(r.newLength);
        running += padded(r.newLength);
    }

    KD_TRACE(log_, "\n===============WRITING TABLES======================\n");
    for (const TableRecord& r : tableList_) {
        if (log_.active()) {
            log_.logFormat("Table %c", static_cast<char>(r.tag >> 24));
            log_.logFormat("%c", static_cast<char>(r.tag >> 16));
            log_.logFormat("%c", static_cast<char>(r.tag >> 8));
            log_.logFormat("%c\n", static_cast<char>(r.tag));
        }
        const uint32_t before = out.count();
        if (subsetMode == 1 && r.tag == kTagCmap) {
            KD_TRACE(log_, "------writing cmap type 6----------\n");
            if (widthTable) {
                widthTable[0] = 0;
                widthTable[1] = static_cast<uint16_t>(codeCount - 1);
            }
            out.u16(0);
            out.u16(1);
            out.u16(1);
            out.u16(0);
            out.u32(12);
            out.u16(6);
            out.u16(10 + 2 * codeCount);
            out.u16(0);
            out.u16(0);
            out.u16(codeCount);
            for (uint32_t c = 0; c < codeCount; ++c) {
                int32_t g = codeToGlyph_[c];
                uint32_t value = g == kNoCode ? 0 : (g < 0 ? 65535 : static_cast<uint32_t>(g) & 0xFFFF);
                if (g >= 0) {
                    KD_TRACE(log_, "Unicode: %d  glypholdindex: %d", static_cast<int>(c), g);
                } else {
                    KD_TRACE(log_, "(%d) - unknown glyph in CharacterMap\n", static_cast<int>(c));
                }
                out.u16(value);
            }
        } else if (cff && r.tag == kTagCff) {
            KD_TRACE(log_, "------------writing CFF--------------\n");
            cffSubset->write(out);
        } else if (r.tag == kTagGlyf) {
            KD_TRACE(log_, "------------writing glyphs--------------\n");
            KD_TRACE(log_, ":::::::::::::Write GLYF offset: %x, length %x", r.newOffset, r.newLength);
            for (const GlyphExtent& x : extents) {
                KD_TRACE(log_, "glyph: %d", x.glyph);
                KD_TRACE(log_, " ofiginal offset: %d\n", static_cast<int>(x.sourceOffset));
                KD_TRACE(log_, " length %d", static_cast<int>(x.length));
                KD_TRACE(log_, " local offset: %d\n", static_cast<int>(newLoca[x.glyph]));
                copyFromSource(reader_, out, uint64_t{glyfOffset_} + x.sourceOffset, x.length);
                out.zeros(padded(x.length) - x.length);
            }
        } else if (r.tag == kTagLoca) {
            for (uint32_t v : newLoca) {
                if (longLoca) {
                    out.u32(v);
                } else {
                    out.u16(v / 2);
                }
            }
        } else {
            KD_TRACE(log_, ":::::::::::::Write table offset: %x, length %x", r.newOffset, r.newLength);
            copyFromSource(reader_, out, r.offset, r.newLength);
        }
        uint32_t written = out.count() - before;
        if (r.tag != kTagGlyf && written != padded(written)) {
            KD_TRACE(log_, " add padding to %%4 %x\n", written);
            out.zeros(padded(written) - written);
        }
        KD_TRACE(log_, " old offset: %x, length written %x\n", r.offset, r.length);
        KD_TRACE(log_, " new offset: %x, length written %x\n", r.newOffset, r.newLength);
        KD_TRACE(log_, "$$$$$$$$$ written so far %d\n\n", static_cast<int>(out.count()));
    }

    locaOffsets_ = std::move(newLoca);
    subsetByteCount_ = out.count();
    out.flush();
    std::fclose(subsetFile_);
    subsetFile_ = nullptr;
    return static_cast<int32_t>(subsetByteCount_);
}

size_t TrueTypeFont::readSubsetChunk(uint32_t offset, void* buffer, uint32_t count, const char* fileName) {
    if (!subsetFile_) {
        if (!fileName) return 0;
        subsetFile_ = std::fopen(fileName, "rb");
        if (!subsetFile_) return 0;
    }
    if (!buffer || std::fseek(subsetFile_, static_cast<long>(offset), SEEK_SET) != 0) return 0;
    return std::fread(buffer, 1, count, subsetFile_);
}

void TrueTypeFont::closeSubsetFile() {
    if (subsetFile_) {
        std::fclose(subsetFile_);
        subsetFile_ = nullptr;
    }
}

}  // namespace kd

// JBIG2 files: the segment table (ITU-T T.88 section 7.2 headers, both file
// organisations), the page stream with its page association rewritten to 1,
// and the global symbol dictionary written to its own file.
#include <algorithm>

#include "image/pic_info.h"

namespace kd::image {

namespace {

constexpr uint32_t kTypeSymbolDictionary = 0;
constexpr uint32_t kTypePageInformation = 48;
constexpr uint32_t kTypeEndOfPage = 49;
constexpr uint32_t kTypeEndOfFile = 51;

// Reads one segment header at the current position.
Jbig2Segment readSegmentHeader(PicInfo& info) {
    Jbig2Segment s;
    int64_t start = info.position();
    s.headerOffset = uint32_t(start);
    s.segmentNumber = info.readU32BE();
    s.flags = uint32_t(info.readByte());
    s.type = s.flags & 63;
    s.pageAssociationSize = (s.flags & 0x40) ? 4 : 1;
    s.deferredNonRetain = (s.flags >> 7) & 1;
    s.referredByte = uint32_t(info.readByte());
    s.referredCount = s.referredByte >> 5;
    uint64_t numbers = s.referredCount;
    if (s.referredCount == 7) {
        info.seekTo(info.position() - 1);
        s.longReferredCount = info.readU32BE() & 0x1FFFFFFF;
        info.skip((uint64_t(s.longReferredCount) + 1 + 7) / 8);
        numbers = s.longReferredCount;
    }
    s.referredNumberSize = s.segmentNumber <= 256 ? 1 : s.segmentNumber <= 65536 ? 2 : 4;
    info.skip(numbers * s.referredNumberSize);
    s.pageAssociationFieldOffset = uint32_t(info.position() - start);
    s.pageAssociation = s.pageAssociationSize == 4 ? info.readU32BE() : uint32_t(info.readByte());
    s.dataLength = info.readU32BE();
    s.headerLength = uint32_t(info.position() - start);
    return s;
}

}  // namespace

int readJbig2Header(PicInfo& info) {
    if (info.readByte() != 0x42 || info.readByte() != 0x32) return kErrUnrecognised;
    if (info.readU32BE() != 0x0D0A1A0A || info.eof()) return kErrUnrecognised;
    info.jbig2FileFlags = info.readByte();
    info.jbig2PageCount = (info.jbig2FileFlags & 2) ? 0 : int32_t(info.readU32BE());
    std::fill(info.jbig2Globals, info.jbig2Globals + 4, 0u);
    info.jbig2Segments.clear();
    const bool sequential = (info.jbig2FileFlags & 1) != 0;

    // Every header takes at least 11 bytes and the reader only moves
    // forward, so the table is bounded by the file's size.
    while (!info.eof() && info.position() < info.fileSize) {
        Jbig2Segment s = readSegmentHeader(info);
        if (info.eof()) break;  // a header cut short by the end of the file
        if (sequential) {
            s.dataOffset = uint32_t(info.position());
            info.skip(s.dataLength);
        }
        info.jbig2Segments.push_back(s);
        if (s.type == kTypeEndOfFile) break;
    }
    if (!sequential) {
        // Data parts follow all headers, in the same order.
        uint64_t running = uint64_t(info.position());
        for (Jbig2Segment& s : info.jbig2Segments) {
            if (s.dataLength == 0) continue;
            s.dataOffset = uint32_t(std::min<uint64_t>(running, uint64_t(info.fileSize)));
            running += s.dataLength;
        }
    }

    bool counting = info.jbig2PageCount == 0;
    const Jbig2Segment* pageInfo = nullptr;
    for (const Jbig2Segment& s : info.jbig2Segments) {
        if (s.type == kTypePageInformation) {
            if (counting) ++info.jbig2PageCount;
            if (!pageInfo && s.pageAssociation == uint32_t(info.jbig2Page)) pageInfo = &s;
        }
        if (s.pageAssociation == 0 && s.type == kTypeSymbolDictionary) {
            info.jbig2Globals[0] = s.headerOffset;
            info.jbig2Globals[1] = s.headerLength;
            info.jbig2Globals[2] = s.dataOffset;
            info.jbig2Globals[3] = s.dataLength;
        }
    }
    if (!pageInfo) return kErrUnrecognised;
    info.seekTo(pageInfo->dataOffset);
    info.width = int32_t(info.readU32BE());
    info.height = int32_t(info.readU32BE());
    info.colourType = 1;
    info.bitsPerComponent = 1;
    info.bitCount = 1;
    info.kind = kJbig2;
    return 0;
}

namespace {

// Copies `length` bytes from `offset` of the input to `to`, stopping at the
// end of the file.
template <class Sink>
void copyRange(PicInfo& info, uint32_t offset, uint32_t length, Sink&& to) {
    info.seekTo(offset);
    uint64_t left = length;
    uint8_t block[kCopyBlock];
    while (left > 0 && !info.eof()) {
        size_t want = size_t(std::min<uint64_t>(left, kCopyBlock));
        size_t got = info.readBlock(block, want);
        if (got == 0) break;
        to(block, got);
        left -= got;
    }
}

}  // namespace

int copyJbig2Page(PicInfo& info) {
    for (const Jbig2Segment& s : info.jbig2Segments) {
        if (s.pageAssociation != uint32_t(info.jbig2Page) || s.type == kTypeEndOfPage ||
            s.type == kTypeEndOfFile)
            continue;
        fseek(info.output, 0, SEEK_END);
        long start = ftell(info.output);
        uint32_t copied = 0;
        copyRange(info, s.headerOffset, s.headerLength, [&](const uint8_t* b, size_t n) {
            putOutput(info, b, n);
            copied += uint32_t(n);
        });
        // The embedded stream always describes page 1.
        if (s.pageAssociation != 1 && s.pageAssociationFieldOffset + s.pageAssociationSize <= copied) {
            static const uint8_t one4[4] = {0, 0, 0, 1};
            static const uint8_t one1[1] = {1};
            fseek(info.output, start + long(s.pageAssociationFieldOffset), SEEK_SET);
            fwrite(s.pageAssociationSize == 4 ? one4 : one1, 1, s.pageAssociationSize, info.output);
            fseek(info.output, 0, SEEK_END);
        }
        copyRange(info, s.dataOffset, s.dataLength, [&](const uint8_t* b, size_t n) { putOutput(info, b, n); });
    }
    return 0;
}

void writeJbig2Globals(PicInfo& info, const char* path) {
    FILE* out = fopen(path ? path : "", "wb");
    if (!out) return;
    auto write = [&](const uint8_t* b, size_t n) { fwrite(b, 1, n, out); };
    copyRange(info, info.jbig2Globals[0], info.jbig2Globals[1], write);
    copyRange(info, info.jbig2Globals[2], info.jbig2Globals[3], write);
    fclose(out);
}

}  // namespace kd::image

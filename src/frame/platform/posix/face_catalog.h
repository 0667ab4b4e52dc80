// Font faces on Linux: fontconfig chooses a file and face index for a face
// name, weight and slant; FreeType reads the face's tables once. Both
// results are cached for the life of the process, so a warm selection costs
// a lock and two hash lookups. Extra font folders come from KDLIB_FONT_DIRS
// (colon-separated), re-read whenever the variable changes.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kd::platform::posix {

// What the platform layer needs of one face, read once and then shared
// read-only by every font created on it.
struct FaceData {
    std::string path;
    int faceIndex = 0;

    // The whole file, mapped; the member's offset table starts at
    // memberOffset (0 for a plain font).
    const uint8_t* file = nullptr;
    size_t fileSize = 0;
    uint32_t memberOffset = 0;
    bool inCollection = false;

    int unitsPerEm = 1000;
    int hheaAscender = 0, hheaDescender = 0, hheaLineGap = 0, advanceWidthMax = 0;
    int winAscent = 0, winDescent = 0, xAvgCharWidth = 0, weightClass = 400;
    uint16_t firstCharIndex = 0, lastCharIndex = 0, fsType = 0;
    bool symbolFont = false;  // a Windows symbol character map only
    std::string familyName;   // Windows English family name (name ID 1)
    std::string fullName;     // Windows English full name (name ID 4)

    std::vector<uint16_t> glyphForUnit;  // 65536 entries, 0 = missing
    std::vector<uint16_t> advances;      // font units, per glyph

    uint16_t glyphFor(uint32_t unit) const;
    // Left side bearing and ink width of a glyph in font units (read lazily).
    void inkExtent(uint16_t glyph, int* lsb, int* width) const;

    ~FaceData();

    struct Lazy;
    std::unique_ptr<Lazy> lazy;
};

// The face fontconfig matches for a description; null when no font at all
// can be found.
std::shared_ptr<const FaceData> matchFace(const char* faceName, bool bold, bool italic);

// A face from a given file and index (tests and tools use it directly).
std::shared_ptr<const FaceData> loadFace(const std::string& path, int faceIndex);

}  // namespace kd::platform::posix

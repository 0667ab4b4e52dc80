// Font faces on Linux: fontconfig chooses a file and face index for a face
// name, weight and slant; FreeType reads the face's tables once.
//
// Many host threads select the same few faces, so a face name seen before
// is found under a shared lock with no system call; only a name seen for
// the first time takes the loader's lock (fontconfig, file reading,
// FreeType) and, for the insertion alone, the exclusive lock of the name
// cache. The cache keeps the names used most recently (a few hundred) and a
// face lives only while a cached name or a selected font uses it. Every few
// seconds one call checks whether fonts were installed, removed or changed
// (fontconfig's own folders, the KDLIB_FONT_DIRS folders, the files of the
// cached faces) and forgets what is out of date.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace kd::platform::posix {

// What the platform layer needs of one face, read once and then shared
// read-only by every font created on it.
struct FaceData {
    std::string path;
    int faceIndex = 0;

    // The whole file, read into memory (a mapping would fault if the file
    // were cut short on disk); the member's offset table starts at
    // memberOffset (0 for a plain font). Collection members share the bytes.
    std::shared_ptr<const std::vector<uint8_t>> bytes;
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

    std::vector<uint16_t> glyphForUnit;                     // 65536 entries, 0 = missing
    std::unordered_map<uint32_t, uint16_t> supplementary;  // units above U+FFFF
    std::vector<uint16_t> advances;                         // font units, per glyph

    uint16_t glyphFor(uint32_t unit) const;
    // Left side bearing and ink width of a glyph in font units (read from
    // FreeType on first use, then without a lock).
    void inkExtent(uint16_t glyph, int* lsb, int* width) const;

    ~FaceData();

    struct Lazy;
    std::unique_ptr<Lazy> lazy;
};

// The face fontconfig matches for a description; null when no font at all
// can be found. Face names are LOGFONT names: at most 31 characters count.
std::shared_ptr<const FaceData> matchFace(const char* faceName, bool bold, bool italic);

// A face from a given file and index.
std::shared_ptr<const FaceData> loadFace(const std::string& path, int faceIndex);

// How often the catalogue looks for installed or changed fonts (tests
// shorten it), and how many face names it keeps.
void setFontCheckInterval(std::chrono::milliseconds interval);
size_t cachedFaceNames();
constexpr size_t kFaceNameCapacity = 256;

}  // namespace kd::platform::posix

#include "frame/platform/posix/face_catalog.h"

#include <fcntl.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <tuple>
#include <unordered_map>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include FT_SFNT_NAMES_H
#include FT_ADVANCES_H
#include FT_TRUETYPE_IDS_H

#include "frame/platform/lock_probe.h"

namespace kd::platform::posix {

struct FaceData::Lazy {
    std::mutex mutex;
    FT_Face face = nullptr;
    std::unordered_map<uint32_t, uint16_t> supplementary;  // units above U+FFFF
    std::unordered_map<uint16_t, std::pair<int, int>> ink;  // glyph -> lsb, width
};

namespace {

struct FileKey {
    std::string path;
    int index;
    int64_t size;
    int64_t mtime;
    bool operator<(const FileKey& o) const {
        return std::tie(path, index, size, mtime) < std::tie(o.path, o.index, o.size, o.mtime);
    }
};

struct Catalog {
    std::mutex mutex;
    FcConfig* config = nullptr;
    FT_Library freetype = nullptr;
    std::string fontDirs;
    bool fontDirsSeen = false;
    std::unordered_map<std::string, std::pair<std::string, int>> matches;
    std::map<FileKey, std::shared_ptr<const FaceData>> faces;
};

// Never destroyed: faces may be in use by other threads at exit.
Catalog& catalog() {
    static Catalog* c = new Catalog;
    return *c;
}

uint32_t readU32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// Adds the folders of KDLIB_FONT_DIRS that are new since the last look.
void refreshFontDirs(Catalog& c) {
    const char* env = std::getenv("KDLIB_FONT_DIRS");
    std::string dirs = env ? env : "";
    if (c.fontDirsSeen && dirs == c.fontDirs) return;
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        if (!dir.empty()) FcConfigAppFontAddDir(c.config, reinterpret_cast<const FcChar8*>(dir.c_str()));
        start = end + 1;
    }
    c.fontDirs = dirs;
    c.fontDirsSeen = true;
    c.matches.clear();
}

bool ensureLibraries(Catalog& c) {
    if (!c.config) c.config = FcInitLoadConfigAndFonts();
    if (!c.freetype && FT_Init_FreeType(&c.freetype) != 0) c.freetype = nullptr;
    return c.config != nullptr && c.freetype != nullptr;
}

bool fontconfigMatch(Catalog& c, const char* faceName, bool bold, bool italic, std::string* path,
                     int* index) {
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return false;
    if (faceName && *faceName)
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(faceName));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(c.config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(c.config, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return false;
    FcChar8* file = nullptr;
    int faceIndex = 0;
    bool ok = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr;
    if (ok) {
        *path = reinterpret_cast<const char*>(file);
        if (FcPatternGetInteger(match, FC_INDEX, 0, &faceIndex) != FcResultMatch) faceIndex = 0;
        *index = faceIndex & 0xFFFF;  // the high bits name variable-font instances
    }
    FcPatternDestroy(match);
    return ok;
}

// A Windows-platform English name record (ID 1 family, 4 full name).
std::string windowsName(FT_Face face, FT_UShort nameId) {
    FT_UInt count = FT_Get_Sfnt_Name_Count(face);
    std::string best;
    for (FT_UInt i = 0; i < count; ++i) {
        FT_SfntName name;
        if (FT_Get_Sfnt_Name(face, i, &name) != 0) continue;
        if (name.platform_id != TT_PLATFORM_MICROSOFT || name.language_id != 0x0409 || name.name_id != nameId)
            continue;
        std::string text;
        for (FT_UInt k = 0; k + 1 < name.string_len; k += 2) {
            unsigned unit = (unsigned{name.string[k]} << 8) | name.string[k + 1];
            text.push_back(unit < 256 ? static_cast<char>(unit) : '?');
        }
        best = text;
    }
    return best;
}

std::string windowsFamilyName(FT_Face face) {
    std::string name = windowsName(face, 1);
    if (name.empty() && face->family_name) name = face->family_name;
    return name;
}

// GDI's face name of a TrueType font (otmpFaceName) is the full name:
// "DejaVu Sans Bold" for the bold face, "DejaVu Sans" for the regular one.
std::string windowsFullName(FT_Face face, const std::string& family) {
    std::string name = windowsName(face, 4);
    if (!name.empty()) return name;
    std::string style = face->style_name ? face->style_name : "";
    return style.empty() || style == "Regular" ? family : family + " " + style;
}

std::shared_ptr<const FaceData> buildFace(Catalog& c, const std::string& path, int faceIndex) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_size <= 0) {
        ::close(fd);
        return nullptr;
    }
    void* map = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    if (map == MAP_FAILED) return nullptr;

    auto data = std::make_shared<FaceData>();
    data->lazy = std::make_unique<FaceData::Lazy>();
    data->path = path;
    data->faceIndex = faceIndex;
    data->file = static_cast<const uint8_t*>(map);
    data->fileSize = static_cast<size_t>(st.st_size);

    FT_Face face = nullptr;
    if (FT_New_Memory_Face(c.freetype, data->file, static_cast<FT_Long>(data->fileSize), faceIndex, &face) != 0)
        return nullptr;  // the destructor unmaps the file
    data->lazy->face = face;

    if (data->fileSize >= 16 && std::memcmp(data->file, "ttcf", 4) == 0) {
        data->inCollection = true;
        size_t at = 12 + 4 * static_cast<size_t>(faceIndex);
        if (at + 4 <= data->fileSize) data->memberOffset = readU32(data->file + at);
        if (data->memberOffset >= data->fileSize) data->memberOffset = 0;
    }

    data->unitsPerEm = face->units_per_EM > 0 ? face->units_per_EM : 1000;
    if (auto* hhea = static_cast<TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA))) {
        data->hheaAscender = hhea->Ascender;
        data->hheaDescender = hhea->Descender;
        data->hheaLineGap = hhea->Line_Gap;
        data->advanceWidthMax = hhea->advance_Width_Max;
    }
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->version != 0xFFFF) {
        data->winAscent = os2->usWinAscent;
        data->winDescent = os2->usWinDescent;
        data->xAvgCharWidth = os2->xAvgCharWidth;
        data->weightClass = os2->usWeightClass;
        data->firstCharIndex = os2->usFirstCharIndex;
        data->lastCharIndex = os2->usLastCharIndex;
        data->fsType = os2->fsType;
    } else {
        data->winAscent = data->hheaAscender;
        data->winDescent = -data->hheaDescender;
    }

    bool hasUnicode = false, hasSymbol = false;
    FT_CharMap symbolMap = nullptr;
    for (int i = 0; i < face->num_charmaps; ++i) {
        FT_CharMap m = face->charmaps[i];
        if (m->platform_id != TT_PLATFORM_MICROSOFT) continue;
        if (m->encoding_id == TT_MS_ID_UNICODE_CS || m->encoding_id == TT_MS_ID_UCS_4) hasUnicode = true;
        if (m->encoding_id == TT_MS_ID_SYMBOL_CS) {
            hasSymbol = true;
            symbolMap = m;
        }
    }
    data->symbolFont = !hasUnicode && hasSymbol;
    if (data->symbolFont)
        FT_Set_Charmap(face, symbolMap);
    else
        FT_Select_Charmap(face, FT_ENCODING_UNICODE);

    data->glyphForUnit.assign(0x10000, 0);
    FT_UInt glyph = 0;
    for (FT_ULong code = FT_Get_First_Char(face, &glyph); glyph != 0; code = FT_Get_Next_Char(face, code, &glyph)) {
        if (code < 0x10000)
            data->glyphForUnit[code] = static_cast<uint16_t>(glyph);
        else
            data->lazy->supplementary.emplace(static_cast<uint32_t>(code), static_cast<uint16_t>(glyph));
    }

    long glyphs = face->num_glyphs > 0 ? face->num_glyphs : 0;
    std::vector<FT_Fixed> advances(static_cast<size_t>(glyphs));
    if (glyphs > 0 && FT_Get_Advances(face, 0, static_cast<FT_UInt>(glyphs), FT_LOAD_NO_SCALE, advances.data()) != 0)
        advances.assign(advances.size(), 0);
    data->advances.reserve(advances.size());
    for (FT_Fixed a : advances) data->advances.push_back(static_cast<uint16_t>(a));

    data->familyName = windowsFamilyName(face);
    data->fullName = windowsFullName(face, data->familyName);
    return data;
}

std::shared_ptr<const FaceData> loadFaceLocked(Catalog& c, const std::string& path, int faceIndex) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return nullptr;
    FileKey key{path, faceIndex, static_cast<int64_t>(st.st_size), static_cast<int64_t>(st.st_mtime)};
    auto it = c.faces.find(key);
    if (it != c.faces.end()) return it->second;
    auto face = buildFace(c, path, faceIndex);
    if (face) c.faces.emplace(std::move(key), face);
    return face;
}

}  // namespace

FaceData::~FaceData() {
    if (lazy && lazy->face) FT_Done_Face(lazy->face);
    if (file) ::munmap(const_cast<uint8_t*>(file), fileSize);
}

uint16_t FaceData::glyphFor(uint32_t unit) const {
    auto direct = [this](uint32_t u) -> uint16_t {
        if (u < glyphForUnit.size()) return glyphForUnit[u];
        auto it = lazy->supplementary.find(u);
        return it == lazy->supplementary.end() ? 0 : it->second;
    };
    uint16_t g = direct(unit);
    if (g != 0) return g;
    // Symbol fonts keep their characters at U+F020-U+F0FF; text may reach
    // them with or without that offset.
    if (unit >= 0xF000 && unit <= 0xF0FF) return direct(unit - 0xF000);
    if (unit < 0x100) return direct(unit + 0xF000);
    return 0;
}

void FaceData::inkExtent(uint16_t glyph, int* lsb, int* width) const {
    std::lock_guard lock(lazy->mutex);
    auto it = lazy->ink.find(glyph);
    if (it == lazy->ink.end()) {
        int l = 0, w = 0;
        if (lazy->face && FT_Load_Glyph(lazy->face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING) == 0) {
            l = static_cast<int>(lazy->face->glyph->metrics.horiBearingX);
            w = static_cast<int>(lazy->face->glyph->metrics.width);
        }
        it = lazy->ink.emplace(glyph, std::make_pair(l, w)).first;
    }
    *lsb = it->second.first;
    *width = it->second.second;
}

std::shared_ptr<const FaceData> matchFace(const char* faceName, bool bold, bool italic) {
    Catalog& c = catalog();
    std::lock_guard lock(c.mutex);
    KD_LOCK_HELD(true);
    if (!ensureLibraries(c)) return nullptr;
    refreshFontDirs(c);
    std::string key = std::string(faceName ? faceName : "") + (bold ? "\x01" "B" : "\x01") + (italic ? "I" : "");
    auto it = c.matches.find(key);
    if (it == c.matches.end()) {
        std::string path;
        int index = 0;
        if (!fontconfigMatch(c, faceName, bold, italic, &path, &index)) return nullptr;
        it = c.matches.emplace(key, std::make_pair(path, index)).first;
    }
    return loadFaceLocked(c, it->second.first, it->second.second);
}

std::shared_ptr<const FaceData> loadFace(const std::string& path, int faceIndex) {
    Catalog& c = catalog();
    std::lock_guard lock(c.mutex);
    if (!ensureLibraries(c)) return nullptr;
    return loadFaceLocked(c, path, faceIndex);
}

}  // namespace kd::platform::posix

#include "frame/platform/posix/face_catalog.h"

#include <fcntl.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <shared_mutex>
#include <utility>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include FT_SFNT_NAMES_H
#include FT_ADVANCES_H
#include FT_TRUETYPE_IDS_H

#include "frame/platform/lock_probe.h"

namespace kd::platform::posix {

// The FreeType side of a face. Each face has a FreeType library of its own,
// so that faces share no FreeType state and can be dropped on any thread.
struct FaceData::Lazy {
    std::mutex mutex;  // the FreeType face serves one thread at a time
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    // Per glyph: left side bearing (high half) and ink width (low half),
    // kUnknownInk until FreeType has been asked.
    std::unique_ptr<std::atomic<uint64_t>[]> ink;
    size_t glyphCount = 0;
};

namespace {

constexpr uint64_t kUnknownInk = ~uint64_t{0};
constexpr int64_t kMillisecond = 1000000;  // in steady-clock nanoseconds
// Font files are read whole; TrueType offsets cannot reach past this.
constexpr int64_t kMaxFontFile = int64_t{0x7FFFFFFF};

// A read of the monotonic clock: no system call (the C library answers it
// in user space).
int64_t steadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// What tells that a file or folder changed: size and modification time.
struct FileStamp {
    int64_t size = -1;
    int64_t seconds = 0;
    int64_t nanoseconds = 0;
    bool operator!=(const FileStamp& o) const {
        return size != o.size || seconds != o.seconds || nanoseconds != o.nanoseconds;
    }
};

FileStamp stampOf(const struct stat& st) {
    return {static_cast<int64_t>(st.st_size), static_cast<int64_t>(st.st_mtim.tv_sec),
            static_cast<int64_t>(st.st_mtim.tv_nsec)};
}

FileStamp stampOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? stampOf(st) : FileStamp{};
}

// The whole file, or null when it cannot be read. A file cut short while
// it is read gives what was there.
std::shared_ptr<const std::vector<uint8_t>> readWholeFile(const std::string& path, FileStamp* stamp) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_size <= 0 || st.st_size > kMaxFontFile) {
        ::close(fd);
        return nullptr;
    }
    *stamp = stampOf(st);
    auto bytes = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(st.st_size));
    size_t got = 0;
    while (got < bytes->size()) {
        ssize_t n = ::read(fd, bytes->data() + got, bytes->size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    if (got == 0) return nullptr;
    bytes->resize(got);
    return bytes;
}

uint32_t readU32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

bool fontconfigMatch(FcConfig* config, const char* faceName, bool bold, bool italic, std::string* path,
                     int* index) {
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return false;
    if (faceName && *faceName)
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(faceName));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
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

std::shared_ptr<const FaceData> buildFace(const std::string& path, int faceIndex,
                                          std::shared_ptr<const std::vector<uint8_t>> bytes) {
    auto data = std::make_shared<FaceData>();
    data->lazy = std::make_unique<FaceData::Lazy>();
    data->path = path;
    data->faceIndex = faceIndex;
    data->file = bytes->data();
    data->fileSize = bytes->size();
    data->bytes = std::move(bytes);

    FaceData::Lazy& lazy = *data->lazy;
    if (FT_Init_FreeType(&lazy.library) != 0) {
        lazy.library = nullptr;
        return nullptr;
    }
    FT_Face face = nullptr;
    if (FT_New_Memory_Face(lazy.library, data->file, static_cast<FT_Long>(data->fileSize), faceIndex, &face) != 0)
        return nullptr;  // the destructor ends the library
    lazy.face = face;

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
            data->supplementary.emplace(static_cast<uint32_t>(code), static_cast<uint16_t>(glyph));
    }

    long glyphs = face->num_glyphs > 0 ? face->num_glyphs : 0;
    std::vector<FT_Fixed> advances(static_cast<size_t>(glyphs));
    if (glyphs > 0 && FT_Get_Advances(face, 0, static_cast<FT_UInt>(glyphs), FT_LOAD_NO_SCALE, advances.data()) != 0)
        advances.assign(advances.size(), 0);
    data->advances.reserve(advances.size());
    for (FT_Fixed a : advances) data->advances.push_back(static_cast<uint16_t>(a));
    lazy.glyphCount = advances.size();
    lazy.ink.reset(new std::atomic<uint64_t>[lazy.glyphCount]);
    for (size_t g = 0; g < lazy.glyphCount; ++g) lazy.ink[g].store(kUnknownInk, std::memory_order_relaxed);

    data->familyName = windowsFamilyName(face);
    data->fullName = windowsFullName(face, data->familyName);
    return data;
}


// A face name (as LOGFONT holds it, at most 31 characters) and style.
struct NameKey {
    char name[32] = {};
    uint8_t style = 0;  // 1 bold, 2 italic

    NameKey(const char* faceName, bool bold, bool italic) : style(static_cast<uint8_t>((bold ? 1 : 0) | (italic ? 2 : 0))) {
        if (faceName) std::memcpy(name, faceName, strnlen(faceName, sizeof name - 1));
    }
    bool operator==(const NameKey& o) const { return style == o.style && std::memcmp(name, o.name, sizeof name) == 0; }
};

struct NameKeyHash {
    size_t operator()(const NameKey& k) const {
        uint64_t h = 14695981039346656037ull;  // FNV-1a
        for (size_t i = 0; i < sizeof k.name && k.name[i]; ++i) h = (h ^ static_cast<uint8_t>(k.name[i])) * 1099511628211ull;
        return static_cast<size_t>((h ^ k.style) * 1099511628211ull);
    }
};

struct NameEntry {
    NameEntry(std::shared_ptr<const FaceData> f, int64_t now) : face(std::move(f)), lastUse(now) {}
    std::shared_ptr<const FaceData> face;
    std::atomic<int64_t> lastUse;  // steady clock
};

using NameMap = std::unordered_map<NameKey, NameEntry, NameKeyHash>;

class Catalogue {
public:
    std::shared_ptr<const FaceData> match(const char* faceName, bool bold, bool italic);
    std::shared_ptr<const FaceData> load(const std::string& path, int faceIndex);

    void setCheckInterval(std::chrono::milliseconds interval) {
        checkInterval_.store(std::chrono::duration_cast<std::chrono::nanoseconds>(interval).count());
        nextCheck_.store(0);
    }
    size_t nameCount() {
        std::shared_lock lock(namesMutex_);
        return names_.size();
    }

private:
    std::shared_ptr<const FaceData> findName(const NameKey& key, int64_t now);
    std::shared_ptr<const FaceData> matchFirstTime(const NameKey& key, int64_t now);
    void checkForChanges(int64_t now);
    // Loader side: the caller holds loaderMutex_.
    bool ensureConfig();
    bool addFontDirs();
    std::shared_ptr<const FaceData> loadLocked(const std::string& path, int faceIndex);
    std::shared_ptr<const std::vector<uint8_t>> fileBytes(const std::string& path, FileStamp* stamp);
    // Name side: take the exclusive lock for the change alone; what is
    // dropped is destroyed after it.
    void forgetNames(const std::vector<const FaceData*>& faces);  // all names when empty

    // The name cache, read by every selection under the shared lock.
    std::shared_mutex namesMutex_;
    NameMap names_;
    std::atomic<int64_t> nextCheck_{0};
    std::atomic<int64_t> checkInterval_{5000 * kMillisecond};

    // The loader: fontconfig, font files and FreeType, one thread at a time
    // and never while the name cache is locked.
    std::mutex loaderMutex_;
    FcConfig* config_ = nullptr;
    bool fontDirsRead_ = false;
    std::string fontDirs_;                      // KDLIB_FONT_DIRS as last read
    std::map<std::string, FileStamp> appDirs_;  // its folders, as added
    struct LoadedFace {
        std::weak_ptr<const FaceData> face;
        FileStamp stamp;
    };
    std::map<std::pair<std::string, int>, LoadedFace> faces_;
    struct LoadedFile {
        std::weak_ptr<const std::vector<uint8_t>> bytes;
        FileStamp stamp;
    };
    std::map<std::string, LoadedFile> files_;  // shared by a collection's members
};

std::shared_ptr<const FaceData> Catalogue::match(const char* faceName, bool bold, bool italic) {
    const int64_t now = steadyNanoseconds();
    if (now >= nextCheck_.load(std::memory_order_relaxed)) checkForChanges(now);
    const NameKey key(faceName, bold, italic);
    if (auto face = findName(key, now)) return face;
    return matchFirstTime(key, now);
}

std::shared_ptr<const FaceData> Catalogue::findName(const NameKey& key, int64_t now) {
    std::shared_lock lock(namesMutex_);
    KD_LOCK_HELD(false);
    auto it = names_.find(key);
    if (it == names_.end()) return nullptr;
    // Recency to the millisecond, so that threads on one name do not write
    // its entry on every call.
    std::atomic<int64_t>& last = it->second.lastUse;
    if (now - last.load(std::memory_order_relaxed) > kMillisecond) last.store(now, std::memory_order_relaxed);
    return it->second.face;
}

std::shared_ptr<const FaceData> Catalogue::matchFirstTime(const NameKey& key, int64_t now) {
    std::lock_guard loader(loaderMutex_);
    if (auto face = findName(key, now)) return face;  // matched meanwhile by another thread
    if (!ensureConfig()) return nullptr;
    std::string path;
    int index = 0;
    if (!fontconfigMatch(config_, key.name, key.style & 1, key.style & 2, &path, &index)) return nullptr;
    std::shared_ptr<const FaceData> face = loadLocked(path, index);
    if (!face) return nullptr;
    std::shared_ptr<const FaceData> evicted;
    {
        std::unique_lock lock(namesMutex_);
        KD_LOCK_HELD(true);
        if (names_.size() >= kFaceNameCapacity) {
            auto oldest = names_.begin();
            for (auto it = names_.begin(); it != names_.end(); ++it)
                if (it->second.lastUse.load(std::memory_order_relaxed) < oldest->second.lastUse.load(std::memory_order_relaxed))
                    oldest = it;
            evicted = std::move(oldest->second.face);
            names_.erase(oldest);
        }
        names_.try_emplace(key, face, now);
    }
    return face;
}

// Once per interval, on the first call after it: folders and font files
// that changed make the names matched before them be forgotten. A busy
// loader postpones the look to the next interval; no caller waits for it.
void Catalogue::checkForChanges(int64_t now) {
    int64_t due = nextCheck_.load(std::memory_order_relaxed);
    if (now < due || !nextCheck_.compare_exchange_strong(due, now + checkInterval_.load(std::memory_order_relaxed)))
        return;
    std::unique_lock loader(loaderMutex_, std::try_to_lock);
    if (!loader.owns_lock() || !config_) return;
    const char* env = std::getenv("KDLIB_FONT_DIRS");
    bool stale = fontDirs_ != (env ? env : "") || !FcConfigUptoDate(config_);
    for (const auto& [dir, stamp] : appDirs_) stale = stale || stampOf(dir) != stamp;
    if (stale) {
        // Made again, with the folders as they are now, by the next match.
        FcConfigDestroy(config_);
        config_ = nullptr;
        forgetNames({});
        return;
    }
    std::vector<const FaceData*> changed;
    for (auto it = faces_.begin(); it != faces_.end();) {
        std::shared_ptr<const FaceData> face = it->second.face.lock();
        const bool fileChanged = face && stampOf(it->first.first) != it->second.stamp;
        if (fileChanged) {
            changed.push_back(face.get());
            files_.erase(it->first.first);
        }
        it = !face || fileChanged ? faces_.erase(it) : std::next(it);
    }
    if (!changed.empty()) forgetNames(changed);
}

void Catalogue::forgetNames(const std::vector<const FaceData*>& faces) {
    NameMap all;
    std::vector<std::shared_ptr<const FaceData>> dropped;
    std::unique_lock lock(namesMutex_);
    KD_LOCK_HELD(true);
    if (faces.empty()) {
        all.swap(names_);
        return;
    }
    for (auto it = names_.begin(); it != names_.end();) {
        if (std::find(faces.begin(), faces.end(), it->second.face.get()) == faces.end()) {
            ++it;
            continue;
        }
        dropped.push_back(std::move(it->second.face));
        it = names_.erase(it);
    }
}

bool Catalogue::ensureConfig() {
    if (!config_) {
        config_ = FcInitLoadConfigAndFonts();
        fontDirsRead_ = false;
        appDirs_.clear();
    }
    if (!config_) return false;
    if (addFontDirs()) forgetNames({});  // names matched without the new folders
    return true;
}

// Adds the folders of KDLIB_FONT_DIRS (colon-separated) not added yet;
// true when the variable changed since the last look.
bool Catalogue::addFontDirs() {
    const char* env = std::getenv("KDLIB_FONT_DIRS");
    std::string dirs = env ? env : "";
    if (fontDirsRead_ && dirs == fontDirs_) return false;
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        if (!dir.empty() && appDirs_.count(dir) == 0) {
            appDirs_[dir] = stampOf(dir);
            FcConfigAppFontAddDir(config_, reinterpret_cast<const FcChar8*>(dir.c_str()));
        }
        start = end + 1;
    }
    fontDirs_ = dirs;
    fontDirsRead_ = true;
    return true;
}

std::shared_ptr<const std::vector<uint8_t>> Catalogue::fileBytes(const std::string& path, FileStamp* stamp) {
    auto it = files_.find(path);
    if (it != files_.end()) {
        if (auto bytes = it->second.bytes.lock()) {
            *stamp = it->second.stamp;
            return bytes;
        }
    }
    auto bytes = readWholeFile(path, stamp);
    if (bytes) files_[path] = LoadedFile{bytes, *stamp};
    return bytes;
}

std::shared_ptr<const FaceData> Catalogue::loadLocked(const std::string& path, int faceIndex) {
    const auto key = std::make_pair(path, faceIndex);
    auto it = faces_.find(key);
    if (it != faces_.end()) {
        if (auto face = it->second.face.lock()) return face;
    }
    // Entries of faces and files no longer in use go, so that the maps stay
    // as small as the faces alive.
    for (auto f = faces_.begin(); f != faces_.end();) f = f->second.face.expired() ? faces_.erase(f) : std::next(f);
    for (auto f = files_.begin(); f != files_.end();) f = f->second.bytes.expired() ? files_.erase(f) : std::next(f);
    FileStamp stamp;
    auto bytes = fileBytes(path, &stamp);
    if (!bytes) return nullptr;
    auto face = buildFace(path, faceIndex, std::move(bytes));
    if (face) faces_[key] = LoadedFace{face, stamp};
    return face;
}

std::shared_ptr<const FaceData> Catalogue::load(const std::string& path, int faceIndex) {
    std::lock_guard loader(loaderMutex_);
    return loadLocked(path, faceIndex);
}

// Never destroyed: faces may be in use by other threads at exit.
Catalogue& catalogue() {
    static Catalogue* c = new Catalogue;
    return *c;
}

}  // namespace

FaceData::~FaceData() {
    if (!lazy) return;
    if (lazy->face) FT_Done_Face(lazy->face);
    if (lazy->library) FT_Done_FreeType(lazy->library);
}

uint16_t FaceData::glyphFor(uint32_t unit) const {
    auto direct = [this](uint32_t u) -> uint16_t {
        if (u < glyphForUnit.size()) return glyphForUnit[u];
        auto it = supplementary.find(u);
        return it == supplementary.end() ? 0 : it->second;
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
    *lsb = *width = 0;
    if (glyph >= lazy->glyphCount) return;  // FreeType knows no such glyph
    std::atomic<uint64_t>& slot = lazy->ink[glyph];
    uint64_t packed = slot.load(std::memory_order_relaxed);
    if (packed == kUnknownInk) {
        int l = 0, w = 0;
        {
            std::lock_guard lock(lazy->mutex);
            if (lazy->face && FT_Load_Glyph(lazy->face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING) == 0) {
                l = static_cast<int>(lazy->face->glyph->metrics.horiBearingX);
                w = static_cast<int>(std::max<FT_Pos>(0, lazy->face->glyph->metrics.width));
            }
        }
        packed = (uint64_t{static_cast<uint32_t>(l)} << 32) | static_cast<uint32_t>(w);
        slot.store(packed, std::memory_order_relaxed);
    }
    *lsb = static_cast<int32_t>(static_cast<uint32_t>(packed >> 32));
    *width = static_cast<int32_t>(static_cast<uint32_t>(packed));
}

std::shared_ptr<const FaceData> matchFace(const char* faceName, bool bold, bool italic) {
    return catalogue().match(faceName, bold, italic);
}

std::shared_ptr<const FaceData> loadFace(const std::string& path, int faceIndex) {
    return catalogue().load(path, faceIndex);
}

void setFontCheckInterval(std::chrono::milliseconds interval) { catalogue().setCheckInterval(interval); }

size_t cachedFaceNames() { return catalogue().nameCount(); }

}  // namespace kd::platform::posix

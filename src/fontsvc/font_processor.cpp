#include "fontsvc/font_processor.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "frame/code_pages.h"
#include "frame/display_context.h"
#include "frame/log_folder.h"
#include "truetype/truetype_font.h"

namespace kd {

FontKeyParts splitFontKey(const std::string& key) {
    FontKeyParts parts;
    if (key.size() < 8) {
        parts.faceName = key.substr(0, 31);
        return parts;
    }
    size_t n = key.size();
    parts.bold = key[n - 8] == 'B';
    parts.italic = key[n - 7] == 'I';
    parts.faceName = key.substr(0, std::min<size_t>(n - 8, 31));
    return parts;
}

FontProcessor::FontProcessor() : fonts_(8) { fonts_.max_load_factor(1.0f); }

int32_t FontProcessor::addText(const char* text, int32_t codePage, const std::string& key) {
    auto it = fonts_.find(key);
    if (it == fonts_.end()) {
        FontEntry entry;
        entry.number = count() + 1;
        entry.codePage = codePage;
        it = fonts_.emplace(key, std::move(entry)).first;
    }
    size_t length = text ? std::strlen(text) : 0;
    if (length > 0 && length <= 0x7FFFFFFF) {
        std::u16string units = toUtf16(static_cast<unsigned>(codePage), text, static_cast<int>(length));
        for (char16_t u : units) it->second.characters.insert(u);
    }
    return it->second.number;
}

bool FontProcessor::writeFontFile(const std::string& key, const FontEntry& entry, const char* folder) const {
    char path[512];
    int written = std::snprintf(path, sizeof path, "%sfont%d.ttf", folder ? folder : "", entry.number);
    if (written < 0 || static_cast<size_t>(written) >= sizeof path) return false;  // a cut name would be another file

    DisplayContext dc;
    if (!dc) return false;
    FontKeyParts parts = splitFontKey(key);
    platform::LogFont logFont;
    buildLogFont(dc.get(), logFont, parts.faceName.c_str(), 10, parts.italic ? 1 : 0, parts.bold ? 1 : 0,
                 static_cast<uint16_t>(entry.codePage));
    SelectedFont gdiFont(dc.get(), logFont);
    if (!gdiFont) return false;

    std::string logName = formatLogFileName("", parts.faceName.c_str(), parts.bold, parts.italic, entry.codePage);
    TrueTypeFont font(parts.faceName.c_str(), logName);
    font.useDeviceContext(dc.get());
    font.setCodeMapMode(true);
    font.setGlyphIdMode(false);
    // No file for a font whose subset would have no glyphs.
    if (font.readTables() != 0 || !font.hasTrueTypeOutlines()) return false;
    std::set<uint32_t> characters = entry.characters;
    return font.writeSubsetForCharacters(characters, path) > 0;
}

int32_t FontProcessor::writeFontFiles(const char* folder) const {
    for (const auto& [key, entry] : fonts_) writeFontFile(key, entry, folder);
    return count();
}

}  // namespace kd

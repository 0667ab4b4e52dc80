// Collects, over many calls, the characters a document shows in each font
// and writes one subset TrueType file per font ("<folder>font<N>.ttf").
// A font is named by a key: the face name followed by exactly 8 style
// characters, 'B' 8th from the end for bold, 'I' 7th from the end for
// italic. Fonts are numbered from 1 in the order their keys are first met.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <unordered_map>

namespace kd {

struct FontKeyParts {
    std::string faceName;  // at most 31 characters
    bool bold = false;
    bool italic = false;
};

// Splits a key. A key shorter than 8 characters is all face name, regular.
FontKeyParts splitFontKey(const std::string& key);

class FontProcessor {
public:
    struct FontEntry {
        std::set<uint32_t> characters;  // UTF-16 code units
        int32_t number = 0;
        int32_t codePage = 0;
    };

    FontProcessor();

    // Adds the characters of text (converted with codePage) to the key's
    // font, creating the font when the key is new; returns its number.
    int32_t addText(const char* text, int32_t codePage, const std::string& key);
    int32_t count() const { return static_cast<int32_t>(fonts_.size()); }
    // Writes every font's file into folder; a font whose file cannot be
    // written is skipped. Returns the number of fonts.
    int32_t writeFontFiles(const char* folder) const;
    // Writes one font's file; false when it could not be written.
    bool writeFontFile(const std::string& key, const FontEntry& entry, const char* folder) const;

    const std::unordered_map<std::string, FontEntry>& fonts() const { return fonts_; }

private:
    std::unordered_map<std::string, FontEntry> fonts_;
};

}  // namespace kd

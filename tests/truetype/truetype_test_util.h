// Shared pieces of the TrueType engine tests: fonts built by fontTools
// (once per process), fonts opened from files, fontTools' view of a font,
// and the subset checker.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "truetype/tags.h"
#include "truetype/truetype_font.h"

namespace kdtest {

// A font of ttf_make.py's KIND, built on first use.
inline std::string builtFont(const std::string& kind) {
    static TempDir dir;
    static std::map<std::string, std::string> built;
    auto it = built.find(kind);
    if (it != built.end()) return it->second;
    std::string path = dir.file(kind + (kind == "collection" ? ".ttc" : ".ttf"));
    std::string out;
    if (runPython("ttf_make.py", {kind, path}, &out) != 0) ADD_FAILURE() << "ttf_make.py " << kind << ": " << out;
    built[kind] = path;
    return path;
}

// A TrueTypeFont reading a file it keeps open for its lifetime.
struct FileFont {
    FILE* file = nullptr;
    std::unique_ptr<kd::TrueTypeFont> font;
    int32_t readResult = -2;

    FileFont(const std::string& path, const char* faceName = "Test") {
        file = std::fopen(path.c_str(), "rb");
        font = std::make_unique<kd::TrueTypeFont>(faceName, "unused.log");
        if (file) font->useFontFile(file);
        readResult = font->readTables();
    }
    ~FileFont() {
        font.reset();
        if (file) std::fclose(file);
    }
    kd::TrueTypeFont* operator->() { return font.get(); }
};

// fontTools' facts about a font (see ttf_info.py): key -> lines of numbers.
struct FontInfo {
    std::vector<std::vector<std::string>> lines;
    std::vector<std::vector<std::string>> all(const std::string& key) const {
        std::vector<std::vector<std::string>> r;
        for (const auto& l : lines)
            if (!l.empty() && l[0] == key) r.push_back(l);
        return r;
    }
    std::vector<std::string> one(const std::string& key) const {
        auto r = all(key);
        return r.empty() ? std::vector<std::string>{} : r.front();
    }
};

inline FontInfo fontInfo(const std::string& path, int index = -1) {
    std::string out;
    std::vector<std::string> args{path};
    if (index >= 0) args.push_back(std::to_string(index));
    EXPECT_EQ(runPython("ttf_info.py", args, &out), 0) << out;
    FontInfo info;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::vector<std::string> w;
        std::string word;
        while (words >> word) w.push_back(word);
        info.lines.push_back(w);
    }
    return info;
}

inline long num(const std::string& s) { return std::stol(s); }

// Runs ttf_check_subset.py; returns its output ("OK\n" when it passes).
inline std::string checkSubset(const std::string& source, const std::string& subset,
                               const std::vector<std::string>& options) {
    std::string command = "/usr/bin/python3 " + quote(std::string(KDLIB_TEST_TOOLS) + "/ttf_check_subset.py") + " " +
                          quote(source) + " " + quote(subset);
    for (const auto& o : options) command += " " + quote(o);
    std::string out;
    run(command + " 2>&1", &out);
    return out;
}

template <class T>
std::string joined(const T& values) {
    std::string s;
    for (auto v : values) s += (s.empty() ? "" : ",") + std::to_string(v);
    return s;
}

inline uint32_t be32(const std::vector<uint8_t>& b, size_t at) {
    return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) | b[at + 3];
}
inline uint16_t be16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>((b[at] << 8) | b[at + 1]);
}

}  // namespace kdtest

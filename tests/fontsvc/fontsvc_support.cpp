#include "fontsvc/fontsvc_support.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <sstream>

#include "frame/code_pages.h"
#include "frame/handle_registry.h"
#include "text/code_maps.h"
#include "text/wrap_font_facts.h"

namespace fonttest {

const std::string& testFontDir() {
    static kdtest::TempDir* dir = [] {
        auto* d = new kdtest::TempDir;
        int status = kdtest::runPython("fontsvc_make_fonts.py", {kdtest::dejaVuPath(), d->path()});
        EXPECT_EQ(status, 0) << "building the test fonts failed";
        kdtest::setEnv("KDLIB_FONT_DIRS", d->path());
        return d;
    }();
    return dir->path();
}

int32_t newCharCodeMap() { return kd::HandleRegistry::instance().add(std::make_unique<kd::CharCodeMap>()); }
int32_t newGlyphCodeMap() { return kd::HandleRegistry::instance().add(std::make_unique<kd::GlyphCodeMap>()); }

void releaseMaps(int32_t charMap, int32_t glyphMap) {
    kd::HandleRegistry::instance().release<kd::CharCodeMap>(charMap);
    kd::HandleRegistry::instance().release<kd::GlyphCodeMap>(glyphMap);
}

void encodeOneByte(int32_t charMap, const std::string& text, int codePage, int32_t& nextCode) {
    auto* map = kd::HandleRegistry::instance().find<kd::CharCodeMap>(charMap);
    ASSERT_NE(map, nullptr);
    for (char16_t u : kd::toUtf16(static_cast<unsigned>(codePage), text.data(), static_cast<int>(text.size())))
        if (map->insertIfAbsent(u, static_cast<uint16_t>(nextCode))) ++nextCode;
}

std::map<std::string, std::string> checkProgram(const std::string& program, const std::string& source,
                                                const std::string& utf8Text) {
    std::string out;
    int status = kdtest::runPython("fontsvc_subset_check.py", {program, source, wraptest::hexOf(utf8Text)}, &out);
    EXPECT_EQ(status, 0) << out;
    std::map<std::string, std::string> report;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        size_t sp = line.find(' ');
        std::string key = line.substr(0, sp), rest = sp == std::string::npos ? "" : line.substr(sp + 1);
        std::string& slot = report[key];
        slot += slot.empty() ? rest : "\n" + rest;
    }
    return report;
}

std::vector<int> numbers(const std::string& text) {
    std::vector<int> out;
    std::istringstream in(text);
    std::string word;
    while (in >> word) {
        size_t colon = word.find(':');
        if (colon != std::string::npos) {
            out.push_back(std::stoi(word.substr(0, colon)));
            out.push_back(std::stoi(word.substr(colon + 1)));
        } else {
            out.push_back(std::stoi(word));
        }
    }
    return out;
}

void expectNeededInked(std::map<std::string, std::string>& report, int except) {
    EXPECT_EQ(report.count("differs"), 0u) << report["differs"];
    std::vector<int> inked = numbers(report["inked"]);
    for (int g : numbers(report["needed"])) {
        if (g >= 0 && g != except) {  // -1: the source has no glyph either
            EXPECT_NE(std::find(inked.begin(), inked.end(), g), inked.end()) << "glyph " << g;
        }
    }
}

}  // namespace fonttest

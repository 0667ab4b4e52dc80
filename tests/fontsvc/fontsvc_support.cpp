#include "fontsvc/fontsvc_support.h"

#include <zlib.h>

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

StreamFile splitStream(const std::string& path) {
    std::string all = kdtest::readText(path);
    StreamFile s;
    size_t at = all.find("stream\r\n");
    if (at == std::string::npos) return s;
    s.header = all.substr(0, at + 8);
    s.data.assign(all.begin() + static_cast<long>(at + 8), all.end());
    return s;
}

std::vector<uint8_t> inflateAll(const std::vector<uint8_t>& data) {
    z_stream z{};
    std::vector<uint8_t> out;
    if (inflateInit(&z) != Z_OK) return out;
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    uint8_t buffer[16384];
    int rc;
    do {
        z.next_out = buffer;
        z.avail_out = sizeof buffer;
        rc = inflate(&z, Z_NO_FLUSH);
        out.insert(out.end(), buffer, buffer + (sizeof buffer - z.avail_out));
    } while (rc == Z_OK);
    EXPECT_EQ(rc, Z_STREAM_END);
    EXPECT_EQ(z.avail_in, 0u) << "bytes after the end of the zlib stream";
    inflateEnd(&z);
    return out;
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

}  // namespace fonttest

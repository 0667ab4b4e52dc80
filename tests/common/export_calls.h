// The exports a host calls while writing reports, in groups, each group
// giving back what it produced (return values, filled records, written
// files) so that runs can be compared. A group gives back nothing when a
// call it needs fails. Used by the stress test (every group on many threads
// agrees with its run on one) and by quiet_host (every export called while
// the standard streams are watched).
#pragma once

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "kdlib.h"

namespace kdtest {

// Where a caller's inputs are (the source tree) and where its own output
// files go (a folder name ending in '/').
struct CallFiles {
    std::string source, own;
    std::string sample(const char* name) const { return source + "/tools/kdpdf/sample/" + name; }
    std::string file(const char* name) const { return own + name; }
};

struct ExportCall {
    const char* name;
    std::function<std::string(const CallFiles&)> call;
};

namespace calls {

const char* const kFace = "DejaVu Sans";
const char* const kFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

template <class T>
std::string bytes(const T* p, size_t count) {
    return std::string(reinterpret_cast<const char*>(p), count * sizeof(T));
}

inline std::string contentOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Font requests through the display font: the results and records, or
// nothing when one fails.
inline std::string fontRequests(std::initializer_list<uint16_t> codes, int16_t bold = 0, const char* face = kFace) {
    std::string out;
    for (uint16_t code : codes) {
        std::vector<int32_t> record(1024, 0);
        const int32_t r = getFParam("", face, 11.5f, bold, 0, code, record.data(), nullptr, 1252, nullptr, 0, nullptr);
        if (r < 0) return {};
        out += std::to_string(r) + bytes(record.data(), record.size());
    }
    return out;
}

// More unknown names than the name cache keeps, all matched to the same
// fallback face: first-time matches and evictions meet warm selections.
inline std::string unknownFace() {
    static std::atomic<unsigned> next{0};
    return fontRequests({1}, 0, ("Stress Face " + std::to_string(next++ % 600)).c_str());
}

// Requests that read the font file, with a fresh glyph map.
inline std::string fromFontFile() {
    int32_t charMap = 0, glyphMap = 0;
    _kd_MUSInit(&charMap, &glyphMap, 1);
    std::string out;
    bool ok = true;
    for (uint16_t code : {1, 0, 7, 20, 21, 7 | 0x400, 20 | 0x400, 21 | 0x400}) {
        std::vector<int32_t> record(1024, 0);
        const int32_t r = getFParam("", kFace, 12, 0, 0, code, record.data(), nullptr, 1252, kFontFile, glyphMap, nullptr);
        ok = ok && r >= 0;
        if ((code & 0xFF) == 21) {  // the record starts with the map's handle, new each time
            ok = ok && record[0] == glyphMap;
            record[0] = 0;
        }
        out += std::to_string(r) + bytes(record.data(), record.size());
    }
    _kd_MUSRelease(charMap, glyphMap, 1);
    return ok ? out : std::string();
}

// Text re-encoded into fresh maps; in mode 0 then the font stream, the
// descriptor and the subset of the map (requests 8, 9, 10), in mode 1 the
// glyph numbers from the glyph map (request 21).
inline std::string reencode(const CallFiles& c, int32_t mode) {
    int32_t charMap = 0, glyphMap = 0, next = 0;
    _kd_MUSInit(&charMap, &glyphMap, mode);
    std::vector<int32_t> record(1024, 0);
    std::vector<uint16_t> widths(1024, 0);
    if (mode == 1) getFParam("", kFace, 12, 0, 0, 21, record.data(), nullptr, 1252, nullptr, glyphMap, nullptr);
    const std::string text = "Stress \xe9t\xe9 \x80 threads";
    char hex[4 * 64] = {};
    const int32_t n =
        _kd_MakeUnicodeString(text.data(), int32_t(text.size()), &charMap, &next, hex, 0, 1252, mode, &glyphMap);
    std::string out = std::to_string(n) + hex + std::to_string(_kd_ToUnicode(text.data(), 5, hex, 1252)) + hex;
    bool ok = n > 0;
    const std::string used = std::string(65, ' ') + "!!!", stream = c.file("stream"), subset = c.file("subset.ttf");
    if (mode == 0) {
        for (uint16_t code : {8, 9, 10, 10 | 0x200}) {
            const int32_t r = getFParam(stream.c_str(), kFace, 12, 1, 0, code, record.data(), used.c_str(), 1252,
                                        subset.c_str(), charMap, widths.data());
            ok = ok && r > 0;
            out += std::to_string(r) + bytes(record.data(), record.size()) + bytes(widths.data(), widths.size()) +
                   contentOf(stream) + contentOf(subset);
        }
    }
    _kd_MUSRelease(charMap, glyphMap, mode);
    return ok ? out : std::string();
}

inline std::string fontProcessor(const CallFiles& c) {
    const int32_t h = _zo_fontProcessor_Init();
    const int32_t added = _zo_fontProcessor_AddText(h, "Quiet", 1252, "DejaVu Sans--000000");
    const int32_t count = _zo_fontProcessor_GetCount(h);
    const int32_t written = _zo_fontProcessor_WriteFontFiles(h, c.own.c_str());
    _zo_fontProcessor_Destroy(h);
    return added == 1 && count == 1 && written == 1 ? "1" : "";
}

inline std::string convertImage(const CallFiles& c, const std::string& image, int32_t pdfVersion) {
    const std::string data = c.file("data"), mask = c.file("mask"), side = c.file("side");
    std::remove(mask.c_str());
    int16_t w = 0, h = 0;
    int32_t smask = 0, sideObj = 0, v[6] = {};
    const int32_t r = dobmp(image.c_str(), data.c_str(), 12, &w, &h, 0, 0, "", side.c_str(), &sideObj, mask.c_str(),
                            &smask, pdfVersion, "SMask", 1);
    const int32_t info = GetPicInfo(image.c_str(), &v[0], &v[1], &v[2], &v[3], &v[4], 1, &v[5]);
    if (r < 0) return {};
    return std::to_string(r) + "," + std::to_string(w) + "," + std::to_string(h) + "," + std::to_string(smask) +
           std::to_string(info) + bytes(v, 6) + "|" + contentOf(data) + "|" + contentOf(mask);
}

// Every picture of the fuzz corpus, refused kinds included.
inline std::string corpusPictures(const CallFiles& c) {
    std::vector<std::string> images;
    for (const auto& entry : std::filesystem::directory_iterator(c.source + "/fuzz/corpus/dobmp"))
        images.push_back(entry.path().string());
    std::sort(images.begin(), images.end());
    std::string out;
    for (const std::string& image : images) {
        int32_t v[8] = {}, side = 0, mask = 0;
        int16_t w = 0, h = 0;
        out += std::to_string(GetPicInfo(image.c_str(), v, v + 1, v + 2, v + 3, v + 4, 1, v + 5)) +
               std::to_string(GetPicInfoIsGrayscale(image.c_str(), v + 6, 1)) + bytes(v, 8) +
               std::to_string(dobmp(image.c_str(), c.file("cdata").c_str(), 10, &w, &h, 0, 0, "",
                                    c.file("cside").c_str(), &side, c.file("cmask").c_str(), &mask, 14, "SMask", 1)) +
               std::to_string(ExtractFromBMP(image.c_str(), c.file("extract").c_str()));
    }
    const uint8_t filters[] = {1, 4};
    const bool ok = bmp2wmf((c.source + "/fuzz/corpus/dobmp/rgb.bmp").c_str(), c.file("wmf").c_str()) != 0 &&
                    CreatePNGDataFromFile(kFontFile, c.file("png1").c_str(), filters, 2, 0, 8, 2, 4, 0, 0, 0) == 1 &&
                    CreatePNGAlphaDataFromFile(kFontFile, kFontFile, c.file("png2").c_str(), 0, 0, filters, 2, 0, 6,
                                               3, 2, 1, 4, 2, 0, 0) == 1;
    return ok ? out + contentOf(c.file("wmf")) + contentOf(c.file("png1")) + contentOf(c.file("png2")) : "";
}

inline std::string hashesAndEncryption(const CallFiles& c) {
    uint8_t digest[16], fileDigest[16], id[16] = {}, o[32], u[32], key[16], data[] = "stream content";
    MD5String("threads", 7, digest);
    computeKeys("owner", "user", -4, id, o, u, key, 0, 3, 16);
    encryptPDFContent(data, 14, 7, 0, key, 0, 3, 16);
    if (MD5File(kFontFile, fileDigest) != 1) return {};
    encryptFile(kFontFile, c.file("enc").c_str(), 5, 0, key, 0, 3, 16);
    return bytes(digest, 16) + bytes(fileDigest, 16) + bytes(o, 32) + bytes(u, 32) + bytes(data, 14) +
           contentOf(c.file("enc"));
}

inline std::string fileCodecs(const CallFiles& c) {
    const std::string bmp = c.sample("palette.bmp");
    int32_t length = 0;
    if (zipFile(bmp.c_str(), c.file("zip").c_str(), "FlateDecode", &length) != 1 ||
        HEXFile(bmp.c_str(), c.file("hex").c_str(), 16) != 1)
        return {};
    base64(bmp.c_str(), c.file("b64").c_str());
    esab64(c.file("b64").c_str(), c.file("back").c_str());
    unzipFile(c.file("zip").c_str(), c.file("unzipped").c_str());  // no zlib header: refused
    std::string out = std::to_string(length);
    for (const char* name : {"zip", "hex", "b64", "back"}) out += "|" + contentOf(c.file(name));
    return out;
}

inline std::string wrapAndTrim() {
    std::vector<int32_t> lines(3 + 3 * 80, 0);
    const char* text = "Many host threads render many reports at once, each with its own lines.";
    const char16_t wide[] = u"Quiet text";
    const char* wideText = reinterpret_cast<const char*>(wide);
    const int32_t n = ww(text, kFace, 10, 0, 0, 1500, lines.data(), 1, 1252, 0);
    std::string out = std::to_string(n) + bytes(lines.data(), lines.size());
    const int32_t m = wwW(wideText, kFace, 12, 0, 0, 500, lines.data(), 1, 1200, 0);
    if (n <= 0 || m <= 0) return {};
    return out + bytes(lines.data(), lines.size()) + std::to_string(_pvTrimA(text, kFace, 10, 0, 1, 2000, 0, 1252, 3, 0)) +
           std::to_string(_pvTrimW(wideText, kFace, 12, 0, 0, 300, 0, 1200, 5, 0));
}

inline std::string strings() {
    const uint16_t arabic[] = {0x0628, 0x0627, 0x0628};
    uint16_t shaped[8] = {}, back[16] = {};
    int32_t count = 8, backCount = 16;
    std::string out;
    for (auto toForms : {_arabic_toformsb_ltr, _arabic_toformsb_rtl}) {
        count = 8;
        toForms(arabic, 3, shaped, &count);
        out += bytes(shaped, 8);
    }
    for (auto fromForms : {_arabic_fromformsb_ltr, _arabic_fromformsb_rtl}) {
        backCount = 16;
        fromForms(shaped, count, back, &backCount);
        out += bytes(back, 16);
    }
    char line[64] = {}, escaped[64] = {}, picture[16] = {}, usedBytes[256] = {1};
    formatBIDIString("abc \xf9\xec\xe5\xed 12", 11, line, 1255);
    const int32_t n = mkPDFString("(q)\r", 4, "\\n", escaped, usedBytes);
    convertFormatString("999,999.99", 10, picture);
    return out + line + std::to_string(n) + escaped + picture + bytes(usedBytes, 256);
}

inline std::string stringBuilder() {
    const intptr_t h = _zoFSO_setup(64);
    _zoFSO_Assign(h, "q ", 2);
    _zoFSO_Append(h, "BT ", 3);
    const int32_t formatted = _zoFSO_FormatString4Float(h, "%.2f %.2f %g Td ", 12.5f, 700.25f, NAN, 0);
    _zoFSO_SetColor(h, "rg", 10, 128, 255);
    const int32_t box = _zoFSO_PDF_AddBox(h, 10, 20, 30, 40, 0.5f, 1, 200, 100, 50, 1, 0, 0, 0, 0);
    _zoFSO_AppendAsUnicode(h, "\xe9t\xe9", 3, 1252);
    std::string out(size_t(std::max(0, _zoFSO_GetLength(h))), '\0');
    _zoFSO_Substr(h, 1, int32_t(out.size()), &out[0]);
    out += std::to_string(_zoFSO_GetInt(h, 1)) + (_zoFSO_GetMemoryPointer(h) != 0 ? "" : "no address");
    _zoFSO_Deallocate(h);
    return formatted > 0 && box == 0 ? out : std::string();
}

}  // namespace calls

inline const std::vector<ExportCall>& exportCalls() {
    using namespace calls;
    static const std::vector<ExportCall> rows = {
        {"getFParam 0 1 2 7 20", [](const CallFiles&) { return fontRequests({0, 1, 2, 7, 20}); }},
        {"getFParam bold", [](const CallFiles&) { return fontRequests({1}, 1); }},
        {"getFParam unknown names", [](const CallFiles&) { return unknownFace(); }},
        {"getFParam from the font file", [](const CallFiles&) { return fromFontFile(); }},
        {"one-byte codes, requests 8 9 10", [](const CallFiles& c) { return reencode(c, 0); }},
        {"glyph map, two-byte codes", [](const CallFiles& c) { return reencode(c, 1); }},
        {"font processor", fontProcessor},
        {"dobmp RGBA PNG", [](const CallFiles& c) { return convertImage(c, c.sample("lantern.png"), 17); }},
        {"dobmp 16-bit PNG for 1.4", [](const CallFiles& c) { return convertImage(c, c.sample("deep16.png"), 14); }},
        {"dobmp BMP", [](const CallFiles& c) { return convertImage(c, c.sample("palette.bmp"), 17); }},
        {"corpus pictures, wmf, png data", corpusPictures},
        {"hashes and encryption", hashesAndEncryption},
        {"file codecs", fileCodecs},
        {"ww, wwW, trimming", [](const CallFiles&) { return wrapAndTrim(); }},
        {"shaping, bidi, PDF strings", [](const CallFiles&) { return strings(); }},
        {"string builder", [](const CallFiles&) { return stringBuilder(); }},
    };
    return rows;
}

}  // namespace kdtest

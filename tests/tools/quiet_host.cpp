// A host that calls every export, for check_quiet.sh, which runs it with
// its standard output and standard error in files that must stay empty. It
// prints nothing itself; its exit status is the number of the first checked
// call that failed, 0 when none did.
//
// usage: quiet_host WORK_FOLDER/ SOURCE_DIR
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "kdlib.h"

namespace {

int failed = 0, step = 0;
void expect(bool ok) {
    ++step;
    if (!ok && failed == 0) failed = step;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 100;
    const std::string work = argv[1], source = argv[2], font = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    auto at = [&](const char* name) { return work + name; };
    const char* face = "DejaVu Sans";
    expect(getVersion() == 190);
    SetLogFolder(work.c_str());
    for (int r = 1; r <= 5; ++r) getPar(r);

    // Every font request, through the display font and from the font file.
    int32_t charMap = 0, glyphMap = 0, next = 0, record[1024] = {};
    uint16_t widths[1024];
    char hex[64];
    _kd_MUSInit(&charMap, &glyphMap, 1);
    expect(_kd_MakeUnicodeString("Quiet", 5, &charMap, &next, hex, 0, 1252, 0, &glyphMap) == 5);
    for (uint16_t code : {1, 0, 7, 20, 21, 7 | 0x400, 20 | 0x400, 21 | 0x400})
        expect(getFParam("", face, 12, 0, 0, code, record, nullptr, 1252, font.c_str(), glyphMap, nullptr) >= 0);
    const std::string used = std::string(65, ' ') + "!!!";
    for (uint16_t code : {8, 9, 10, 10 | 0x200})
        expect(getFParam(at("stream").c_str(), face, 12, 1, 0, code, record, used.c_str(), 1252,
                         at("program").c_str(), charMap, widths) > 0);
    expect(_kd_MakeUnicodeString("Quiet", 5, &charMap, &next, hex, 0, 1252, 1, &glyphMap) == 10);
    expect(_kd_ToUnicode("Quiet", 5, hex, 1252) == 5);
    _kd_MUSRelease(charMap, glyphMap, 1);
    int32_t h = _zo_fontProcessor_Init();
    expect(_zo_fontProcessor_AddText(h, "Quiet", 1252, "DejaVu Sans--000000") == 1);
    expect(_zo_fontProcessor_GetCount(h) == 1);
    expect(_zo_fontProcessor_WriteFontFiles(h, work.c_str()) == 1);
    _zo_fontProcessor_Destroy(h);

    // Every picture of the fuzz corpus, refused kinds included.
    for (const auto& entry : std::filesystem::directory_iterator(source + "/fuzz/corpus/dobmp")) {
        const std::string image = entry.path().string();
        int32_t v[8] = {}, side = 0, mask = 0;
        int16_t w, hgt;
        GetPicInfo(image.c_str(), v, v + 1, v + 2, v + 3, v + 4, 1, v + 5);
        GetPicInfoIsGrayscale(image.c_str(), v, 1);
        dobmp(image.c_str(), at("data").c_str(), 10, &w, &hgt, 0, 0, "", at("side").c_str(), &side,
              at("mask").c_str(), &mask, 14, "SMask", 1);
        ExtractFromBMP(image.c_str(), at("extract").c_str());
    }
    expect(bmp2wmf((source + "/fuzz/corpus/dobmp/rgb.bmp").c_str(), at("wmf").c_str()) != 0);
    const uint8_t filters[] = {1, 4};
    expect(CreatePNGDataFromFile(font.c_str(), at("png1").c_str(), filters, 2, 0, 8, 2, 4, 0, 0, 0) == 1);
    expect(CreatePNGAlphaDataFromFile(font.c_str(), font.c_str(), at("png2").c_str(), 0, 0, filters, 2, 0, 6, 3, 2,
                                      1, 4, 2, 0, 0) == 1);

    // Hashes, encryption, codecs.
    uint8_t digest[16], id[16] = {}, o[32], u[32], key[16], text[] = "(quiet)";
    expect(MD5File(font.c_str(), digest) == 1);
    MD5String("quiet", 5, digest);
    computeKeys("owner", "user", -4, id, o, u, key, 0, 3, 16);
    encryptPDFContent(text, 7, 5, 0, key, 0, 3, 16);
    encryptFile(at("png1").c_str(), at("enc").c_str(), 5, 0, key, 0, 3, 16);
    base64(at("png1").c_str(), at("b64").c_str());  // their messages are for unreadable files and bad input
    esab64(at("b64").c_str(), at("back").c_str());
    expect(HEXFile(at("png1").c_str(), at("hex").c_str(), 16) == 1);
    int32_t length = 0;
    expect(zipFile(at("png1").c_str(), at("zipped").c_str(), "FlateDecode", &length) == 1);
    unzipFile(at("zipped").c_str(), at("unzipped").c_str());

    // Text and the string builder.
    const uint16_t arabic[] = {0x0628, 0x0627, 0x0628};
    uint16_t shaped[8], back[8];
    int32_t count = 8;
    _arabic_toformsb_ltr(arabic, 3, shaped, &count);
    _arabic_toformsb_rtl(arabic, 3, shaped, &count);
    for (auto fromForms : {_arabic_fromformsb_ltr, _arabic_fromformsb_rtl}) {
        count = 8;
        fromForms(shaped, 3, back, &count);
    }
    char line[64], usedBytes[256] = {1};
    formatBIDIString("\xf9\xec\xe5\xed 12", 7, line, 1255);
    mkPDFString("(q)", 3, "\\n", line, usedBytes);
    convertFormatString("999,999.99", 10, line);
    const char16_t wide[] = u"Quiet text";
    expect(ww("Quiet text", face, 12, 0, 0, 500, record, 1, 1252, 0) > 0);
    expect(wwW(reinterpret_cast<const char*>(wide), face, 12, 0, 0, 500, record, 1, 1200, 0) > 0);
    _pvTrimA("Quiet text", face, 12, 0, 0, 300, 0, 1252, 3, 0);
    _pvTrimW(reinterpret_cast<const char*>(wide), face, 12, 0, 0, 300, 0, 1200, 5, 0);
    intptr_t fso = _zoFSO_setup(64);
    _zoFSO_Append(fso, "BT ", 3);
    _zoFSO_AppendAsUnicode(fso, "Q", 1, 1252);
    _zoFSO_Assign(fso, "q ", 2);
    expect(_zoFSO_FormatString4Float(fso, "%.2f %g m ", 1.5f, NAN, 0, 0) > 0);
    _zoFSO_SetColor(fso, "S", 10, 20, 30);
    expect(_zoFSO_PDF_AddBox(fso, 1, 2, 3, 4, 1, 1, 0, 0, 0, 1, 0, 0, 0, 0) == 0);
    _zoFSO_GetInt(fso, 1);
    _zoFSO_GetMemoryPointer(fso);
    _zoFSO_Substr(fso, 1, 2, line);
    expect(_zoFSO_GetLength(fso) > 0);
    _zoFSO_Deallocate(fso);
    return failed;
}

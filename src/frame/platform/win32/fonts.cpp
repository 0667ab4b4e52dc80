// Fonts through GDI: created from the LOGFONT description, measured and
// read by the selected font of the display context.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <set>
#include <shared_mutex>
#include <string>
#include <vector>

#include "frame/platform/win32/objects.h"

namespace kd::platform {

namespace {

// Folders named by KDLIB_FONT_DIRS (separated by ';') add their fonts to
// the process, so that tests can select fonts they build, as the Linux
// backend does. Each folder is added once. Every font creation compares the
// variable with the text handled last under a shared lock; only a changed
// text takes the exclusive one.
void addExtraFontFolders() {
    static std::shared_mutex mutex;
    static std::string handled;
    static std::set<std::string> added;
    const char* value = std::getenv("KDLIB_FONT_DIRS");
    if (!value || !*value) return;
    {
        std::shared_lock<std::shared_mutex> lock(mutex);
        if (handled == value) return;
    }
    std::lock_guard<std::shared_mutex> lock(mutex);
    std::string list = value;
    handled = list;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(';', start);
        if (end == std::string::npos) end = list.size();
        std::string folder = list.substr(start, end - start);
        start = end + 1;
        if (folder.empty() || !added.insert(folder).second) continue;
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) continue;
        do {
            std::string name = found.cFileName;
            size_t dot = name.rfind('.');
            if (dot == std::string::npos) continue;
            std::string ext = name.substr(dot);
            for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
            if (ext == ".ttf" || ext == ".ttc" || ext == ".otf")
                AddFontResourceExA((folder + "\\" + name).c_str(), FR_PRIVATE, nullptr);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
}

}  // namespace

Font createFontIndirect(const LogFont& lf) {
    addExtraFontFolders();
    LOGFONTA native{};
    native.lfHeight = lf.lfHeight;
    native.lfWidth = lf.lfWidth;
    native.lfEscapement = lf.lfEscapement;
    native.lfOrientation = lf.lfOrientation;
    native.lfWeight = lf.lfWeight;
    native.lfItalic = lf.lfItalic;
    native.lfUnderline = lf.lfUnderline;
    native.lfStrikeOut = lf.lfStrikeOut;
    native.lfCharSet = lf.lfCharSet;
    native.lfOutPrecision = lf.lfOutPrecision;
    native.lfClipPrecision = lf.lfClipPrecision;
    native.lfQuality = lf.lfQuality;
    native.lfPitchAndFamily = lf.lfPitchAndFamily;
    static_assert(sizeof native.lfFaceName == sizeof lf.lfFaceName, "LOGFONTA face name field");
    std::memcpy(native.lfFaceName, lf.lfFaceName, sizeof native.lfFaceName);
    native.lfFaceName[sizeof native.lfFaceName - 1] = '\0';

    auto* font = new (std::nothrow) FontImpl;
    if (!font) return nullptr;
    font->font = CreateFontIndirectA(&native);
    if (!font->font) {
        delete font;
        return nullptr;
    }
    return font;
}

void deleteFont(Font font) {
    if (!font) return;
    DeleteObject(font->font);
    delete font;
}

bool getTextMetrics(DeviceContext dc, TextMetrics* metrics) {
    HDC hdc = measuringDC(dc);
    TEXTMETRICA tm;
    if (!hdc || !metrics || !GetTextMetricsA(hdc, &tm)) return false;
    metrics->tmHeight = tm.tmHeight;
    metrics->tmAscent = tm.tmAscent;
    metrics->tmDescent = tm.tmDescent;
    metrics->tmInternalLeading = tm.tmInternalLeading;
    metrics->tmExternalLeading = tm.tmExternalLeading;
    metrics->tmAveCharWidth = tm.tmAveCharWidth;
    metrics->tmMaxCharWidth = tm.tmMaxCharWidth;
    metrics->tmWeight = tm.tmWeight;
    metrics->tmFirstChar = static_cast<uint8_t>(tm.tmFirstChar);
    metrics->tmLastChar = static_cast<uint8_t>(tm.tmLastChar);
    metrics->tmItalic = tm.tmItalic;
    metrics->tmCharSet = tm.tmCharSet;
    return true;
}

bool getOutlineMetrics(DeviceContext dc, OutlineMetrics* metrics) {
    HDC hdc = measuringDC(dc);
    if (!hdc || !metrics) return false;
    UINT size = GetOutlineTextMetricsA(hdc, 0, nullptr);
    if (size < sizeof(OUTLINETEXTMETRICA)) return false;
    std::vector<char> area(size);
    auto* otm = reinterpret_cast<OUTLINETEXTMETRICA*>(area.data());
    if (!GetOutlineTextMetricsA(hdc, size, otm)) return false;
    metrics->otmfsType = otm->otmfsType;
    // otmpFaceName is an offset from the start of the record.
    size_t at = reinterpret_cast<uintptr_t>(otm->otmpFaceName);
    metrics->faceName.clear();
    if (at >= sizeof(OUTLINETEXTMETRICA) && at < size) metrics->faceName.assign(area.data() + at, strnlen(area.data() + at, size - at));
    return true;
}

bool getCharAbcWidths(DeviceContext dc, unsigned first, unsigned last, AbcWidth* widths) {
    HDC hdc = measuringDC(dc);
    if (!hdc || !widths || first > last || last > 255) return false;
    ABC abc[256];
    if (!GetCharABCWidthsA(hdc, first, last, abc)) return false;
    for (unsigned i = 0; i <= last - first; ++i) {
        widths[i].abcA = abc[i].abcA;
        widths[i].abcB = abc[i].abcB;
        widths[i].abcC = abc[i].abcC;
    }
    return true;
}

uint32_t getFontData(DeviceContext dc, uint32_t table, uint32_t offset, void* buffer, uint32_t size) {
    HDC hdc = measuringDC(dc);
    if (!hdc) return kFontDataError;
    DWORD n = GetFontData(hdc, table, offset, buffer, size);
    return n == GDI_ERROR ? kFontDataError : static_cast<uint32_t>(n);
}

bool getTextExtentA(DeviceContext dc, const char* text, int count, Size* size) {
    HDC hdc = measuringDC(dc);
    if (!hdc || !size || count < 0 || (count > 0 && !text)) return false;
    SIZE s{};
    if (!GetTextExtentPoint32A(hdc, count > 0 ? text : "", count, &s)) return false;
    size->cx = s.cx;
    size->cy = s.cy;
    return true;
}

bool getTextExtentW(DeviceContext dc, const char16_t* text, int count, Size* size) {
    HDC hdc = measuringDC(dc);
    if (!hdc || !size || count < 0 || (count > 0 && !text)) return false;
    static_assert(sizeof(char16_t) == sizeof(WCHAR), "UTF-16 units");
    SIZE s{};
    const WCHAR* units = count > 0 ? reinterpret_cast<const WCHAR*>(text) : L"";
    if (!GetTextExtentPoint32W(hdc, units, count, &s)) return false;
    size->cx = s.cx;
    size->cy = s.cy;
    return true;
}

}  // namespace kd::platform

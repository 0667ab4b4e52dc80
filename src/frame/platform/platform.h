// The operating-system services the library relies on: a display device
// context, fonts chosen from a LOGFONT-like description and measured on it,
// the font file's bytes, text extents, code-page conversion, host-readable
// memory and bitmap-to-metafile drawing. Only the backends under
// platform/posix and platform/win32 know how the system provides them; the
// rest of the library calls these functions and nothing of the system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kd::platform {

// Opaque objects owned by the caller that created them.
struct DeviceContextImpl;
struct FontImpl;
using DeviceContext = DeviceContextImpl*;
using Font = FontImpl*;

struct Point {
    int32_t x = 0;
    int32_t y = 0;
};

struct Size {
    int32_t cx = 0;
    int32_t cy = 0;
};

// The fields of the platform's LOGFONTA, in its order.
struct LogFont {
    int32_t lfHeight = 0;
    int32_t lfWidth = 0;
    int32_t lfEscapement = 0;
    int32_t lfOrientation = 0;
    int32_t lfWeight = 0;
    uint8_t lfItalic = 0;
    uint8_t lfUnderline = 0;
    uint8_t lfStrikeOut = 0;
    uint8_t lfCharSet = 0;
    uint8_t lfOutPrecision = 0;
    uint8_t lfClipPrecision = 0;
    uint8_t lfQuality = 0;
    uint8_t lfPitchAndFamily = 0;
    char lfFaceName[32] = {};
};

// The text metrics the library reads (GetTextMetricsA).
struct TextMetrics {
    int32_t tmHeight = 0;
    int32_t tmAscent = 0;
    int32_t tmDescent = 0;
    int32_t tmInternalLeading = 0;
    int32_t tmExternalLeading = 0;
    int32_t tmAveCharWidth = 0;
    int32_t tmMaxCharWidth = 0;
    int32_t tmWeight = 0;
    uint8_t tmFirstChar = 0;
    uint8_t tmLastChar = 0;
    uint8_t tmItalic = 0;
    uint8_t tmCharSet = 0;
};

// What the library takes from the outline text metrics
// (GetOutlineTextMetricsA): the embedding licence and the face name.
struct OutlineMetrics {
    uint32_t otmfsType = 0;
    std::string faceName;
};

struct AbcWidth {
    int32_t abcA = 0;
    uint32_t abcB = 0;
    int32_t abcC = 0;
};

// GetDeviceCaps indices.
enum DeviceCap : int {
    kHorzSize = 4,
    kVertSize = 6,
    kLogPixelsX = 88,
    kLogPixelsY = 90,
    kPhysicalWidth = 110,
    kPhysicalHeight = 111,
    kPhysicalOffsetX = 112,
    kPhysicalOffsetY = 113,
};

constexpr int kMapModeText = 1;
constexpr uint32_t kFontDataError = 0xFFFFFFFFu;  // GDI_ERROR
constexpr uint32_t kCollectionTable = 0x66637474u;  // "ttcf" as GetFontData takes it
constexpr uint32_t kPrecomposed = 1;                 // MB_PRECOMPOSED

// Display device context ("DISPLAY"); null when none can be made.
DeviceContext createDisplayDC();
void deleteDC(DeviceContext dc);
int setMapMode(DeviceContext dc, int mode);
int getDeviceCaps(DeviceContext dc, int index);
bool dpToLp(DeviceContext dc, Point* points, int count);

// Fonts: created from a description, selected into a context (the previous
// selection is returned so the caller can put it back), deleted by the
// caller once no context holds it.
Font createFontIndirect(const LogFont& logFont);
Font selectFont(DeviceContext dc, Font font);
void deleteFont(Font font);

// Measurements of the font selected in dc. All return false (or the error
// value) when no font is selected or the font cannot be read.
bool getTextMetrics(DeviceContext dc, TextMetrics* metrics);
bool getOutlineMetrics(DeviceContext dc, OutlineMetrics* metrics);
bool getCharAbcWidths(DeviceContext dc, unsigned first, unsigned last, AbcWidth* widths);
// Bytes of the selected font's file. table 0: the font itself (for a member
// of a collection, from its offset table on); kCollectionTable: the whole
// collection file, an error for a font outside a collection. With no buffer
// and size 0: the number of bytes available from offset 0. Returns the
// bytes copied or kFontDataError.
uint32_t getFontData(DeviceContext dc, uint32_t table, uint32_t offset, void* buffer, uint32_t size);
// Horizontal extent of 8-bit text (read in the code page of the font's
// character set) or of UTF-16 text.
bool getTextExtentA(DeviceContext dc, const char* text, int count, Size* size);
bool getTextExtentW(DeviceContext dc, const char16_t* text, int count, Size* size);

// MultiByteToWideChar: number of units written, 0 on failure (unknown code
// page, flags the code page refuses, output too small). With room 0 it
// returns the units needed.
int multiByteToWideChar(unsigned codePage, uint32_t flags, const char* text, int byteCount,
                        char16_t* output, int room);

// Memory whose address fits in 32 bits, so that a host holding only a
// 32-bit value can read it. Null on shortage.
void* allocateLow(size_t size);
void freeLow(void* memory, size_t size);

// Draws a bitmap file into a Windows metafile file at its own size.
// Nonzero on success; 0 when the bitmap cannot be loaded (the metafile is
// still written, without drawing).
int bitmapToMetafile(const char* bmpPath, const char* wmfPath);

}  // namespace kd::platform

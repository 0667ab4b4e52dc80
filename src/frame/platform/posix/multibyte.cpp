// MultiByteToWideChar on Linux: single-byte Windows code pages from the
// library's own tables, symbol and UTF-8 by rule, everything else through
// iconv.
#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "frame/codepage_tables.h"
#include "frame/platform/platform.h"

namespace kd::platform {

namespace {

constexpr char16_t kReplacement = 0xFFFD;
constexpr uint32_t kErrInvalidChars = 8;  // MB_ERR_INVALID_CHARS

unsigned resolveCodePage(unsigned codePage) {
    switch (codePage) {
    case 0:  // CP_ACP
    case 3:  // CP_THREAD_ACP
        return 1252;
    case 1:  // CP_OEMCP
        return 437;
    case 2:  // CP_MACCP
        return 10000;
    default:
        return codePage;
    }
}

// Bytes the published tables leave undefined but Windows maps: to its
// private-use characters, and 1255's 0xCA to the Hebrew holam haser.
struct WindowsExtra {
    unsigned codePage;
    unsigned char byte;
    char16_t unit;
};
constexpr WindowsExtra kWindowsExtras[] = {
    {874, 0xDB, 0xF8C1},  {874, 0xDC, 0xF8C2},  {874, 0xDD, 0xF8C3},  {874, 0xDE, 0xF8C4},
    {874, 0xFC, 0xF8C5},  {874, 0xFD, 0xF8C6},  {874, 0xFE, 0xF8C7},  {874, 0xFF, 0xF8C8},
    {1253, 0xAA, 0xF8F9}, {1253, 0xD2, 0xF8FA}, {1253, 0xFF, 0xF8FB},
    {1255, 0xCA, 0x05BA}, {1255, 0xD9, 0xF88D}, {1255, 0xDA, 0xF88E}, {1255, 0xDB, 0xF88F},
    {1255, 0xDC, 0xF890}, {1255, 0xDD, 0xF891}, {1255, 0xDE, 0xF892}, {1255, 0xDF, 0xF893},
    {1255, 0xFB, 0xF894}, {1255, 0xFC, 0xF895}, {1255, 0xFF, 0xF896},
    {1257, 0xA1, 0xF8FC}, {1257, 0xA5, 0xF8FD},
};

char16_t windowsExtra(unsigned codePage, unsigned char byte) {
    for (const auto& e : kWindowsExtras)
        if (e.codePage == codePage && e.byte == byte) return e.unit;
    return kUndefinedCode;
}

void decodeSingleByte(unsigned codePage, const char16_t* table, const unsigned char* in, int n, std::u16string& out) {
    for (int i = 0; i < n; ++i) {
        char16_t u = table[in[i]];
        if (u == kUndefinedCode) u = windowsExtra(codePage, in[i]);
        if (u == kUndefinedCode) u = in[i] >= 0x80 && in[i] <= 0x9F ? in[i] : kReplacement;
        out.push_back(u);
    }
}

void decodeSymbol(const unsigned char* in, int n, std::u16string& out) {
    for (int i = 0; i < n; ++i) out.push_back(in[i] < 0x20 ? in[i] : static_cast<char16_t>(0xF000 + in[i]));
}

// Strict UTF-8: every ill-formed maximal subpart becomes one U+FFFD.
void decodeUtf8(const unsigned char* in, int n, std::u16string& out) {
    int i = 0;
    while (i < n) {
        unsigned b = in[i];
        if (b < 0x80) {
            out.push_back(static_cast<char16_t>(b));
            ++i;
            continue;
        }
        int need;
        uint32_t cp;
        unsigned lo = 0x80, hi = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2;
            cp = b & 0x0F;
            if (b == 0xE0) lo = 0xA0;
            if (b == 0xED) hi = 0x9F;  // no encoded surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3;
            cp = b & 0x07;
            if (b == 0xF0) lo = 0x90;
            if (b == 0xF4) hi = 0x8F;
        } else {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        int j = 1;
        for (; j <= need && i + j < n; ++j) {
            unsigned c = in[i + j];
            if (c < lo || c > hi) break;
            cp = (cp << 6) | (c & 0x3F);
            lo = 0x80;
            hi = 0xBF;
        }
        if (j <= need) {
            out.push_back(kReplacement);
            i += j;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += need + 1;
    }
}

std::string iconvName(unsigned codePage) {
    switch (codePage) {
    case 932: return "CP932";
    case 936: return "CP936";
    case 949: return "CP949";
    case 950: return "CP950";
    case 1361: return "JOHAB";
    case 10000: return "MACINTOSH";
    case 20127: return "ASCII";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 20932: return "EUC-JP";
    case 51949: return "EUC-KR";
    case 54936: return "GB18030";
    case 65000: return "UTF-7";
    case 28603: return "ISO-8859-13";
    case 28605: return "ISO-8859-15";
    default:
        if (codePage >= 28591 && codePage <= 28599) return "ISO-8859-" + std::to_string(codePage - 28590);
        return "CP" + std::to_string(codePage);
    }
}

// False when the C library does not know the code page.
bool decodeIconv(unsigned codePage, const unsigned char* in, int n, std::u16string& out) {
    iconv_t cd = iconv_open("UTF-16LE", iconvName(codePage).c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::vector<char> buffer(static_cast<size_t>(n) * 4 + 16);
    char* src = const_cast<char*>(reinterpret_cast<const char*>(in));
    size_t srcLeft = static_cast<size_t>(n);
    while (srcLeft > 0) {
        char* dst = buffer.data();
        size_t dstLeft = buffer.size();
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        for (char* p = buffer.data(); p + 1 < dst; p += 2)
            out.push_back(static_cast<char16_t>(static_cast<unsigned char>(p[0]) | (static_cast<unsigned char>(p[1]) << 8)));
        if (r != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) continue;
        // An invalid or truncated sequence: one replacement, skip a byte.
        out.push_back(kReplacement);
        ++src;
        --srcLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return true;
}

}  // namespace

int multiByteToWideChar(unsigned codePage, uint32_t flags, const char* text, int byteCount, char16_t* output,
                        int room) {
    if (text == nullptr || room < 0 || (room > 0 && output == nullptr)) return 0;
    if (byteCount < 0) byteCount = static_cast<int>(std::strlen(text)) + 1;  // with its terminator
    if (byteCount == 0) return 0;
    codePage = resolveCodePage(codePage);
    // Symbol and UTF-8 take no flags but MB_ERR_INVALID_CHARS, as on Windows.
    if ((codePage == 42 || codePage == 65001) && (flags & ~kErrInvalidChars) != 0) return 0;

    const auto* in = reinterpret_cast<const unsigned char*>(text);
    std::u16string units;
    units.reserve(static_cast<size_t>(byteCount));
    if (const char16_t* table = singleByteCodePage(codePage)) {
        decodeSingleByte(codePage, table, in, byteCount, units);
    } else if (codePage == 42) {
        decodeSymbol(in, byteCount, units);
    } else if (codePage == 65001) {
        decodeUtf8(in, byteCount, units);
    } else if (!decodeIconv(codePage, in, byteCount, units)) {
        return 0;
    }
    if (room == 0) return static_cast<int>(units.size());
    if (units.size() > static_cast<size_t>(room)) return 0;  // ERROR_INSUFFICIENT_BUFFER
    std::memcpy(output, units.data(), units.size() * sizeof(char16_t));
    return static_cast<int>(units.size());
}

}  // namespace kd::platform

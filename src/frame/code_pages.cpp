#include "frame/code_pages.h"

#include "frame/platform/platform.h"

namespace kd {

uint32_t conversionFlags(unsigned codePage) {
    return codePage == kCodePageSymbol || codePage == kCodePageUtf8 ? 0 : platform::kPrecomposed;
}

int toUtf16(unsigned codePage, const char* text, int length, char16_t* output, int room) {
    if (text == nullptr || length <= 0 || output == nullptr || room <= 0) return 0;
    return platform::multiByteToWideChar(codePage, conversionFlags(codePage), text, length, output, room);
}

std::u16string toUtf16(unsigned codePage, const char* text, int length) {
    if (text == nullptr || length <= 0) return {};
    std::u16string out(static_cast<size_t>(length), u'\0');
    int n = toUtf16(codePage, text, length, out.data(), length);
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
}

}  // namespace kd

#include "frame/diag_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kd {

namespace {

// A format whose only conversion prints a number gets the larger buffer.
size_t bufferSizeFor(const char* format) {
    int conversions = 0;
    bool numeric = true;
    for (const char* p = format; *p; ++p) {
        if (*p != '%') continue;
        ++p;
        if (*p == '%') continue;
        while (*p && std::strchr("-+ #0123456789.lhzjt", *p)) ++p;
        if (!*p) break;
        ++conversions;
        if (!std::strchr("diouxXc", *p)) numeric = false;
    }
    return conversions == 1 && numeric ? 512 : 208;
}

}  // namespace

void DiagLog::enable(const std::string& fileName) {
    fileName_ = fileName;
    active_ = true;
}

void DiagLog::logText(const char* text) const {
    FILE* f = std::fopen(fileName_.c_str(), "a+");
    if (!f) return;
    std::fwrite(text, 1, std::strlen(text), f);
    std::fclose(f);
}

void DiagLog::logFormat(const char* format, ...) const {
    char buffer[512];
    size_t size = bufferSizeFor(format);
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, size, format, args);
    va_end(args);
    logText(buffer);
}

bool DiagLog::developerSwitchOn() {
    static const bool on = [] {
        const char* v = std::getenv("KDLIB_FONT_LOG");
        return v != nullptr && std::strcmp(v, "1") == 0;
    }();
    return on;
}

}  // namespace kd

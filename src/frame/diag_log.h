// A font object's step-by-step trace into a text file: a developer's aid
// that never changes results. Inactive unless enabled; every trace step
// costs one test of active() while it is off. Each line opens the file in
// "a+" mode, writes and closes it, so a log survives a crash; a file that
// cannot be opened loses that line silently.
#pragma once

#include <string>

namespace kd {

class DiagLog {
public:
    void enable(const std::string& fileName);
    void disable() { active_ = false; }
    bool active() const { return active_; }
    const std::string& fileName() const { return fileName_; }

    // Appends text as it stands (does not test active()).
    void logText(const char* text) const;
    // printf-style into a fixed buffer: 512 bytes when the format prints one
    // number, 208 otherwise; longer texts are cut.
    void logFormat(const char* format, ...) const
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;

    // True when the developer switch KDLIB_FONT_LOG=1 is set in the
    // environment: font objects then enable their log with the name their
    // caller formatted.
    static bool developerSwitchOn();

private:
    std::string fileName_;
    bool active_ = false;
};

}  // namespace kd

// One trace step: formats only when the log is on.
#define KD_TRACE(log, ...)                     \
    do {                                       \
        if ((log).active()) (log).logFormat(__VA_ARGS__); \
    } while (0)

#include "frame/log_folder.h"

#include <cstdio>
#include <cstring>

namespace kd {

namespace {
char g_logFolder[kLogFolderArea] = {};
constexpr size_t kLogNameArea = 272;
}  // namespace

void setLogFolder(const char* folder) {
    if (folder == nullptr) folder = "";
    size_t n = strnlen(folder, kLogFolderArea - 1);
    std::memcpy(g_logFolder, folder, n);
    g_logFolder[n] = '\0';
}

const char* logFolder() { return g_logFolder; }

std::string formatLogFileName(const char* folder, const char* faceName, bool bold, bool italic,
                              int codePage) {
    char name[kLogNameArea];
    std::snprintf(name, sizeof name, "%s%s%s%s,%i.log", folder ? folder : "", faceName ? faceName : "",
                  bold ? ",B" : "", italic ? ",I" : "", codePage);
    return name;
}

}  // namespace kd

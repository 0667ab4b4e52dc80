// The one piece of process-wide state: the folder that prefixes diagnostic
// log file names. Set by the host before other calls; read unsynchronised.
#pragma once

#include <string>

namespace kd {

constexpr size_t kLogFolderArea = 260;  // 259 characters and the terminator

void setLogFolder(const char* folder);
const char* logFolder();

// "%s%s%s%s%,%i.log": folder, face name, ",B" when bold, ",I" when italic,
// then "," and the code page. The name is cut to 271 characters (the
// 272-byte area the callers form it in), never overflowed.
std::string formatLogFileName(const char* folder, const char* faceName, bool bold, bool italic,
                              int codePage);

}  // namespace kd

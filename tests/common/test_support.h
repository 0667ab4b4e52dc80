// Helpers shared by the test suites: scratch folders, whole-file access and
// the Python oracles under tests/tools.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/bytes.h"

namespace kdtest {

// A fresh folder removed with its contents at destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + "/" + name
    std::string file(const std::string& name) const;

private:
    std::string path_;
};

std::vector<uint8_t> readFile(const std::string& path);
std::string readText(const std::string& path);
void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
void writeFile(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);

// Runs a command through the shell; returns its exit status and, when
// output is given, its standard output.
int run(const std::string& command, std::string* output = nullptr);

// Runs /usr/bin/python3 tests/tools/<script> with arguments (each quoted).
int runPython(const std::string& script, const std::vector<std::string>& args, std::string* output = nullptr);

// A Python oracle's answer: lines of "KEY VALUE...".
struct OracleAnswer {
    int status = -1;
    std::string text;
    std::vector<std::pair<std::string, std::string>> lines;
    // The value of the first line with the key ("" when none).
    std::string operator[](const std::string& key) const;
};
OracleAnswer runOracle(const std::string& script, const std::vector<std::string>& args);
// The integers of a text; "C:G" gives both.
std::vector<long long> numbers(const std::string& text);

// Environment variables, the same way on every system (an empty value
// removes the variable on Windows).
void setEnv(const std::string& name, const std::string& value);
void unsetEnv(const std::string& name);

// Shell-quotes one argument.
std::string quote(const std::string& arg);

// A font every test may rely on (fonts-dejavu-core).
std::string dejaVuPath(const std::string& fileName = "DejaVuSans.ttf");

// zlib's own inflate as the independent reader: what the data decode to,
// recording a test failure unless they are one finished zlib stream with
// nothing after it.
std::vector<uint8_t> inflateAll(const std::vector<uint8_t>& data);

// A file written as a PDF stream: the text up to and including
// "stream\r\n", and the bytes after it (all header when there is none).
struct StreamFile {
    std::string header;
    std::vector<uint8_t> data;
};
StreamFile splitStreamFile(const std::string& path);

}  // namespace kdtest

// Helpers shared by the test suites: scratch folders, whole-file access and
// the Python oracles under tests/tools.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

// Environment variables, the same way on every system (an empty value
// removes the variable on Windows).
void setEnv(const std::string& name, const std::string& value);
void unsetEnv(const std::string& name);

// Shell-quotes one argument.
std::string quote(const std::string& arg);

// A font every test may rely on (fonts-dejavu-core).
std::string dejaVuPath(const std::string& fileName = "DejaVuSans.ttf");

}  // namespace kdtest

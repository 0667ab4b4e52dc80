#include "common/test_support.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <sys/wait.h>
#endif

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace kdtest {

namespace fs = std::filesystem;

#ifdef _WIN32
namespace {

// Under Wine, paths like /tmp/x name the same file for the test program
// (drive Z: is the Unix root) and for the Unix tools the oracles run; on
// Windows itself /tmp is on another drive.
bool unixPathsWork() {
    static const bool works = [] {
        char full[MAX_PATH];
        DWORD n = GetFullPathNameA("/tmp", MAX_PATH, full, nullptr);
        return n > 2 && (full[0] == 'Z' || full[0] == 'z') && full[1] == ':';
    }();
    return works;
}

std::string uniqueName(const std::string& prefix) {
    static std::atomic<unsigned> counter{0};
    auto ticks = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    return prefix + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(ticks % 1000000007ull) + "-" +
           std::to_string(counter++);
}

}  // namespace

TempDir::TempDir() {
    const std::string base = unixPathsWork() ? std::string("/tmp") : fs::temp_directory_path().string();
    path_ = base + "/" + uniqueName("kdlib-test-");
    if (!CreateDirectoryA(path_.c_str(), nullptr)) throw std::runtime_error("cannot make a temporary folder");
}
#else
TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "kdlib-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}
#endif

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::string TempDir::file(const std::string& name) const { return path_ + "/" + name; }

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string readText(const std::string& path) {
    const std::vector<uint8_t> bytes = readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void writeFile(const std::string& path, const std::string& bytes) {
    writeFile(path, std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

bool fileExists(const std::string& path) { return fs::exists(path); }

std::string quote(const std::string& arg) {
    std::string q = "'";
    for (char c : arg) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

#ifdef _WIN32
// Under Wine a Unix program can be started like a Windows one, but Wine
// gives no handle to wait on and no exit status: the shell writes the
// output and then the status into files, the status file last.
int run(const std::string& command, std::string* output) {
    if (!unixPathsWork()) return -1;
    // A script file, so that the command needs no Windows quoting.
    const std::string base = "/tmp/" + uniqueName("kdlib-run-");
    writeFile(base + ".sh", "( " + command + " ) > " + base + ".out; echo $? > " + base + ".tmp; mv " + base + ".tmp " +
                                base + ".rc\n");
    std::string line = "sh " + base + ".sh";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA("Z:\\bin\\sh", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return -1;
    if (info.hThread) CloseHandle(info.hThread);
    if (info.hProcess) CloseHandle(info.hProcess);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(5);
    while (!fileExists(base + ".rc")) {
        if (std::chrono::steady_clock::now() > deadline) return -1;
        Sleep(2);
    }
    int status = std::atoi(readText(base + ".rc").c_str());
    if (output) *output = readText(base + ".out");
    std::error_code ec;
    for (const char* ext : {".rc", ".out", ".sh"}) fs::remove(base + ext, ec);
    return status;
}
#else
int run(const std::string& command, std::string* output) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
    int status = pclose(pipe);
    if (output) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

void setEnv(const std::string& name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name.c_str(), value.c_str());
#else
    setenv(name.c_str(), value.c_str(), 1);
#endif
}

void unsetEnv(const std::string& name) {
#ifdef _WIN32
    _putenv_s(name.c_str(), "");
#else
    unsetenv(name.c_str());
#endif
}

int runPython(const std::string& script, const std::vector<std::string>& args, std::string* output) {
    std::string command = "/usr/bin/python3 " + quote(std::string(KDLIB_TEST_TOOLS) + "/" + script);
    for (const auto& a : args) command += " " + quote(a);
    return run(command, output);
}

std::string dejaVuPath(const std::string& fileName) { return "/usr/share/fonts/truetype/dejavu/" + fileName; }

std::vector<uint8_t> inflateAll(const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out;
    z_stream z{};
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    uint8_t buffer[65536];
    int status = inflateInit(&z);
    while (status == Z_OK) {
        z.next_out = buffer;
        z.avail_out = sizeof buffer;
        status = inflate(&z, Z_NO_FLUSH);
        out.insert(out.end(), buffer, buffer + (sizeof buffer - z.avail_out));
    }
    if (status != Z_STREAM_END || z.avail_in != 0)
        ADD_FAILURE() << "the data are not one finished zlib stream with nothing after it";
    inflateEnd(&z);
    return out;
}

StreamFile splitStreamFile(const std::string& path) {
    const std::string all = readText(path);
    const size_t at = all.find("stream\r\n");
    if (at == std::string::npos) return {all, {}};
    return {all.substr(0, at + 8), std::vector<uint8_t>(all.begin() + static_cast<long>(at + 8), all.end())};
}

std::string OracleAnswer::operator[](const std::string& key) const {
    for (const auto& [k, value] : lines)
        if (k == key) return value;
    return "";
}

OracleAnswer runOracle(const std::string& script, const std::vector<std::string>& args) {
    OracleAnswer answer;
    answer.status = runPython(script, args, &answer.text);
    std::istringstream in(answer.text);
    std::string line;
    while (std::getline(in, line)) {
        size_t space = line.find(' ');
        answer.lines.emplace_back(line.substr(0, space), space == std::string::npos ? "" : line.substr(space + 1));
    }
    return answer;
}

std::vector<long long> numbers(const std::string& text) {
    std::vector<long long> out;
    std::string spaced = text;
    std::replace(spaced.begin(), spaced.end(), ':', ' ');
    std::istringstream in(spaced);
    long long v;
    while (in >> v) out.push_back(v);
    return out;
}

}  // namespace kdtest

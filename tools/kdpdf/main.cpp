// kdpdf [options] [REPORT.txt OUT.pdf]
//
// Without a report, writes sample-report.pdf from the built-in sample.
#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
#else
#include <filesystem>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "kdlib.h"
#include "kdpdf.h"

namespace {

const char* kUsage =
    "usage: kdpdf [--font FACE] [--size PT] [--user-password PW] [--owner-password PW]\n"
    "             [--pdf-version 14|17] [REPORT.txt OUT.pdf]\n"
    "Without REPORT.txt, writes sample-report.pdf (or OUT.pdf after --output) from the built-in sample.\n"
    "In a report: \"# \" starts a heading, a blank line ends a paragraph, \"![](path)\" places a\n"
    "picture and \"---\" starts a new page.\n";

// The folder of the running program, from the system: argv[0] names no
// folder when the program was found through PATH.
std::string programFolder(const char* argv0) {
    std::string exe;
#ifdef _WIN32
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n > 0 && n < MAX_PATH) exe.assign(path, n);
    const char* separators = "/\\";
#else
    std::error_code ec;
    exe = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    const char* separators = "/";
#endif
    if (exe.empty()) exe = argv0;
    size_t slash = exe.find_last_of(separators);
    return slash == std::string::npos ? std::string(".") : exe.substr(0, slash);
}

// The pictures of the built-in sample: named by KDPDF_SAMPLE_DIR, beside
// the program, where the install put them, or in the sources it was built from.
std::string sampleDir(const char* argv0) {
    if (const char* env = getenv("KDPDF_SAMPLE_DIR")) return env;
    std::string folder = programFolder(argv0);
    std::vector<std::string> candidates = {folder + "/sample", folder + "/" KDPDF_INSTALLED_SAMPLES};
#ifdef KDPDF_SOURCE_SAMPLES
    candidates.push_back(KDPDF_SOURCE_SAMPLES);
#endif
    for (const std::string& dir : candidates)
        if (kdpdf::fileExists(dir + "/lantern.png")) return dir;
    return candidates[1];  // the missing picture is then reported where an install puts it
}

}  // namespace

int main(int argc, char** argv) {
    kdpdf::Options o;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](const char* what) -> std::string {
            if (i + 1 >= argc) {
                fprintf(stderr, "kdpdf: %s needs %s\n%s", a.c_str(), what, kUsage);
                exit(2);
            }
            return argv[++i];
        };
        if (a == "--font") {
            o.face = value("a face name");
        } else if (a == "--size") {
            std::string v = value("a size in points");
            char* end = nullptr;
            o.size = strtod(v.c_str(), &end);
            if (*end || !(o.size >= 4 && o.size <= 72)) {
                fprintf(stderr, "kdpdf: --size takes 4 to 72 points, not '%s'\n", v.c_str());
                return 2;
            }
        } else if (a == "--user-password") {
            o.userPassword = value("a password");
        } else if (a == "--owner-password") {
            o.ownerPassword = value("a password");
        } else if (a == "--pdf-version") {
            std::string v = value("14 or 17");
            if (v != "14" && v != "17") {
                fprintf(stderr, "kdpdf: --pdf-version takes 14 or 17, not '%s'\n", v.c_str());
                return 2;
            }
            o.pdfVersion = std::stoi(v);
        } else if (a == "--output") {
            o.output = value("a file name");
        } else if (a == "-h" || a == "--help") {
            fputs(kUsage, stdout);
            return 0;
        } else if (a.size() > 1 && a[0] == '-') {
            fprintf(stderr, "kdpdf: unknown option %s\n%s", a.c_str(), kUsage);
            return 2;
        } else {
            files.push_back(a);
        }
    }
    if (files.size() == 1 || files.size() > 2) {
        fprintf(stderr, "kdpdf: give both REPORT.txt and OUT.pdf, or neither\n%s", kUsage);
        return 2;
    }
    if (o.face.size() > 31) {
        fprintf(stderr, "kdpdf: a face name has at most 31 characters: '%s'\n", o.face.c_str());
        return 2;
    }
    try {
        std::vector<kdpdf::Block> blocks;
        if (files.empty()) {
            o.sampleDir = sampleDir(argv[0]);
        } else {
            o.input = files[0];
            o.output = files[1];
            blocks = kdpdf::parseReport(o.input);
        }
        kdpdf::writeReport(o, blocks, files.empty());
    } catch (const kdpdf::Failure& e) {
        fprintf(stderr, "kdpdf: %s\n", e.what());
        return 1;
    } catch (const std::bad_alloc&) {
        fprintf(stderr, "kdpdf: out of memory writing %s\n", o.output.c_str());
        return 1;
    } catch (const std::exception& e) {
        fprintf(stderr, "kdpdf: %s: %s\n", o.output.c_str(), e.what());
        return 1;
    }
    printf("kdpdf: wrote %s\n", o.output.c_str());
    return 0;
}

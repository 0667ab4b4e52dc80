// Eight host threads at once on shared face names and shared picture files,
// each with its own output files and handles: every group of export calls
// must give what it gave on one thread. KDLIB_STRESS_SECONDS sets how long
// the threads run (2 by default; CI's ThreadSanitizer stage runs a minute).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/export_calls.h"
#include "common/test_support.h"

TEST(Threads, EveryCallAgreesWithItsSingleThreadedRun) {
    kdtest::TempDir dir;
    auto filesOf = [&](const std::string& who) {
        std::filesystem::create_directories(dir.file(who));
        return kdtest::CallFiles{KDLIB_SOURCE_DIR, dir.file(who) + "/"};
    };
    const std::vector<kdtest::ExportCall>& calls = kdtest::exportCalls();
    std::vector<std::string> expected;
    for (const auto& c : calls) {
        expected.push_back(c.call(filesOf("single")));
        EXPECT_FALSE(expected.back().empty()) << c.name << " failed on one thread";
    }

    const char* seconds = std::getenv("KDLIB_STRESS_SECONDS");
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds ? std::atof(seconds) : 2.0);
    std::mutex failuresMutex;
    std::vector<std::string> failures;
    std::vector<std::thread> threads;
    for (size_t t = 0; t < 8; ++t)
        threads.emplace_back([&, t, files = filesOf("t" + std::to_string(t))] {
            for (int round = 0; round == 0 || std::chrono::steady_clock::now() < end; ++round)
                for (size_t k = 0; k < calls.size(); ++k) {
                    const size_t i = (k + t * 5) % calls.size();  // threads meet on different calls
                    if (calls[i].call(files) == expected[i]) continue;
                    std::lock_guard lock(failuresMutex);
                    failures.push_back(std::string(calls[i].name) + " on thread " + std::to_string(t));
                }
        });
    for (std::thread& t : threads) t.join();
    EXPECT_TRUE(failures.empty()) << failures.size() << " calls differed, the first: " << failures.front();
}

// SPDX-License-Identifier: MIT
// A memory file's growth when the allocator refuses: a short write or a
// failed load with a log line, never an exception through the engine's
// no-throw streams.
#include "core/FileArray.h"

#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "core/Log.h"
#include "support/ChildProcess.h"
#include "sys/Unicode.h"

namespace {

// Claims a size it never delivers: load() must allocate for it first.
class HugeSource : public FileArray {
public:
    int32_t size() override { return INT32_MAX - 1; }
};

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif

TEST(FileArray, RefusedMemoryIsAShortWriteAndAFailedLoadNotAnException) {
    if (kAddressSanitizer)
        GTEST_SKIP() << "AddressSanitizer reserves the address space an allocation limit needs";
    const child::Outcome outcome = child::run([](std::string& report) {
        std::vector<std::string> lines;
        ScopedLogSink sink(
            [&](const String& line) { lines.push_back(sys::utf16ToUtf8(line.view())); });
        // Room for what the process has now and a little more, not a gigabyte.
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t room = rlim_t(pages) * 4096 + (64u << 20);
        const rlimit limit{room, room};
        if (pages <= 0 || ::setrlimit(RLIMIT_AS, &limit) != 0) return child::kCannotSetUp;

        FileArray file;
        file.step = 1 << 30;
        const int32_t wrote = file.write("x", 1);
        HugeSource source;
        FileArray loaded;
        const bool load = loaded.load(source);
        for (const std::string& line : lines) report += line + "\n";
        return wrote == 0 && file.buffer == nullptr && !load && loaded.used == 0 ? 0 : 1;
    });
    if (outcome.exited && outcome.status == child::kCannotSetUp)
        GTEST_SKIP() << "could not limit the child's address space";
    ASSERT_TRUE(outcome.exited) << "ended by signal " << outcome.status << " (an exception?)";
    EXPECT_EQ(outcome.status, 0) << outcome.report;
    EXPECT_NE(outcome.report.find("Error in FileArray::write(): cannot grow"), std::string::npos)
        << outcome.report;
    EXPECT_NE(outcome.report.find("Error in FileArray::load(): cannot hold"), std::string::npos)
        << outcome.report;
}

} // namespace

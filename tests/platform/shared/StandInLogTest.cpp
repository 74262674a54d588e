// SPDX-License-Identifier: MIT
#include "shared/StandInLog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

namespace {

class StandInLog : public ::testing::Test {
protected:
    std::vector<std::u16string> lines;
    void SetUp() override {
        standin::setLogFunction([this](const std::u16string& line) { lines.push_back(line); });
    }
    void TearDown() override { standin::setLogFunction(nullptr); }
};

// What a stand-in cannot honour is said once per process, however many
// threads meet it at once (the sound mixer logs from its own thread).
TEST_F(StandInLog, OnceMeansOnceAcrossThreads) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < 200; ++i) {
                standin::logOnce(u"stand-in log test: a call that cannot be honoured");
                standin::logOnce("stand-in log test key",
                                 u"first wording, " + std::u16string(1, u'0' + char16_t(i % 10)));
            }
        });
    for (std::thread& thread : threads) thread.join();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(std::count(lines.begin(), lines.end(),
                         u"stand-in log test: a call that cannot be honoured"),
              1);
    EXPECT_EQ(std::count_if(
                  lines.begin(), lines.end(),
                  [](const std::u16string& line) { return line.starts_with(u"first wording, "); }),
              1);
}

TEST_F(StandInLog, PlainLinesAlwaysGoAndNowhereWithoutAFunction) {
    standin::log(u"one");
    standin::log(u"one");
    EXPECT_EQ(lines, (std::vector<std::u16string>{u"one", u"one"}));
    const standin::LogFunction previous = standin::setLogFunction(nullptr);
    standin::log(u"lost");
    standin::setLogFunction(previous);
    standin::log(u"two");
    EXPECT_EQ(lines.back(), u"two");
    EXPECT_EQ(lines.size(), 3u);
}

} // namespace

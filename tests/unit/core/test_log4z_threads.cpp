// The writer thread: start and stop, draining, many producers, back-pressure and idling.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <future>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "logging/log4z.h"
#include "support/log4zfixture.h"

namespace {

using fenwix::testing::Log4zTest;

// Checks that every producer's lines arrived, each exactly once and in its order.
void expectAllInOrder(const std::vector<std::string>& lines, int producers, int perProducer) {
    std::vector<int> next(static_cast<size_t>(producers), 0);
    const std::regex pattern("MT p=([0-9]+) n=([0-9]+) ");
    for (const std::string& line : lines) {
        std::smatch match;
        ASSERT_TRUE(std::regex_search(line, match, pattern)) << line;
        const auto producer = static_cast<size_t>(std::stoi(match[1]));
        ASSERT_LT(producer, next.size());
        ASSERT_EQ(std::stoi(match[2]), next[producer]) << "producer " << producer;
        ++next[producer];
    }
    for (int count : next) {
        EXPECT_EQ(count, perProducer);
    }
}

TEST_F(Log4zTest, ManyThreadsLoseNoLine) {
    constexpr int kProducers = 8;
    constexpr int kLines = 5000;
    start();
    flush();
    const auto writtenBefore = logger().getStatusTotalWriteCount();
    std::vector<std::thread> threads;
    threads.reserve(kProducers);
    for (int p = 0; p < kProducers; ++p) {
        threads.emplace_back([p] {
            for (int n = 0; n < kLines; ++n) {
                LOGI("MT p=" << p << " n=" << n << " payload " << std::string(n % 200, 'q'));
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    flush();
    EXPECT_EQ(logger().getStatusTotalWriteCount() - writtenBefore,
              static_cast<unsigned long long>(kProducers * kLines));
    EXPECT_EQ(logger().getStatusTotalPushQueue(), logger().getStatusTotalPopQueue());
    EXPECT_EQ(logger().getStatusWaitingCount(), 0U);
    expectAllInOrder(linesWith("MT p="), kProducers, kLines);
}

TEST_F(Log4zTest, StopWritesEverythingStillQueued) {
    constexpr int kLines = 20000;
    start();
    for (int n = 0; n < kLines; ++n) {
        LOGD("MT p=0 n=" << n << " ");
    }
    ASSERT_TRUE(logger().stop());  // no flush before: the stop itself must drain
    expectAllInOrder(linesWith("MT p="), 1, kLines);
    // Entries are recycled, not freed.
    EXPECT_GT(logger().getStatusFreeCount(), 0U);
}

TEST_F(Log4zTest, StartReportsItsStartUpAndRefusesASecondStart) {
    start();
    EXPECT_FALSE(logger().start());
    flush();
    const auto alarms = linesWith("LOG_ALARM");
    ASSERT_EQ(alarms.size(), 2U);
    EXPECT_NE(
        alarms[0].find(
            "LOG_ALARM -----------------  log4z thread started!   ----------------------------"),
        std::string::npos);
    EXPECT_NE(alarms[1].find("LOG_ALARM logger id=0 key=Main name=Main path=" + folder() +
                             " level=1 display=0"),
              std::string::npos);
    const auto console = this->console();
    ASSERT_EQ(console.size(), 1U);
    EXPECT_EQ(console[0].text, "log4z already start \r\n");
}

TEST_F(Log4zTest, NothingIsMadeWhileStoppedAndARestartWritesAgain) {
    EXPECT_FALSE(logger().prePushLog(0, log4z::LOG_LEVEL_FATAL));
    EXPECT_FALSE(logger().flush(std::chrono::milliseconds(10)));
    EXPECT_FALSE(logger().stop());
    start();
    LOGI("round one");
    ASSERT_TRUE(logger().stop());
    EXPECT_FALSE(logger().isRunning());
    LOGI("while stopped");
    start();
    LOGI("round two");
    flush();
    EXPECT_EQ(linesWith("round ").size(), 2U);
    EXPECT_TRUE(linesWith("while stopped").empty());
    bool stopping = false;
    for (const auto& line : console()) {
        stopping = stopping || line.text == "log4z stopping \r\n";
    }
    EXPECT_TRUE(stopping);
}

TEST_F(Log4zTest, EntryPushedAfterTheWriterEndedIsRecycledNotLeaked) {
    start();
    log4z::LogData* late = logger().makeLogData(0, log4z::LOG_LEVEL_INFO);
    ASSERT_TRUE(logger().stop());
    const auto freeBefore = logger().getStatusFreeCount();
    log4z::LogStream(late) << "too late";
    logger().pushLog(late, __FILE__, __LINE__);
    EXPECT_EQ(logger().getStatusFreeCount(), freeBefore + 1);
    EXPECT_EQ(logger().getStatusWaitingCount(), 0U);
    EXPECT_TRUE(linesWith("too late").empty());
}

TEST_F(Log4zTest, FullQueueSlowsProducersButDropsNothing) {
    // Hold the writer inside its console output so the queue fills up.
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> holding{false};
    log4z::setConsoleSink([&](int, std::string_view text) {
        if (text.find("HOLD") != std::string_view::npos) {
            holding = true;
            released.wait();
        }
    });
    logger().setLoggerDisplay(0, true);
    start();
    LOGI("HOLD");
    while (!holding) {
        std::this_thread::yield();
    }
    constexpr int kLines = static_cast<int>(log4z::LOG4Z_QUEUE_SOFT_LIMIT) + 1000;
    const auto began = std::chrono::steady_clock::now();
    for (int n = 0; n < kLines; ++n) {
        LOGD("MT p=0 n=" << n << " ");
    }
    const auto took = std::chrono::steady_clock::now() - began;
    EXPECT_EQ(logger().getStatusWaitingCount(), static_cast<size_t>(kLines));
    // Lines past the soft limit made their producer sleep now and then (about 0.1 s in all).
    EXPECT_GE(took, std::chrono::milliseconds(20));
    release.set_value();
    flush();
    expectAllInOrder(linesWith("MT p="), 1, kLines);
}

// Voluntary context switches of one thread of this process, from the kernel's counters.
long contextSwitches(const std::string& tid) {
    std::ifstream status("/proc/self/task/" + tid + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("voluntary_ctxt_switches:", 0) == 0) {
            return std::stol(line.substr(line.find(':') + 1));
        }
    }
    return -1;
}

TEST_F(Log4zTest, IdleWriterSleepsUntilALineArrives) {
    start();
    flush();
    // The writer's own start-up line names its thread id.
    const auto alarms = linesWith("log4z thread started");
    ASSERT_EQ(alarms.size(), 1U);
    std::smatch match;
    ASSERT_TRUE(std::regex_search(alarms[0], match, std::regex("\\[([0-9]+)\\]")));
    const std::string tid = std::to_string(std::stoul(match[1]));
    // Let it finish collecting after its last round; from then on it has nothing to do.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const long before = contextSwitches(tid);
    ASSERT_GE(before, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    // A writer that polled every 50 ms would have woken about ten times.
    EXPECT_LE(contextSwitches(tid) - before, 1);
    LOGI("wake up");
    flush();
    EXPECT_EQ(linesWith("wake up").size(), 1U);
}

}  // namespace

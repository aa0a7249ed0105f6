// Our logger against spdlog's asynchronous logger (blocking on a full queue, file sink), in one
// run on the same machine: sustained lines per second with four producers, and the latency a
// paced producer sees per call. Every line written is counted back from the files, and the
// program fails if one is missing.
#include <spdlog/async.h>
#include <spdlog/async_logger.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "logging/log4z.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kProducers = 4;
constexpr int kCallsPerSample = 20;
constexpr auto kSamplePause = std::chrono::milliseconds(2);
constexpr const char* kMarker = "bench line";

struct Options {
    int runs = 5;
    int linesPerProducer = 250000;
    int latencySamples = 2500;
};

struct RunResult {
    double linesPerSecond = 0;
    long long linesFound = 0;
    long long linesExpected = 0;
    double p50 = 0, p99 = 0, p999 = 0;  // nanoseconds per call
};

// One logger under test: how to prepare a folder, log one line, and finish (all on disk).
class Subject {
public:
    virtual ~Subject() = default;
    virtual const char* name() const = 0;
    virtual void open(const std::string& folder) = 0;
    virtual void line(int producer, int n) = 0;
    virtual void close() = 0;
};

class OurLogger : public Subject {
public:
    const char* name() const override { return "log4z"; }
    void open(const std::string& folder) override {
        auto& manager = log4z::Log4zManager::instance();
        manager.stop();
        manager.resetLoggers();
        manager.setLoggerPath(log4z::LOG4Z_MAIN_LOGGER_ID, folder);
        manager.setLoggerDisplay(log4z::LOG4Z_MAIN_LOGGER_ID, false);
        manager.start();
    }
    void line(int producer, int n) override {
        LOGI(kMarker << " producer=" << producer << " n=" << n
                     << " room=1023 status=3 text=正在进入教室，请耐心等待");
    }
    void close() override {
        log4z::Log4zManager::instance().flush();
        log4z::Log4zManager::instance().stop();
    }
};

class SpdLogger : public Subject {
public:
    const char* name() const override { return "spdlog"; }
    void open(const std::string& folder) override {
        pool_ = std::make_shared<spdlog::details::thread_pool>(8192, 1);
        auto sink = std::make_shared<spdlog::sinks::basic_file_sink_mt>(folder + "spdlog.log");
        logger_ = std::make_shared<spdlog::async_logger>("bench", std::move(sink), pool_,
                                                         spdlog::async_overflow_policy::block);
        logger_->set_pattern("%Y-%m-%d %H:%M:%S.%e [%t] %-9l %v %s:%#");
        logger_->set_level(spdlog::level::debug);
    }
    void line(int producer, int n) override {
        logger_->log(spdlog::source_loc{__FILE__, __LINE__, ""}, spdlog::level::info,
                     "{} producer={} n={} room=1023 status=3 text=正在进入教室，请耐心等待",
                     kMarker, producer, n);
    }
    void close() override {
        logger_->flush();
        logger_.reset();
        pool_.reset();  // the pool's destructor drains the queue and joins its worker
    }

private:
    std::shared_ptr<spdlog::details::thread_pool> pool_;
    std::shared_ptr<spdlog::async_logger> logger_;
};

long long countLines(const std::string& folder) {
    long long count = 0;
    std::vector<char> buffer(1 << 20);
    const size_t markerSize = std::strlen(kMarker);
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) {
            continue;
        }
        std::ifstream in(entry.path(), std::ios::binary);
        std::string carry;
        while (in) {
            in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            std::string chunk =
                carry + std::string(buffer.data(), static_cast<size_t>(in.gcount()));
            size_t begin = 0;
            for (size_t end = chunk.find('\n'); end != std::string::npos;
                 end = chunk.find('\n', begin)) {
                if (chunk.compare(begin, markerSize, kMarker) == 0 ||
                    chunk.find(kMarker, begin) < end) {
                    ++count;
                }
                begin = end + 1;
            }
            carry = chunk.substr(begin);
        }
    }
    return count;
}

std::string freshFolder(const std::string& root, const std::string& name) {
    std::string folder = root + name + "/";
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

void measureThroughput(Subject& subject, const Options& options, const std::string& folder,
                       RunResult& result) {
    subject.open(folder);
    const auto began = Clock::now();
    std::vector<std::thread> producers;
    producers.reserve(kProducers);
    for (int p = 0; p < kProducers; ++p) {
        producers.emplace_back([&subject, p, &options] {
            for (int n = 0; n < options.linesPerProducer; ++n) {
                subject.line(p, n);
            }
        });
    }
    for (auto& producer : producers) {
        producer.join();
    }
    subject.close();
    const double seconds = std::chrono::duration<double>(Clock::now() - began).count();
    result.linesExpected = static_cast<long long>(kProducers) * options.linesPerProducer;
    result.linesPerSecond = static_cast<double>(result.linesExpected) / seconds;
    result.linesFound = countLines(folder);
}

double percentile(std::vector<double> samples, double fraction) {
    std::sort(samples.begin(), samples.end());
    const auto index =
        static_cast<size_t>(std::lround(fraction * static_cast<double>(samples.size() - 1)));
    return samples[std::min(index, samples.size() - 1)];
}

void measureLatency(Subject& subject, const Options& options, const std::string& folder,
                    RunResult& result) {
    subject.open(folder);
    std::vector<double> samples;
    samples.reserve(static_cast<size_t>(options.latencySamples));
    int n = 0;
    auto next = Clock::now();
    for (int s = 0; s < options.latencySamples; ++s) {
        next += kSamplePause;
        std::this_thread::sleep_until(next);
        const auto began = Clock::now();
        for (int i = 0; i < kCallsPerSample; ++i) {
            subject.line(0, n++);
        }
        const double ns = std::chrono::duration<double, std::nano>(Clock::now() - began).count();
        samples.push_back(ns / kCallsPerSample);
    }
    subject.close();
    result.p50 = percentile(samples, 0.50);
    result.p99 = percentile(samples, 0.99);
    result.p999 = percentile(samples, 0.999);
    const long long found = countLines(folder);
    result.linesFound += found;
    result.linesExpected += n;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Summary {
    double linesPerSecond, p50, p99, p999;
    long long found, expected;
};

Summary summarise(const std::vector<RunResult>& runs) {
    Summary summary{};
    std::vector<double> rate, p50, p99, p999;
    for (const RunResult& run : runs) {
        rate.push_back(run.linesPerSecond);
        p50.push_back(run.p50);
        p99.push_back(run.p99);
        p999.push_back(run.p999);
        summary.found += run.linesFound;
        summary.expected += run.linesExpected;
    }
    summary.linesPerSecond = median(rate);
    summary.p50 = median(p50);
    summary.p99 = median(p99);
    summary.p999 = median(p999);
    return summary;
}

Options parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            options.runs = 3;
            options.linesPerProducer = 20000;
            options.latencySamples = 300;
        }
    }
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parseOptions(argc, argv);
    std::string pattern = (fs::temp_directory_path() / "bench-logging-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::fprintf(stderr, "bench_logging: cannot make a temporary folder\n");
        return 2;
    }
    const std::string root = pattern + "/";
    // Keep the logger's start and stop notices out of the report.
    log4z::setConsoleSink([](int, std::string_view) {});

    OurLogger ours;
    SpdLogger theirs;
    Subject* subjects[] = {&ours, &theirs};
    std::vector<RunResult> results[2];
    for (int run = 0; run < options.runs; ++run) {
        // Alternate the order so neither logger always runs on a warmer machine.
        for (int k = 0; k < 2; ++k) {
            const int which = (run % 2 == 0) ? k : 1 - k;
            Subject& subject = *subjects[which];
            RunResult result;
            const std::string base = std::string(subject.name()) + "-" + std::to_string(run);
            measureThroughput(subject, options, freshFolder(root, base + "-rate"), result);
            measureLatency(subject, options, freshFolder(root, base + "-latency"), result);
            fs::remove_all(root + base + "-rate");
            fs::remove_all(root + base + "-latency");
            results[which].push_back(result);
        }
    }
    fs::remove_all(root);

    const Summary a = summarise(results[0]);
    const Summary b = summarise(results[1]);
    std::printf(
        "logging benchmark: %d runs (medians), %d producers x %d lines, %d paced samples "
        "of %d calls\n",
        options.runs, kProducers, options.linesPerProducer, options.latencySamples,
        kCallsPerSample);
    std::printf(
        "spdlog: asynchronous logger, one worker, queue of 8192, blocking when full, "
        "file sink; ratio = log4z / spdlog\n");
    std::printf("%-22s %14s %14s %10s\n", "", "log4z", "spdlog", "ratio");
    std::printf("%-22s %14.0f %14.0f %9.2fx\n", "lines/s (4 threads)", a.linesPerSecond,
                b.linesPerSecond, a.linesPerSecond / b.linesPerSecond);
    std::printf("%-22s %14.0f %14.0f %9.2fx\n", "latency p50 (ns)", a.p50, b.p50, a.p50 / b.p50);
    std::printf("%-22s %14.0f %14.0f %9.2fx\n", "latency p99 (ns)", a.p99, b.p99, a.p99 / b.p99);
    std::printf("%-22s %14.0f %14.0f %9.2fx\n", "latency p99.9 (ns)", a.p999, b.p999,
                a.p999 / b.p999);
    std::printf("%-22s %14lld %14lld\n", "lines found", a.found, b.found);
    std::printf("%-22s %14lld %14lld\n", "lines expected", a.expected, b.expected);
    if (a.found != a.expected || b.found != b.expected) {
        std::printf("FAILED: lines were lost\n");
        return 1;
    }
    return 0;
}

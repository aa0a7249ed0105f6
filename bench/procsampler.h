// Reads what a running process costs from /proc: context switches of each of its threads (a
// thread that sleeps and is woken costs one), CPU time, resident memory, threads and open
// files. Sampled once a second, so threads born and ended within the window are counted too.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace bench {

struct ThreadCost {
    std::string name;
    long long switches = 0;
};

struct ProcessFigures {
    double wakeupsPerSecond = 0;
    double cpuMsPerMinute = 0;
    long rssKb = 0;  // at the end of the window
    int threadsFirst = 0, threadsLast = 0, threadsMax = 0;
    int fdsFirst = 0, fdsLast = 0, fdsMax = 0;
    // The threads that woke most, per second, busiest first.
    std::vector<std::pair<std::string, double>> busiest;
    bool ok = false;  // false when the process was gone before the end
};

// Follows one process for the length of a window.
class ProcSampler {
public:
    explicit ProcSampler(pid_t pid);
    // Takes one sample; false once the process is gone.
    bool sample();
    ProcessFigures figures() const;

private:
    pid_t pid_;
    bool gone_ = false;
    double firstSeconds_ = 0, lastSeconds_ = 0;
    long long firstTicks_ = 0, lastTicks_ = 0;
    long long switches_ = 0;             // summed over the samples
    std::map<int, ThreadCost> threads_;  // by thread id, the latest reading
    std::map<std::string, long long> byName_;
    long rssKb_ = 0;
    int samples_ = 0;
    int threadsFirst_ = 0, threadsLast_ = 0, threadsMax_ = 0;
    int fdsFirst_ = 0, fdsLast_ = 0, fdsMax_ = 0;
};

// Samples every process once a second for the window; figures in the order of pids.
std::vector<ProcessFigures> measure(const std::vector<pid_t>& pids, int seconds);

}  // namespace bench

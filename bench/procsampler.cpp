#include "procsampler.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

namespace bench {

namespace {
double nowSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::vector<std::string> entries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.') {
                names.emplace_back(entry->d_name);
            }
        }
        closedir(dir);
    }
    return names;
}

// Voluntary and involuntary switches of one thread.
long long switchesOf(const std::string& statusFile) {
    std::ifstream in(statusFile);
    std::string line;
    long long total = 0;
    while (std::getline(in, line)) {
        if (line.find("ctxt_switches:") != std::string::npos) {
            total += std::stoll(line.substr(line.find(':') + 1));
        }
    }
    return total;
}

// utime + stime of the whole process, ended threads included, in clock ticks.
long long cpuTicks(pid_t pid, bool& ok) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    std::getline(in, text);
    const auto close = text.rfind(')');
    ok = close != std::string::npos;
    if (!ok) {
        return 0;
    }
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    long long utime = 0, stime = 0;
    // Fields after the name start with the state (field 3); utime and stime are 14 and 15.
    for (int index = 3; index <= 15 && fields >> field; ++index) {
        if (index == 14) {
            utime = std::stoll(field);
        } else if (index == 15) {
            stime = std::stoll(field);
        }
    }
    return utime + stime;
}

long rssOf(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return 0;
}
}  // namespace

ProcSampler::ProcSampler(pid_t pid) : pid_(pid) {}

bool ProcSampler::sample() {
    if (gone_) {
        return false;
    }
    const std::string base = "/proc/" + std::to_string(pid_);
    bool ok = false;
    const long long ticks = cpuTicks(pid_, ok);
    if (!ok) {
        gone_ = true;
        return false;
    }
    const std::vector<std::string> tasks = entries(base + "/task");
    std::map<int, ThreadCost> now;
    for (const std::string& task : tasks) {
        const std::string folder = base + "/task/" + task;
        ThreadCost cost;
        std::ifstream comm(folder + "/comm");
        std::getline(comm, cost.name);
        cost.switches = switchesOf(folder + "/status");
        now[std::stoi(task)] = cost;
    }
    const int fds = static_cast<int>(entries(base + "/fd").size());
    const int threads = static_cast<int>(now.size());
    if (samples_ > 0) {
        // A thread new since the last sample counts from its birth.
        for (const auto& [tid, cost] : now) {
            const auto before = threads_.find(tid);
            const long long delta =
                cost.switches - (before != threads_.end() ? before->second.switches : 0);
            switches_ += delta;
            byName_[cost.name] += delta;
        }
    } else {
        firstSeconds_ = nowSeconds();
        firstTicks_ = ticks;
        threadsFirst_ = threads;
        fdsFirst_ = fds;
    }
    threads_ = std::move(now);
    lastSeconds_ = nowSeconds();
    lastTicks_ = ticks;
    rssKb_ = rssOf(pid_);
    threadsLast_ = threads;
    fdsLast_ = fds;
    threadsMax_ = std::max(threadsMax_, threads);
    fdsMax_ = std::max(fdsMax_, fds);
    ++samples_;
    return true;
}

ProcessFigures ProcSampler::figures() const {
    ProcessFigures f;
    const double seconds = lastSeconds_ - firstSeconds_;
    f.ok = !gone_ && samples_ > 1 && seconds > 0;
    if (!f.ok) {
        return f;
    }
    static const double ticksPerSecond = static_cast<double>(sysconf(_SC_CLK_TCK));
    f.wakeupsPerSecond = static_cast<double>(switches_) / seconds;
    f.cpuMsPerMinute =
        static_cast<double>(lastTicks_ - firstTicks_) * 1000.0 / ticksPerSecond * 60.0 / seconds;
    f.rssKb = rssKb_;
    f.threadsFirst = threadsFirst_;
    f.threadsLast = threadsLast_;
    f.threadsMax = threadsMax_;
    f.fdsFirst = fdsFirst_;
    f.fdsLast = fdsLast_;
    f.fdsMax = fdsMax_;
    for (const auto& [name, count] : byName_) {
        if (count > 0) {
            f.busiest.emplace_back(name, static_cast<double>(count) / seconds);
        }
    }
    std::sort(f.busiest.begin(), f.busiest.end(),
              [](const auto& a, const auto& b) { return a.second > b.second; });
    return f;
}

std::vector<ProcessFigures> measure(const std::vector<pid_t>& pids, int seconds) {
    std::vector<ProcSampler> samplers(pids.begin(), pids.end());
    const auto start = std::chrono::steady_clock::now();
    for (int tick = 0; tick <= seconds; ++tick) {
        std::this_thread::sleep_until(start + std::chrono::seconds(tick));
        for (ProcSampler& sampler : samplers) {
            sampler.sample();
        }
    }
    std::vector<ProcessFigures> out;
    out.reserve(samplers.size());
    for (const ProcSampler& sampler : samplers) {
        out.push_back(sampler.figures());
    }
    return out;
}

}  // namespace bench

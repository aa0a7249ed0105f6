// Helpers for tests of the microphone and speaker tests against a private sound server: wave
// files made to order, a level meter that records what it is fed; the players and recorders
// (paplay, parec) run as a ChildProcess.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "devices/levelmeter.h"
#include "support/childprocess.h"

namespace fenwixtest {

// A canonical 44-byte wave header with the three fields the player reads, then the data.
inline std::string waveFile(unsigned channels, unsigned rate, unsigned bits,
                            const std::string& data) {
    std::string out;
    const auto put = [&](std::uint32_t value, int width) {
        for (int i = 0; i < width; ++i) {
            out += static_cast<char>((value >> (8 * i)) & 0xff);
        }
    };
    out += "RIFF";
    put(static_cast<std::uint32_t>(36 + data.size()), 4);
    out += "WAVEfmt ";
    put(16, 4);
    put(1, 2);
    put(channels, 2);
    put(rate, 4);
    put(rate * channels * (bits / 8), 4);
    put(channels * (bits / 8), 2);
    put(bits, 2);
    out += "data";
    put(static_cast<std::uint32_t>(data.size()), 4);
    return out + data;
}

// `seconds` of a 16-bit sine of `amplitude` and `hz`, the same in each channel.
inline std::string sineData(double amplitude, double hz, unsigned rate, unsigned channels,
                            double seconds) {
    std::string out;
    const auto frames = static_cast<long>(rate * seconds);
    for (long i = 0; i < frames; ++i) {
        const auto value = static_cast<std::int16_t>(
            std::lround(amplitude * std::sin(2 * M_PI * hz * static_cast<double>(i) / rate)));
        for (unsigned c = 0; c < channels; ++c) {
            out += static_cast<char>(value & 0xff);
            out += static_cast<char>((static_cast<std::uint16_t>(value) >> 8) & 0xff);
        }
    }
    return out;
}

// The level a sine of that amplitude gives: 20 log10 of its mean magnitude 2A/pi, truncated.
inline int sineLevel(double amplitude) {
    return static_cast<int>(20 * std::log10(2 * amplitude / M_PI));
}

inline std::vector<std::int16_t> samplesOf(const std::string& bytes) {
    std::vector<std::int16_t> out(bytes.size() / 2);
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = static_cast<std::int16_t>(
            static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                       (static_cast<unsigned char>(bytes[2 * i + 1]) << 8)));
    }
    return out;
}

inline std::string readBinary(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Polls `done` until it holds or the deadline passes.
inline bool waitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// A level meter that keeps every block's size and level; tests wait on it with a deadline.
class RecordingMeter : public fenwix::devices::LevelMeter {
public:
    void Feed(const unsigned char* bytes, std::size_t length) override {
        std::lock_guard<std::mutex> lock(mutex_);
        sizes_.push_back(length);
        levels_.push_back(fenwix::devices::levelOf(bytes, length));
        fedAfterClose_ = fedAfterClose_ || closed_;
        changed_.notify_all();
    }

    void Clear() override {
        std::lock_guard<std::mutex> lock(mutex_);
        ++clears_;
        changed_.notify_all();
    }

    // True once the levels satisfy `done` (given all levels so far), false at the deadline.
    bool waitFor(const std::function<bool(const std::vector<int>&)>& done,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return done(levels_); });
    }

    // Waits for `count` more blocks of exactly `level` after the blocks seen so far.
    bool waitForLevel(int level, int count = 3) {
        std::size_t from = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            from = levels_.size();
        }
        return waitFor([&](const std::vector<int>& levels) {
            int seen = 0;
            for (std::size_t i = from; i < levels.size(); ++i) {
                seen += levels[i] == level ? 1 : 0;
            }
            return seen >= count;
        });
    }

    std::vector<int> levels() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return levels_;
    }
    std::vector<std::size_t> sizes() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return sizes_;
    }
    int clears() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return clears_;
    }
    // From now on a block fed counts as a fault (the owner of the meter is gone).
    void close() {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
    }
    bool fedAfterClose() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return fedAfterClose_;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::size_t> sizes_;
    std::vector<int> levels_;
    int clears_ = 0;
    bool closed_ = false;
    bool fedAfterClose_ = false;
};

}  // namespace fenwixtest

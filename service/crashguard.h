// Remembers across starts how the terminal's earlier runs ended, so that a terminal that keeps
// crashing comes up in a safe mode instead of crashing again: the idle screen with a notice and
// the backend links (heartbeat, registration, reports, push channel, update), but neither the
// conference nor the live push, the usual suspects of a crash in a room.
//
// The record is a small file the terminal rewrites at start, at a deliberate exit, before an
// update hand-over and after a clean run. A start that finds the previous run still marked as
// running knows that run was ended from outside (a crash, kill -9, power loss): it counts as a
// crash. The hand-over is marked first, because the updater ends the terminal with SIGKILL.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CrashGuard {
public:
    static constexpr int kCrashesForSafeMode = 3;
    static constexpr std::int64_t kCrashWindowSeconds = std::int64_t{5} * 60;
    // A run that lasts this long without crashing clears the crash history.
    static constexpr int kCleanRunMs = 5 * 60 * 1000;
    // Forces the safe mode for one start whatever the record says, when set to 1.
    static constexpr char kSafeModeVariable[] = "FENWIX_SAFE_MODE";
    static constexpr char kRecordFileName[] = "runstate";

    // `recordFolder` holds the record (created when missing); `version` is the running build: a
    // start of another version is an update, which clears the crash history. `nowSeconds` is
    // the wall clock in seconds since 1970.
    CrashGuard(std::string recordFolder, std::string version,
               std::function<std::int64_t()> nowSeconds);

    // Once per start, after the single-instance check (a second copy must leave the record
    // alone): counts the previous run, decides the safe mode and marks this run as running.
    void begin();

    bool safeMode() const { return safeMode_; }
    // Crashes recorded within the window, this start's count included.
    int recentCrashes() const { return static_cast<int>(crashes_.size()); }

    // The run has lasted kCleanRunMs: later starts are normal again.
    void markCleanRun();
    // The updater is about to end the process: not a crash.
    void markHandOver();
    // The hand-over did not happen after all: the run goes on as before.
    void markRunning();
    // Alt+Q, the five clicks, the tray menu or a termination request: not a crash.
    void markDeliberateExit();

    const std::string& recordPath() const { return path_; }

private:
    void write(const std::string& state);

    std::string path_;
    std::string version_;
    std::function<std::int64_t()> now_;
    std::vector<std::int64_t> crashes_;
    bool safeMode_ = false;
};

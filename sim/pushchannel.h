#pragma once

#include <json/json.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace fenwixsim {

// Tokens and queued push messages per push user id, and the wait of a long poll.
class PushChannel {
public:
    explicit PushChannel(int holdMs) : holdMs_(holdMs) {}

    std::string issueToken(const std::string& userId);
    bool tokenValid(const std::string& token, const std::string& userId) const;
    // Empty user id = every token.
    void revokeTokens(const std::string& userId);

    void queue(const std::string& userId, const Json::Value& payload);
    size_t pending(const std::string& userId) const;
    void clearQueues();

    enum class WaitResult { Message, Timeout, Interrupted };
    // Waits up to the hold time for a message for this user; takes it when one comes.
    WaitResult waitForMessage(const std::string& userId, Json::Value& message);
    // Releases every waiting poll (the listener went down).
    void interruptWaiters();

    int holdMs() const { return holdMs_; }
    void setHoldMs(int ms) { holdMs_ = ms; }

    Json::Value toJson() const;
    void reset();

private:
    struct User {
        std::deque<Json::Value> messages;
        int waiting = 0;
        long long polls = 0;
        long long lastPollAt = 0;
        long long registeredAt = 0;
    };

    std::atomic<int> holdMs_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::string, std::string> tokens_;  // token -> user id
    std::map<std::string, User> users_;
    unsigned long long generation_ = 0;
    unsigned long long tokenCounter_ = 0;
};

}  // namespace fenwixsim

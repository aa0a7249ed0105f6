#include "sim/pushchannel.h"

#include "sim/businessstate.h"

#include <chrono>
#include <random>

namespace fenwixsim {

std::string PushChannel::issueToken(const std::string& userId) {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    std::lock_guard<std::mutex> lock(mutex_);
    std::string token =
        "t" + std::to_string(++tokenCounter_) + "x" + std::to_string(random() % 1000000000ull);
    tokens_[token] = userId;
    users_[userId].registeredAt = nowMs();
    return token;
}

bool PushChannel::tokenValid(const std::string& token, const std::string& userId) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = tokens_.find(token);
    return it != tokens_.end() && it->second == userId;
}

void PushChannel::revokeTokens(const std::string& userId) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = tokens_.begin(); it != tokens_.end();) {
        it = (userId.empty() || it->second == userId) ? tokens_.erase(it) : std::next(it);
    }
}

void PushChannel::queue(const std::string& userId, const Json::Value& payload) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        users_[userId].messages.push_back(payload);
    }
    changed_.notify_all();
}

size_t PushChannel::pending(const std::string& userId) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = users_.find(userId);
    return it == users_.end() ? 0 : it->second.messages.size();
}

void PushChannel::clearQueues() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& entry : users_) {
        entry.second.messages.clear();
    }
}

PushChannel::WaitResult PushChannel::waitForMessage(const std::string& userId,
                                                    Json::Value& message) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(holdMs_.load());
    std::unique_lock<std::mutex> lock(mutex_);
    const unsigned long long generation = generation_;
    User& user = users_[userId];
    ++user.polls;
    user.lastPollAt = nowMs();
    ++user.waiting;
    WaitResult result = WaitResult::Timeout;
    while (true) {
        if (generation_ != generation) {
            result = WaitResult::Interrupted;
            break;
        }
        if (!user.messages.empty()) {
            message = user.messages.front();
            user.messages.pop_front();
            result = WaitResult::Message;
            break;
        }
        if (changed_.wait_until(lock, deadline) == std::cv_status::timeout &&
            user.messages.empty() && generation_ == generation) {
            break;
        }
    }
    --user.waiting;
    return result;
}

void PushChannel::interruptWaiters() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++generation_;
    }
    changed_.notify_all();
}

Json::Value PushChannel::toJson() const {
    Json::Value users(Json::arrayValue);
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [id, user] : users_) {
        Json::Value u;
        u["userId"] = id;
        u["pending"] = Json::Value(Json::arrayValue);
        for (const auto& m : user.messages) {
            u["pending"].append(m);
        }
        u["waiting"] = user.waiting;
        u["polls"] = static_cast<Json::Int64>(user.polls);
        u["lastPollAt"] = static_cast<Json::Int64>(user.lastPollAt);
        u["registeredAt"] = static_cast<Json::Int64>(user.registeredAt);
        int tokens = 0;
        for (const auto& t : tokens_) {
            tokens += t.second == id ? 1 : 0;
        }
        u["tokens"] = tokens;
        users.append(u);
    }
    Json::Value out;
    out["holdMs"] = holdMs_.load();
    out["users"] = users;
    return out;
}

void PushChannel::reset() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        tokens_.clear();
        // Users with a poll in progress keep their entry (the poll holds a reference to it).
        for (auto it = users_.begin(); it != users_.end();) {
            if (it->second.waiting > 0) {
                it->second.messages.clear();
                ++it;
            } else {
                it = users_.erase(it);
            }
        }
        ++generation_;
    }
    changed_.notify_all();
}

}  // namespace fenwixsim

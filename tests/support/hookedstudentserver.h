// A backend client whose conference session is replaced by a recorder: the hooks that the push
// commands and room requests use answer from fields and remember every call, so tests need no
// conference library. Everything else (reports, configuration, main-window events) is real.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "conference/userbean.h"
#include "service/fenwixstudentserver.h"

namespace fenwixtest {

class HookedStudentServer : public FenwixStudentServer {
public:
    // Answers.
    int micVolume = 0;
    std::string participantId = "-1";

    // Calls seen (queueUser may come from an HTTP worker thread).
    std::vector<int> micVolumesSet() const { return locked(micVolumesSet_); }
    std::vector<int> speakerVolumesSet() const { return locked(speakerVolumesSet_); }
    std::vector<UserBean> usersQueued() const { return locked(usersQueued_); }
    int leaves() const { return locked(leaves_); }
    std::vector<std::string> pins() const { return locked(pins_); }

    // Lets go of every call seen, memory included (the fuzz targets keep one server for all
    // their inputs, and memory held on from one input to the next costs each a leak scan).
    void forgetCalls() {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<int>().swap(micVolumesSet_);
        std::vector<int>().swap(speakerVolumesSet_);
        std::vector<UserBean>().swap(usersQueued_);
        leaves_ = 0;
        std::vector<std::string>().swap(pins_);
    }

protected:
    int queryMicVolume() override { return micVolume; }
    void applyMicVolume(int volume) override { add(micVolumesSet_, volume); }
    void applySpeakerVolume(int volume) override { add(speakerVolumesSet_, volume); }
    void queueUser(std::unique_ptr<UserBean> record) override {
        if (record) {
            add(usersQueued_, *record);
        }
    }
    void leaveConference() override {
        std::lock_guard<std::mutex> lock(mutex_);
        ++leaves_;
    }
    void pinChatSender(const std::string& uri) override { add(pins_, uri); }
    std::string queryParticipantId() override { return participantId; }

private:
    template <typename T>
    T locked(const T& value) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return value;
    }
    template <typename T>
    void add(std::vector<T>& list, T value) {
        std::lock_guard<std::mutex> lock(mutex_);
        list.push_back(std::move(value));
    }

    mutable std::mutex mutex_;
    std::vector<int> micVolumesSet_;
    std::vector<int> speakerVolumesSet_;
    std::vector<UserBean> usersQueued_;
    int leaves_ = 0;
    std::vector<std::string> pins_;
};

}  // namespace fenwixtest

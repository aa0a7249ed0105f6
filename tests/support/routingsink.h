// The controller's routing of request outcomes, reduced to what the backend client's tests need:
// successful replies go by request type to the client's handlers (registration through notice 15
// on the UI thread, as the controller does), everything else is recorded for the test to inspect.
#pragma once

#include <json/json.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "conference/conferencestatusjson.h"
#include "service/fenwixstudentserver.h"
#include "service/fenwixstudentsink.h"
#include "service/mainwindowchannel.h"
#include "service/mainwindowevents.h"
#include "service/replyenvelope.h"
#include "support/backendfixture.h"

namespace fenwixtest {

// The backend client with the conference session's answers given by the test, so the backend
// exchange runs without a conference library.
class TestBackendServer : public FenwixStudentServer {
public:
    std::string endpointId = "endpoint-7";
    bool cameraMutedLocally = false;
    bool cameraMutedByServer = false;
    // A real conference state document (empty statistics) for this terminal.
    std::string conferenceJson = ::buildConferenceStatusJson(ConferenceStatusBean{}, [] {
        ConferenceStatusContext context;
        context.deviceKey = "DSK_TEST";
        context.participantId = "p-1";
        return context;
    }());

protected:
    std::string queryEndpointId() override { return endpointId; }
    std::vector<std::string> queryMicrophoneNames() override { return {}; }
    std::vector<std::string> querySpeakerNames() override { return {}; }
    void selectMicrophoneByName(const std::string&) override {}
    void selectSpeakerByName(const std::string&) override {}
    bool queryCameraMutedLocally() override { return cameraMutedLocally; }
    bool queryCameraMutedByServer() override { return cameraMutedByServer; }
    std::string queryConferenceStatusJson() override { return conferenceJson; }
    std::string queryParticipantId() override { return "p-1"; }
};

class RoutingSink : public FenwixStudentSink {
public:
    RoutingSink(FenwixStudentServer& server, EventRecorder& recorder) : server_(server) {
        recorder.onEvent([this](const SeenEvent& e) {
            if (e.msg == WM_NOTICE && e.wParam == NOTICE_REGISTER_REPLY && e.lParam != 0) {
                const Json::Value payload = *reinterpret_cast<const Json::Value*>(e.lParam);
                server_.onRegisterReply(payload);
            }
        });
        FenwixStudentServer::setSink(this);
    }
    ~RoutingSink() { FenwixStudentServer::setSink(nullptr); }
    RoutingSink(const RoutingSink&) = delete;
    RoutingSink& operator=(const RoutingSink&) = delete;

    void httpFail(int type) override { note("fail", type); }
    void httpBack(const std::string& reply, int type) override {
        BusinessReply parsed;
        if (!readBusinessReply(reply, parsed)) {
            note("unparsable", type);
            return;
        }
        if (parsed.success == ReplySuccess::Missing) {
            note("no-success", type);
            return;
        }
        if (parsed.success == ReplySuccess::Refused) {
            note("refused", type);
            return;
        }
        const Json::Value& payload = parsed.payload;
        switch (type) {
            case 1:
                sendToMainWindow(WM_NOTICE, NOTICE_REGISTER_REPLY,
                                 reinterpret_cast<std::intptr_t>(&payload));
                break;
            case 4:
            case 8:
                server_.onReportReply(payload);
                break;
            case 9:
                server_.onUpdateReply(payload);
                break;
            default:
                break;
        }
        note("back", type);
    }
    void sysRegisterBack(const std::string&) override {}
    void downloadBack(int type) override { note("download", type); }

    // How many outcomes of `kind` ("back", "fail", "download", "refused"...) for `type` so far.
    int count(const std::string& kind, int type) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return countLocked(kind, type);
    }
    // Waits until count(kind, type) >= n; returns the count then.
    int waitFor(const std::string& kind, int type, int n,
                std::chrono::milliseconds timeout = std::chrono::seconds(10)) const {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait_for(lock, timeout, [&] { return countLocked(kind, type) >= n; });
        return countLocked(kind, type);
    }

private:
    int countLocked(const std::string& kind, int type) const {
        int n = 0;
        for (const auto& [k, t] : outcomes_) {
            n += k == kind && t == type ? 1 : 0;
        }
        return n;
    }
    void note(const char* kind, int type) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            outcomes_.emplace_back(kind, type);
        }
        cv_.notify_all();
    }

    FenwixStudentServer& server_;
    mutable std::mutex mutex_;
    mutable std::condition_variable cv_;
    std::vector<std::pair<std::string, int>> outcomes_;
};

}  // namespace fenwixtest

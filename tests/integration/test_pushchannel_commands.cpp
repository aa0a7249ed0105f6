// Push commands end to end in one process: fenwix-sim (strict) queues a command, the push-poll
// client fetches it, the main window's UI thread hands it to the backend client, and the effects
// reach the conference (a recorder here) and the backend's reports. Also the exact request forms
// of the room requests.
#include <gtest/gtest.h>
#include <json/json.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "service/mainwindowevents.h"
#include "service/zorbel.h"
#include "support/backendfixture.h"
#include "support/hookedstudentserver.h"
#include "support/simprocess.h"

using fenwixtest::SeenEvent;
using fenwixtest::SimProcess;

namespace {

using namespace std::chrono_literals;

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 15s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return condition();
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

class PushCommandChannel : public ::testing::Test {
protected:
    PushCommandChannel() : sim_({"--strict", "--hold-ms", "500"}), backend_(sim_.baseUrl()) {
        // What the controller does with event 1027: the payload goes to the push handler.
        events_.onEvent([this](const SeenEvent& e) {
            if (e.msg == WM_PUSH_MESSAGE) {
                Json::Value message;
                const auto* text = reinterpret_cast<const std::string*>(e.lParam);
                if (fenwixtest::simParseJson(*text).isObject()) {
                    message = fenwixtest::simParseJson(*text);
                }
                server_.onPushMessage(message);
            }
        });
        backend_.config().setAppStatus(1);
        backend_.config().setLoginIdle(true);
    }

    ~PushCommandChannel() override {
        zorbel_.reset();
        EXPECT_EQ(sim_.deviations().size(), 0u) << fenwixtest::simJsonText(sim_.deviations());
    }

    void startChannel() {
        zorbel_ = std::make_unique<CZorbel>(server_);
        zorbel_->start();
        // The token is process-wide: wait for a poll of this sim with the current one.
        ASSERT_TRUE(waitUntil([this] {
            const std::string token = CZorbel::token();
            for (const Json::Value& poll : sim_.requests("/api/getData")) {
                if (!token.empty() &&
                    poll["query"].asString() == "token=" + token + "&userid=" + pushKey()) {
                    return true;
                }
            }
            return false;
        }));
    }

    std::string pushKey() const { return backend_.config().getPushKey(); }
    std::string deviceKey() const { return backend_.config().getDeviceKey(); }

    SimProcess sim_;
    fenwixtest::BackendConfig backend_;
    fenwixtest::EventRecorder events_;
    fenwixtest::HookedStudentServer server_;
    std::unique_ptr<CZorbel> zorbel_;
};

TEST_F(PushCommandChannel, VolumeCommandSetsTheMicrophoneAndIsReportedBack) {
    startChannel();
    Json::Value command;
    command["type"] = "desktopRoomCmd";
    command["data"]["fenwixcmd"] = "micVolumnChange";
    command["data"]["volumn"] = "70";
    sim_.push(pushKey(), command);

    ASSERT_TRUE(waitUntil([this] { return !server_.micVolumesSet().empty(); }));
    EXPECT_EQ(server_.micVolumesSet(), (std::vector<int>{70}));
    const Json::Value reports = sim_.waitForRequests("/api/business/app/reportConferenceInfo", 1);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(fenwixtest::simFormValue(reports[0], "deviceKey"), deviceKey());
    EXPECT_EQ(fenwixtest::simFormValue(reports[0], "str"),
              "[{\"from\":1,\"size\":\"70\",\"type\":3}]\n");

    // The unified reports of the channel carry the new volume from then on.
    ASSERT_TRUE(waitUntil([this] {
        const Json::Value unified = sim_.requests("/api/business/app/reportMsg");
        return !unified.empty() &&
               fenwixtest::simFormValue(unified[unified.size() - 1], "micVolumn") == "70";
    }));
}

TEST_F(PushCommandChannel, LoginCommandQueuesTheUserAndReportsTheStatus) {
    startChannel();
    Json::Value command;
    command["type"] = "vLogin";
    command["data"]["roomId"] = "R-3";
    command["data"]["portal"] = sim_.baseUrl();
    command["data"]["username"] = "stu3";
    command["data"]["password"] = "pw3";
    command["data"]["roomKey"] = "K3";
    command["data"]["displayName"] = "三班";
    command["data"]["logintype"] = "1";
    sim_.push(pushKey(), command);

    ASSERT_TRUE(waitUntil([this] { return !server_.usersQueued().empty(); }));
    const UserBean user = server_.usersQueued()[0];
    EXPECT_EQ(user.portal, sim_.baseUrl());
    EXPECT_EQ(user.username, "stu3");
    EXPECT_EQ(user.displayName, "三班");
    EXPECT_EQ(user.guest, 0);
    std::vector<unsigned> codes;
    for (const SeenEvent& e : events_.events()) {
        if (e.msg == WM_NOTICE) {
            codes.push_back(static_cast<unsigned>(e.wParam));
        }
    }
    EXPECT_EQ(codes, (std::vector<unsigned>{NOTICE_UPDATE_STOPPED, NOTICE_LOGIN_BEGINS,
                                            NOTICE_ENTERING_CLASS}));
    const Json::Value reports = sim_.waitForRequests("/api/business/app/reportConferenceInfo", 1);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(fenwixtest::simFormValue(reports[0], "str"),
              "[{\"appStatus\":1,\"from\":0,\"type\":5,\"videoStatus\":\"fixScreened\"}]\n");
    // The unified report names the room from then on.
    ASSERT_TRUE(waitUntil([this] {
        const Json::Value unified = sim_.requests("/api/business/app/reportMsg");
        return !unified.empty() &&
               fenwixtest::simFormValue(unified[unified.size() - 1], "roomId") == "R-3";
    }));
}

TEST_F(PushCommandChannel, RoomRequestsUseTheExactForms) {
    backend_.config().setRoomId("R-8");
    server_.participantId = "42";
    server_.requestPlanRoom();
    server_.sendMicOption(1);

    const Json::Value plan = sim_.waitForRequests("/api/business/desktop/enterRoom", 1);
    ASSERT_EQ(plan.size(), 1u);
    EXPECT_EQ(plan[0]["method"].asString(), "POST");
    EXPECT_EQ(plan[0]["body"].asString(), "deviceKey=" + deviceKey() + std::string(1, '\0'));

    const Json::Value option = sim_.waitForRequests("/api/business/desktop/optionAudio", 1);
    ASSERT_EQ(option.size(), 1u);
    EXPECT_EQ(option[0]["body"].asString(),
              "conferenceId=R-8&participantId=42&audioStatus=1"
              "&deviceKey=" +
                  deviceKey() + std::string(1, '\0'));
}

}  // namespace

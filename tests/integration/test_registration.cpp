// Registration and the update check against the real fenwix-sim in strict mode: the exact forms
// on the wire, the reply applied to the configuration, the identity kept across starts, the logo
// download and replies of the wrong shape.
#include <gtest/gtest.h>
#include <json/json.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/process.h"
#include "service/commonutil.h"
#include "service/fenwixstudentserver.h"
#include "support/backendfixture.h"
#include "support/logcapture.h"
#include "support/routingsink.h"
#include "support/simprocess.h"

namespace {

using namespace std::chrono_literals;
using fenwixtest::BackendConfig;
using fenwixtest::EventRecorder;
using fenwixtest::RoutingSink;
using fenwixtest::SimProcess;
using fenwixtest::TestBackendServer;

std::vector<std::pair<std::string, std::string>> formOf(const Json::Value& request) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const Json::Value& field : request["form"]) {
        out.emplace_back(field["name"].asString(), field["value"].asString());
    }
    return out;
}

std::vector<std::string> namesOf(const Json::Value& request) {
    std::vector<std::string> out;
    for (const auto& [name, value] : formOf(request)) {
        out.push_back(name);
    }
    return out;
}

std::string valueOf(const Json::Value& request, const std::string& name) {
    for (const auto& [n, v] : formOf(request)) {
        if (n == name) {
            return v;
        }
    }
    return "<missing>";
}

class Registration : public ::testing::Test {
protected:
    SimProcess sim{{"--strict"}};
    BackendConfig env{sim.baseUrl()};
    EventRecorder recorder;
    LogCapture log;
    TestBackendServer server;
    RoutingSink sink{server, recorder};

    void TearDown() override {
        EXPECT_EQ(sim.deviations().size(), 0u) << fenwixtest::simJsonText(sim.deviations());
    }

    // Registers and waits until the reply has been handled (notice 0).
    void registerAndWait(std::size_t replies = 1) {
        server.registerDevice();
        ASSERT_EQ(recorder.waitForNotices(NOTICE_REGISTERED, replies, 10s).size(), replies);
    }

    void setRegisterPayload(const Json::Value& payload, bool merge) {
        Json::Value spec;
        spec["path"] = "register";
        spec["payload"] = payload;
        spec["merge"] = merge;
        sim.setBusiness(spec);
    }
};

TEST_F(Registration, SendsTheExactFormAndCompletesWithTheApplicationId) {
    CComConfig& config = env.config();
    ASSERT_TRUE(config.getIsFirst());
    const auto before = static_cast<std::int32_t>(CComConfig::currentTimeMs32());
    registerAndWait();
    const auto after = static_cast<std::int32_t>(CComConfig::currentTimeMs32());

    const Json::Value requests = sim.requests("/api/business/app/register");
    ASSERT_EQ(requests.size(), 1u);
    const Json::Value& request = requests[0];
    EXPECT_EQ(namesOf(request),
              (std::vector<std::string>{"appkey", "devicekey", "uniqueno", "clientversion",
                                        "pushkey", "pushType", "eid", "localTime", "isfirst"}));
    EXPECT_EQ(valueOf(request, "appkey"), config.getAppKey());
    EXPECT_EQ(valueOf(request, "devicekey"), "DSK_BACKEND-TEST-SERIAL");
    EXPECT_EQ(valueOf(request, "uniqueno"), "BACKEND-TEST-SERIAL");
    EXPECT_EQ(valueOf(request, "clientversion"), "20190128");
    EXPECT_EQ(valueOf(request, "pushkey"), config.getPushKey());
    EXPECT_EQ(valueOf(request, "pushType"), "zorbel");
    EXPECT_EQ(valueOf(request, "eid"), "endpoint-7");
    EXPECT_EQ(config.getEid(), "endpoint-7");
    EXPECT_EQ(valueOf(request, "isfirst"), "true");
    const long long localTime = std::stoll(valueOf(request, "localTime"));
    if (before <= after) {  // the 32-bit clock did not wrap meanwhile
        EXPECT_GE(localTime, before);
        EXPECT_LE(localTime, after);
    }

    const Json::Value device = sim.device("DSK_BACKEND-TEST-SERIAL");
    const std::string issuedId = device["applicationId"].asString();
    ASSERT_FALSE(issuedId.empty());
    EXPECT_EQ(config.getApplicationId(), issuedId);
    EXPECT_EQ(recorder.notices(NOTICE_REGISTERED)[0].lParam, 1) << "the sim sends no logo";
    EXPECT_TRUE(log.contains("向服务器注册 uri: " + sim.baseUrl() +
                             "/api/business/app/register   data: appkey="));
    EXPECT_TRUE(log.contains("  devicekey：序列号  type:1"));
}

TEST_F(Registration, AppliesTheIssuedSettings) {
    env.config().setIsPull(true);
    Json::Value setting;
    setting["video"] = 1;
    setting["audioin"] = -1;
    setting["checkaudiooutdriver"] = true;
    setting["checkaudiooutdrivernames"].append("usb");
    setting["checkaudiooutdrivernames"].append("扬声器");
    setting["maxmicvolume"] = 1500;
    setting["defmicvolume"] = 700;
    setting["ispull"] = 0;
    Json::Value payload;
    payload["setting"] = setting;
    setRegisterPayload(payload, true);
    const int audioInBefore = env.config().getAudioInMode();

    registerAndWait();
    const CComConfig& config = env.config();
    EXPECT_EQ(config.getVideoMode(), 1);
    EXPECT_EQ(config.getAudioInMode(), audioInBefore);
    EXPECT_TRUE(config.getCheckAudioOut());
    EXPECT_EQ(config.getAudioOutNames(), (std::vector<std::string>{"usb", "扬声器"}));
    EXPECT_EQ(config.getMaxMicVolume(), 1500);
    EXPECT_EQ(config.getDefMicVolume(), 700);
    EXPECT_FALSE(config.getIsPull());
}

TEST_F(Registration, AdoptedUniqueNumberIsUsedAtOnceAndAfterTheNextStart) {
    Json::Value payload;
    payload["uniqueno"] = "SRV-9";
    setRegisterPayload(payload, true);
    registerAndWait();
    EXPECT_EQ(env.config().getDeviceKey(), "DSK_SRV-9");
    EXPECT_NE(env.storedIdentityFile().find("SRV-9"), std::string::npos);

    server.checkUpdate();
    ASSERT_EQ(sink.waitFor("back", 9, 1), 1);
    EXPECT_EQ(valueOf(sim.requests("/api/business/app/updateVersion")[0], "uniqueno"), "SRV-9");

    sim.clearRequests();
    env.reload();  // the next start of the terminal
    log.lines();
    registerAndWait(2);
    const Json::Value request = sim.requests("/api/business/app/register")[0];
    EXPECT_EQ(valueOf(request, "uniqueno"), "SRV-9");
    EXPECT_EQ(valueOf(request, "devicekey"), "DSK_SRV-9");
    EXPECT_EQ(valueOf(request, "isfirst"), "false");
    EXPECT_TRUE(log.contains("  devicekey：注册表  type:1"));
}

TEST_F(Registration, FailedRequestReachesTheSinkAndChangesNothing) {
    const std::string deviceKey = env.config().getDeviceKey();
    Json::Value reply;
    reply["path"] = "/api/business/app/register";
    reply["status"] = 500;
    reply["body"] = "busy";
    sim.setReply(reply);
    server.registerDevice();
    EXPECT_EQ(sink.waitFor("fail", 1, 1), 1);
    EXPECT_TRUE(recorder.notices(NOTICE_REGISTERED).empty());
    EXPECT_EQ(env.config().getDeviceKey(), deviceKey);
    EXPECT_EQ(env.storedIdentityFile(), "") << "only a successful reply stores the identity";
}

TEST_F(Registration, PayloadOfWrongTypesIsAppliedAsFarAsPossible) {
    Json::Value payload;
    payload["applicationId"] = 12;
    payload["logoUrl"] = Json::Value(Json::arrayValue);
    payload["uniqueno"] = Json::Value();
    payload["setting"]["video"] = "3";
    payload["setting"]["audioout"] = 0;
    payload["setting"]["checkaudioindrivernames"] = "usb";
    setRegisterPayload(payload, false);
    env.config().setVideoMode(2);
    env.config().setAudioOutMode(2);
    registerAndWait();
    EXPECT_EQ(env.config().getApplicationId(), "");
    EXPECT_EQ(env.config().getVideoMode(), 2);
    EXPECT_EQ(env.config().getAudioOutMode(), 0);
    EXPECT_EQ(recorder.notices(NOTICE_REGISTERED)[0].lParam, 1);
}

TEST_F(Registration, LogoIsDownloadedBesideTheProgram) {
    const std::string logo = FenwixStudentServer::logoFilePath();
    std::filesystem::create_directories(std::filesystem::path(logo).parent_path());
    std::remove(logo.c_str());
    Json::Value file;
    file["path"] = "/files/logo.png";
    file["bodyBase64"] = "iVBORw0KGgo=";  // the PNG signature is enough for the transfer
    sim.setReply(file);
    Json::Value payload;
    payload["logoUrl"] = sim.baseUrl() + "/files/logo.png";
    setRegisterPayload(payload, true);

    registerAndWait();
    EXPECT_EQ(recorder.notices(NOTICE_REGISTERED)[0].lParam, 0);
    ASSERT_EQ(sink.waitFor("download", 15, 1), 1);
    EXPECT_EQ(std::filesystem::file_size(logo), 8u);
    EXPECT_TRUE(log.contains("下载logo"));
    std::remove(logo.c_str());
}

TEST_F(Registration, UnreachableLogoIsReportedAsAFailedDownload) {
    Json::Value payload;
    payload["logoUrl"] = sim.baseUrl() + "/files/none.png";
    Json::Value missing;
    missing["path"] = "/files/none.png";
    missing["status"] = 404;
    missing["body"] = "";
    sim.setReply(missing);
    setRegisterPayload(payload, true);
    registerAndWait();
    EXPECT_EQ(sink.waitFor("fail", 15, 1), 1);
    EXPECT_TRUE(log.contains("DownLoading failed"));
}

TEST_F(Registration, UpdateCheckSendsItsFormAndOffersTheInstaller) {
    server.checkUpdate();
    ASSERT_EQ(sink.waitFor("back", 9, 1), 1);
    EXPECT_TRUE(recorder.notices(NOTICE_UPDATE_OFFERED).empty())
        << "the sim offers none by default";
    const Json::Value request = sim.requests("/api/business/app/updateVersion")[0];
    EXPECT_EQ(namesOf(request), (std::vector<std::string>{"appkey", "clientversion", "uniqueno"}));
    EXPECT_EQ(valueOf(request, "clientversion"), "20190128");
    EXPECT_TRUE(log.contains("更新检测 uri: " + sim.baseUrl() + "/api/business/app/updateVersion"));

    Json::Value spec;
    spec["path"] = "updateVersion";
    spec["payload"]["isupdate"] = true;
    spec["payload"]["installUrl"] = sim.baseUrl() + "/files/setup.bin";
    sim.setBusiness(spec);
    server.checkUpdate();
    const auto offers = recorder.waitForNotices(NOTICE_UPDATE_OFFERED, 1, 10s);
    ASSERT_EQ(offers.size(), 1u);
    EXPECT_EQ(offers[0].text, sim.baseUrl() + "/files/setup.bin");
}

}  // namespace

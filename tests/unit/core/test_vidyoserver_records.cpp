#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "conference/vidyoserver.h"
#include "support/fakevidyoclient.h"
#include "support/logcapture.h"

namespace {

using fenwixtest::FakeVidyoCall;
using fenwixtest::FakeVidyoClient;
using Bytes = std::vector<unsigned char>;

std::uint32_t u32At(const Bytes& b, std::size_t offset) {
    std::uint32_t v = 0;
    std::memcpy(&v, b.data() + offset, 4);
    return v;
}

// The text of a field and a check that the field holds nothing after its terminating NUL.
std::string fieldText(const Bytes& b, std::size_t offset, std::size_t width) {
    const char* p = reinterpret_cast<const char*>(b.data() + offset);
    const std::size_t n = strnlen(p, width);
    return std::string(p, n);
}

// Every byte outside the given [offset, offset+length) ranges is zero.
struct Range {
    std::size_t offset;
    std::size_t length;
};
void expectZeroOutside(const Bytes& b, const std::vector<Range>& used) {
    for (std::size_t i = 0; i < b.size(); ++i) {
        bool inside = false;
        for (const auto& r : used) {
            inside = inside || (i >= r.offset && i < r.offset + r.length);
        }
        if (!inside) {
            ASSERT_EQ(b[i], 0) << "byte " << i << " of " << b.size();
        }
    }
}

class VidyoServerRecords : public ::testing::Test {
protected:
    FakeVidyoClient fake;
    VidyoServer server;

    FakeVidyoCall lastEvent() {
        const auto events = fake.callsOf(FakeVidyoCall::kEvent);
        EXPECT_FALSE(events.empty());
        return events.empty() ? FakeVidyoCall{} : events.back();
    }
    FakeVidyoCall lastRequest() {
        const auto requests = fake.callsOf(FakeVidyoCall::kRequest);
        EXPECT_FALSE(requests.empty());
        return requests.empty() ? FakeVidyoCall{} : requests.back();
    }

    void setNames(char (*names)[VIDYO_CLIENT_DEVICE_NAME_SIZE], std::uint32_t& count,
                  const std::vector<std::string>& list) {
        for (std::size_t i = 0; i < list.size(); ++i) {
            std::strncpy(names[i], list[i].c_str(), VIDYO_CLIENT_DEVICE_NAME_SIZE - 1);
        }
        count = static_cast<std::uint32_t>(list.size());
    }

    // Every byte of the record gets a value, so a write-back that loses one is seen.
    void fillConfigurationPattern() {
        auto* bytes = reinterpret_cast<unsigned char*>(&fake.configuration);
        for (std::size_t i = 0; i < sizeof(fake.configuration); ++i) {
            bytes[i] = static_cast<unsigned char>((i * 7 + 3) & 0xFF);
        }
        std::memset(fake.configuration.microphones, 0, sizeof(fake.configuration.microphones));
        std::memset(fake.configuration.speakers, 0, sizeof(fake.configuration.speakers));
        std::memset(fake.configuration.cameras, 0, sizeof(fake.configuration.cameras));
        setNames(fake.configuration.microphones, fake.configuration.numberMicrophones,
                 {"Same as system", "USB Mic", "usb mic"});
        setNames(fake.configuration.speakers, fake.configuration.numberSpeakers,
                 {"Same as system", "Speakers (USB Audio)", "Speakers (USB Audio)"});
        setNames(fake.configuration.cameras, fake.configuration.numberCameras,
                 {"Fenwix Virtual Camera", "HD Webcam"});
        fake.configuration.currentMicrophone = 0;
        fake.configuration.currentSpeaker = 1;
        fake.configuration.currentCamera = 1;
    }
};

// --- initialise and start ----------------------------------------------------------------------

TEST_F(VidyoServerRecords, InitialiseHandsCallbackUserDataAndLogProperties) {
    LogCapture log;
    EXPECT_TRUE(server.initSdk());
    const auto args = fake.initArgs();
    EXPECT_EQ(args.callback, &VidyoServer::outEventHandler);
    EXPECT_EQ(args.userData, "My conference");
    EXPECT_EQ(args.logTexts, (std::vector<std::string>{"debug@App debug@AppEvents", "./log",
                                                       "Vidyo", "./log", ""}));
    EXPECT_EQ(args.logMaxSize, 5000000u);
    EXPECT_TRUE(log.contains("初始化vidyo sdk成功 "));
}

TEST_F(VidyoServerRecords, InitialiseFailureIsFalseAndLogged) {
    LogCapture log;
    fake.initializeResult = VIDYO_CLIENT_FAILED;
    EXPECT_FALSE(server.initSdk());
    EXPECT_TRUE(log.contains("初始化vidyo sdk失败 "));
    // Only exactly 1 counts as success.
    fake.initializeResult = 2;
    EXPECT_FALSE(server.initSdk());
}

TEST_F(VidyoServerRecords, StartPassesWindowRectangleAndStartParameters) {
    LogCapture log;
    fillConfigurationPattern();
    EXPECT_TRUE(server.startSdk(VideoWindow{0x3a00007, 1280, 720}));
    const auto args = fake.startArgs();
    EXPECT_EQ(args.callback, &VidyoServer::outEventHandler);
    EXPECT_EQ(args.userData, "My conference");
    EXPECT_EQ(args.logTexts.size(), 5u);
    EXPECT_EQ(args.window, 0x3a00007u);
    EXPECT_EQ(args.rect.left, 0);
    EXPECT_EQ(args.rect.top, 0);
    EXPECT_EQ(args.rect.width, 1280);
    EXPECT_EQ(args.rect.height, 720);
    EXPECT_EQ(args.reserved, nullptr);
    EXPECT_EQ(args.startTexts, (std::vector<std::string>{"./VidyoLog/", "", "FenwixDesktop",
                                                         "2.3.2.28", "./VidyoLog/", "./VidyoLog/",
                                                         "./VidyoLog/", "./VidyoLog/"}));
    EXPECT_EQ(args.startMaxLog, 65000u);
    EXPECT_EQ(args.startReserved, 0u);
    EXPECT_EQ(args.beginInDock, 0);
    EXPECT_TRUE(log.contains("启动vidyo sdk成功 "));
}

TEST_F(VidyoServerRecords, StartSetsTheTwoOptionsAndKeepsEveryOtherByte) {
    fillConfigurationPattern();
    VidyoClientConfiguration before = fake.configuration;
    ASSERT_TRUE(server.startSdk(VideoWindow{1, 10, 10}));
    const auto requests = fake.callsOf(FakeVidyoCall::kRequest);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].code, 100100u);
    EXPECT_EQ(requests[1].code, 100101u);
    EXPECT_EQ(requests[1].record.size(), 26660u);
    before.startOptionA = 0;
    before.startOptionB = 1;
    EXPECT_EQ(std::memcmp(&before, &fake.configuration, sizeof(before)), 0);
}

TEST_F(VidyoServerRecords, StartFailureAppliesNoConfiguration) {
    LogCapture log;
    fake.startResult = VIDYO_CLIENT_FAILED;
    EXPECT_FALSE(server.startSdk(VideoWindow{1, 10, 10}));
    EXPECT_TRUE(fake.callsOf(FakeVidyoCall::kRequest).empty());
    EXPECT_TRUE(log.contains("启动vidyo sdk失败 "));
}

TEST_F(VidyoServerRecords, StopCountsAnyNonzeroResult) {
    fake.stopResult = 7;
    EXPECT_TRUE(server.stopSdk());
    fake.stopResult = 0;
    EXPECT_FALSE(server.stopSdk());
    server.uninitSdk();
    EXPECT_EQ(fake.callsOf(FakeVidyoCall::kUninitialize).size(), 1u);
}

// --- log-in and room link ----------------------------------------------------------------------

struct TextRecordCase {
    const char* name;
    unsigned int code;
    std::size_t size;
    std::size_t secondOffset;
    std::size_t thirdOffset;
    std::size_t thirdWidth;
    const char* logLine;
};

class TextRecords : public VidyoServerRecords,
                    public ::testing::WithParamInterface<TextRecordCase> {};

TEST_P(TextRecords, FieldsAtTheirOffsetsAndZeroFillElsewhere) {
    LogCapture log;
    const auto& c = GetParam();
    const bool sent = c.code == 1600
                          ? server.login("http://portal.test:8080", "student01", "pa55")
                          : server.linkRoom("http://portal.test:8080", "student01", "pa55");
    EXPECT_TRUE(sent);
    const auto event = lastEvent();
    EXPECT_EQ(event.code, c.code);
    ASSERT_EQ(event.record.size(), c.size);
    EXPECT_EQ(fieldText(event.record, 0, 257), "http://portal.test:8080");
    EXPECT_EQ(fieldText(event.record, c.secondOffset, 128), "student01");
    EXPECT_EQ(fieldText(event.record, c.thirdOffset, c.thirdWidth), "pa55");
    expectZeroOutside(event.record, {{0, 23}, {c.secondOffset, 9}, {c.thirdOffset, 4}});
    EXPECT_TRUE(log.contains(c.logLine));
}

INSTANTIATE_TEST_SUITE_P(Commands, TextRecords,
                         ::testing::Values(TextRecordCase{"Login", 1600, 648, 257, 385, 257,
                                                          "用户: student01开始登录"},
                                           TextRecordCase{"RoomLink", 1604, 604, 257, 385, 128,
                                                          "用户: pa55开始link会议"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(VidyoServerRecords, OverlongTextsAreCutInsideTheirFieldAtACharacterBoundary) {
    std::string longName;
    for (int i = 0; i < 100; ++i) {
        longName += "张";  // three bytes each
    }
    server.linkRoom(std::string(400, 'p'), "key", longName);
    const auto event = lastEvent();
    ASSERT_EQ(event.record.size(), 604u);
    EXPECT_EQ(fieldText(event.record, 0, 257), std::string(256, 'p'));
    EXPECT_EQ(event.record[256], 0);
    const std::string name = fieldText(event.record, 385, 128);
    EXPECT_EQ(name.size(), 126u);  // 42 whole characters fit in 127 bytes
    EXPECT_EQ(name, longName.substr(0, 126));
    EXPECT_EQ(fieldText(event.record, 257, 128), "key");
}

TEST_F(VidyoServerRecords, RefusedCommandReportsFalse) {
    fake.eventResult = VIDYO_CLIENT_FAILED;
    EXPECT_FALSE(server.login("p", "u", "w"));
    EXPECT_FALSE(server.leaveConference());
    EXPECT_FALSE(server.logout());
}

TEST_F(VidyoServerRecords, LeaveAndLogoutCarryNoRecord) {
    LogCapture log;
    EXPECT_TRUE(server.leaveConference());
    EXPECT_TRUE(server.logout());
    const auto events = fake.callsOf(FakeVidyoCall::kEvent);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].code, 201u);
    EXPECT_TRUE(events[0].nullRecord);
    EXPECT_EQ(events[1].code, 1603u);
    EXPECT_TRUE(events[1].nullRecord);
    EXPECT_TRUE(log.contains("开始退出会议"));
    EXPECT_TRUE(log.contains("开始退出登录"));
}

// --- view commands ----------------------------------------------------------------------------

struct PinCase {
    const char* name;
    bool on;
    std::uint32_t mode;
    std::int32_t layout;
};

class PinRecords : public VidyoServerRecords, public ::testing::WithParamInterface<PinCase> {};

TEST_P(PinRecords, PinRecordThenLayout) {
    const auto& c = GetParam();
    server.pinParticipant("teacher@portal.test", c.on);
    const auto events = fake.callsOf(FakeVidyoCall::kEvent);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].code, 1401u);
    ASSERT_EQ(events[0].record.size(), 268u);
    EXPECT_EQ(u32At(events[0].record, 0), 100u);
    EXPECT_EQ(fieldText(events[0].record, 4, 257), "teacher@portal.test");
    EXPECT_EQ(u32At(events[0].record, 264), c.mode);
    expectZeroOutside(events[0].record, {{0, 1}, {4, 19}, {264, 1}});
    EXPECT_EQ(events[1].code, 900u);
    ASSERT_EQ(events[1].record.size(), 4u);
    EXPECT_EQ(static_cast<std::int32_t>(u32At(events[1].record, 0)), c.layout);
}

INSTANTIATE_TEST_SUITE_P(Modes, PinRecords,
                         ::testing::Values(PinCase{"Pin", true, 2, 1},
                                           PinCase{"Release", false, 1, 8}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(VidyoServerRecords, LayoutCarriesTheCallersValue) {
    server.setLayout(1);
    const auto event = lastEvent();
    EXPECT_EQ(event.code, 900u);
    ASSERT_EQ(event.record.size(), 4u);
    EXPECT_EQ(u32At(event.record, 0), 1u);
}

TEST_F(VidyoServerRecords, PreviewModeRecord) {
    LogCapture log;
    for (const bool on : {true, false}) {
        server.setPreviewMode(on);
        const auto event = lastEvent();
        EXPECT_EQ(event.code, 400u);
        ASSERT_EQ(event.record.size(), 8u);
        EXPECT_EQ(u32At(event.record, 0), on ? 2u : 0u);
        EXPECT_EQ(u32At(event.record, 4), 0u);
    }
    EXPECT_TRUE(log.contains("准备设置预览模式: 1"));
    EXPECT_TRUE(log.contains("准备设置预览模式: 0"));
}

struct MuteCase {
    const char* name;
    void (VidyoServer::*mute)(bool);
    unsigned int code;
    const char* logText;
};

class MuteCommands : public VidyoServerRecords, public ::testing::WithParamInterface<MuteCase> {};

TEST_P(MuteCommands, OneByteFlag) {
    LogCapture log;
    const auto& c = GetParam();
    for (const bool on : {true, false}) {
        (server.*c.mute)(on);
        const auto event = lastEvent();
        EXPECT_EQ(event.code, c.code);
        ASSERT_EQ(event.record.size(), 1u);
        EXPECT_EQ(event.record[0], on ? 1 : 0);
        EXPECT_TRUE(log.contains(std::string(c.logText) + (on ? "1" : "0")));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Devices, MuteCommands,
    ::testing::Values(MuteCase{"Microphone", &VidyoServer::muteMicrophone, 500,
                               "准备设置麦克风关闭: "},
                      MuteCase{"Speaker", &VidyoServer::muteSpeaker, 501, "准备设置扬声器关闭: "},
                      MuteCase{"Camera", &VidyoServer::muteCamera, 502, "准备设置摄像头关闭: "}),
    [](const auto& info) { return std::string(info.param.name); });

// --- values read and written by request ---------------------------------------------------------

TEST_F(VidyoServerRecords, VolumesReadAndWritten) {
    LogCapture log;
    fake.setReply(100300, VidyoClientVolume{4321});
    fake.setReply(100302, VidyoClientVolume{32768});
    EXPECT_EQ(server.getMicVolume(), 4321);
    EXPECT_EQ(server.getSpeakerVolume(), 32768);
    EXPECT_TRUE(server.setMicVolume(655));
    auto request = lastRequest();
    EXPECT_EQ(request.code, 100301u);
    ASSERT_EQ(request.record.size(), 4u);
    EXPECT_EQ(u32At(request.record, 0), 655u);
    EXPECT_TRUE(server.setSpeakerVolume(1310));
    request = lastRequest();
    EXPECT_EQ(request.code, 100303u);
    EXPECT_EQ(u32At(request.record, 0), 1310u);
    fake.requestResult = VIDYO_CLIENT_FAILED;
    EXPECT_FALSE(server.setSpeakerVolume(1));
    EXPECT_TRUE(log.contains("获取音频输入音量: 4321"));
    EXPECT_TRUE(log.contains("获取音频输出音量: 32768"));
    EXPECT_TRUE(log.contains("准备设置音频输入音量: 655"));
    EXPECT_TRUE(log.contains("准备设置音频输出音量: 1310"));
}

struct MuteQueryCase {
    const char* name;
    bool (VidyoServer::*query)();
    unsigned int code;
};

class MuteQueries : public VidyoServerRecords,
                    public ::testing::WithParamInterface<MuteQueryCase> {};

TEST_P(MuteQueries, NonzeroByteMeansMuted) {
    const auto& c = GetParam();
    EXPECT_FALSE((server.*c.query)());
    EXPECT_EQ(lastRequest().code, c.code);
    EXPECT_EQ(lastRequest().record, Bytes(1, 0));
    fake.setReply(c.code, VidyoClientMuteState{0x80});
    EXPECT_TRUE((server.*c.query)());
    // Another query's reply does not leak into this one.
    fake.setReply(c.code, VidyoClientMuteState{0});
    EXPECT_FALSE((server.*c.query)());
}

INSTANTIATE_TEST_SUITE_P(
    Queries, MuteQueries,
    ::testing::Values(MuteQueryCase{"MicLocal", &VidyoServer::isMicMutedLocally, 101000},
                      MuteQueryCase{"MicServer", &VidyoServer::isMicMutedByServer, 101003},
                      MuteQueryCase{"CameraLocal", &VidyoServer::isCameraMutedLocally, 101002},
                      MuteQueryCase{"CameraServer", &VidyoServer::isCameraMutedByServer, 101004}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(VidyoServerRecords, EndpointIdAndRouterName) {
    VidyoClientEndpointId id{};
    std::memset(id.id, 'e', sizeof(id.id));  // no terminator: must not read past the field
    fake.setReply(100200, id);
    VidyoClientRouterName router{};
    std::strcpy(router.name, "router-1");
    fake.setReply(101505, router);
    EXPECT_EQ(server.getEndpointId(), std::string(129, 'e'));
    EXPECT_EQ(server.getRouterName(), "router-1");
    const auto requests = fake.callsOf(FakeVidyoCall::kRequest);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].record, Bytes(129, 0));
    EXPECT_EQ(requests[1].record, Bytes(128, 0));
}

// --- devices -----------------------------------------------------------------------------------

TEST_F(VidyoServerRecords, DeviceListsAsManyNamesAsCounted) {
    fillConfigurationPattern();
    const VidyoDeviceLists lists = server.getDeviceLists();
    EXPECT_EQ(lists.microphones,
              (std::vector<std::string>{"Same as system", "USB Mic", "usb mic"}));
    EXPECT_EQ(lists.speakers, (std::vector<std::string>{"Same as system", "Speakers (USB Audio)",
                                                        "Speakers (USB Audio)"}));
    EXPECT_EQ(lists.cameras, (std::vector<std::string>{"Fenwix Virtual Camera", "HD Webcam"}));
    EXPECT_EQ(lists.curMicrophone, 0);
    EXPECT_EQ(lists.curSpeaker, 1);
    EXPECT_EQ(lists.curCamera, 1);
}

TEST_F(VidyoServerRecords, DeviceCountBeyondTheRecordIsBounded) {
    fillConfigurationPattern();
    fake.configuration.numberCameras = 100000;
    EXPECT_EQ(server.getDeviceLists().cameras.size(), 60u);
}

struct SetIndexCase {
    const char* name;
    void (VidyoServer::*set)(int);
    std::size_t offset;
    const char* logText;
};

class SetByIndex : public VidyoServerRecords, public ::testing::WithParamInterface<SetIndexCase> {};

TEST_P(SetByIndex, WritesOnlyTheInUseField) {
    LogCapture log;
    const auto& c = GetParam();
    fillConfigurationPattern();
    Bytes expected(sizeof(fake.configuration));
    std::memcpy(expected.data(), &fake.configuration, expected.size());
    const std::uint32_t index = 2;
    std::memcpy(expected.data() + c.offset, &index, 4);
    (server.*c.set)(2);
    const auto requests = fake.callsOf(FakeVidyoCall::kRequest);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].code, 100100u);
    EXPECT_EQ(requests[1].code, 100101u);
    EXPECT_EQ(requests[1].record, expected);
    EXPECT_TRUE(log.contains(std::string(c.logText) + "2"));
}

INSTANTIATE_TEST_SUITE_P(Devices, SetByIndex,
                         ::testing::Values(SetIndexCase{"Camera", &VidyoServer::setCamera, 23092,
                                                        "准备设置使用的摄像头: "},
                                           SetIndexCase{"Microphone", &VidyoServer::setMicrophone,
                                                        7716, "准备设置使用的麦克风: "},
                                           SetIndexCase{"Speaker", &VidyoServer::setSpeaker, 15404,
                                                        "准备设置使用的扬声器: "}),
                         [](const auto& info) { return std::string(info.param.name); });

struct SetNameCase {
    const char* name;
    bool microphone;
    std::string device;
    int expectIndex;  // -1: nothing written
};

class SetByName : public VidyoServerRecords, public ::testing::WithParamInterface<SetNameCase> {};

TEST_P(SetByName, FirstExactMatchIsWrittenElseNothing) {
    LogCapture log;
    const auto& c = GetParam();
    fillConfigurationPattern();
    const VidyoClientConfiguration before = fake.configuration;
    if (c.microphone) {
        server.setMicrophoneByName(c.device);
    } else {
        server.setSpeakerByName(c.device);
    }
    const auto requests = fake.callsOf(FakeVidyoCall::kRequest);
    const std::string prefix = c.microphone ? "准备设置使用的麦克风: " : "准备设置使用的扬声器: ";
    EXPECT_TRUE(log.contains(prefix + c.device));
    if (c.expectIndex < 0) {
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(std::memcmp(&before, &fake.configuration, sizeof(before)), 0);
        EXPECT_FALSE(log.contains(c.microphone ? "mic index = " : "speaker index = "));
        return;
    }
    ASSERT_EQ(requests.size(), 2u);
    VidyoClientConfiguration expected = before;
    (c.microphone ? expected.currentMicrophone : expected.currentSpeaker) =
        static_cast<std::uint32_t>(c.expectIndex);
    EXPECT_EQ(std::memcmp(&expected, &fake.configuration, sizeof(expected)), 0);
    EXPECT_TRUE(log.contains((c.microphone ? "mic index = " : "speaker index = ") +
                             std::to_string(c.expectIndex)));
}

INSTANTIATE_TEST_SUITE_P(
    Names, SetByName,
    ::testing::Values(SetNameCase{"MicExact", true, "USB Mic", 1},
                      SetNameCase{"MicLowerCaseIsItsOwnEntry", true, "usb mic", 2},
                      SetNameCase{"MicCaseDiffers", true, "USB MIC", -1},
                      SetNameCase{"MicPrefixOnly", true, "USB", -1},
                      SetNameCase{"SpeakerFirstOfTwoEqual", false, "Speakers (USB Audio)", 1},
                      SetNameCase{"SpeakerUnknown", false, "HDMI", -1},
                      SetNameCase{"EmptyNameMatchesNoSlot", false, "", -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(VidyoServerRecords, UnreadableConfigurationIsNeverWrittenBack) {
    fillConfigurationPattern();
    const VidyoClientConfiguration before = fake.configuration;
    fake.failConfigurationRead = true;
    server.setCamera(0);
    server.setMicrophoneByName("USB Mic");
    server.applyStartConfiguration();
    const VidyoDeviceLists lists = server.getDeviceLists();
    for (const auto& call : fake.callsOf(FakeVidyoCall::kRequest)) {
        EXPECT_NE(call.code, 100101u);
    }
    EXPECT_EQ(std::memcmp(&before, &fake.configuration, sizeof(before)), 0);
    EXPECT_TRUE(lists.cameras.empty());
    EXPECT_EQ(lists.curCamera, -1);
}

// --- participants and statistics ---------------------------------------------------------------

void setEntry(VidyoClientParticipantEntry& e, const std::string& uri, const std::string& name) {
    std::strncpy(e.uri, uri.c_str(), sizeof(e.uri) - 1);
    std::strncpy(e.name, name.c_str(), sizeof(e.name) - 1);
}

TEST_F(VidyoServerRecords, ParticipantIdOfTheOwnNameFromItsDetail) {
    LogCapture log;
    VidyoClientOwnParticipant own{};
    std::strcpy(own.name, "教室一");
    fake.setReply(101500, own);
    auto list = std::make_unique<VidyoClientParticipantList>();
    std::memset(list.get(), 0, sizeof(*list));
    list->numberParticipants = 3;
    setEntry(list->entries[0], "teacher@p", "张老师");
    setEntry(list->entries[1], "room1@p", "教室一");
    setEntry(list->entries[2], "room1b@p", "教室一");
    fake.setReply(101613, *list);
    VidyoClientParticipantDetail detail{};
    std::strcpy(detail.name, "教室一");
    std::strcpy(detail.participantId, "PID-777");
    fake.setReply(101614, detail);

    EXPECT_EQ(server.getParticipantId(), "PID-777");
    const auto requests = fake.callsOf(FakeVidyoCall::kRequest);
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].code, 101500u);
    EXPECT_EQ(requests[0].record.size(), 870u);
    EXPECT_EQ(requests[1].code, 101613u);
    EXPECT_EQ(requests[1].record.size(), 55304u);
    EXPECT_EQ(requests[2].code, 101614u);
    ASSERT_EQ(requests[2].record.size(), 660u);
    EXPECT_EQ(u32At(requests[2].record, 0), 1u);  // the first equal entry
    expectZeroOutside(requests[2].record, {{0, 4}});
    EXPECT_TRUE(log.contains("STATISTICS_LIST 总人数= 3"));
    EXPECT_TRUE(log.contains("用户=张老师  当前=教室一"));
    EXPECT_TRUE(log.contains("用户=教室一 participantID=PID-777"));
    EXPECT_EQ(log.count("  当前="), 2u) << "the walk stops at the first equal name";
}

TEST_F(VidyoServerRecords, ParticipantIdWithoutOwnEntryIsMinusOne) {
    LogCapture log;
    EXPECT_EQ(server.getParticipantId(), "-1");
    EXPECT_TRUE(log.contains("STATISTICS_LIST 总人数= 0"));
    for (const auto& call : fake.callsOf(FakeVidyoCall::kRequest)) {
        EXPECT_NE(call.code, 101614u);
    }
}

TEST_F(VidyoServerRecords, ParticipantCountBeyondTheRecordIsBounded) {
    auto list = std::make_unique<VidyoClientParticipantList>();
    std::memset(list.get(), 0, sizeof(*list));
    list->numberParticipants = 0xFFFFFFFF;
    fake.setReply(101613, *list);
    VidyoClientOwnParticipant own{};
    std::strcpy(own.name, "not listed");
    fake.setReply(101500, own);
    EXPECT_EQ(server.getParticipantId(), "-1");
    ConferenceStatusBean status;
    server.getConferenceStatistics(status);
    EXPECT_EQ(status.rateList.size(), 128u);
}

TEST_F(VidyoServerRecords, StatisticsFromTheirWordsAndEntries) {
    std::uint32_t words[16];
    for (std::uint32_t i = 0; i < 16; ++i) {
        words[i] = 100 + i;
    }
    VidyoClientBandwidthInfo bw{};
    std::memcpy(&bw, words, sizeof(bw));
    fake.setReply(101602, bw);
    VidyoClientLocalVideoInfo video{};
    std::memcpy(&video, words, sizeof(video));
    fake.setReply(101603, video);
    VidyoClientFrameRateInfo rates{};
    std::memcpy(&rates, words, sizeof(rates));
    fake.setReply(101604, rates);
    fake.setReply(101607, VidyoClientCpuUsage{37});
    auto list = std::make_unique<VidyoClientParticipantList>();
    std::memset(list.get(), 0, sizeof(*list));
    list->numberParticipants = 2;
    setEntry(list->entries[0], "a@p", "A");
    setEntry(list->entries[1], "teacher@p", "张老师");
    auto& e = list->entries[1];
    e.width = 1920;
    e.height = 1080;
    e.videoKBitsPerSecRecv = 900;
    e.audioKBitsPerSecRecv = 48;
    e.videoFrameRate = 30;
    e.videoDecodedFrameRate = 29;
    e.videoDisplayedFrameRate = 28;
    fake.setReply(101613, *list);

    ConferenceStatusBean status;
    status.rateList.resize(5);  // stale entries are dropped
    server.getConferenceStatistics(status);

    EXPECT_EQ(status.cpu, 37);
    EXPECT_EQ(status.videoWidth, 102);
    EXPECT_EQ(status.videoHeight, 103);
    EXPECT_EQ(status.videoCapture, 100);
    EXPECT_EQ(status.videoSend, 102);
    EXPECT_EQ(status.availSendBwMax, 103);
    EXPECT_EQ(status.actualSendBwVideo, 104);
    EXPECT_EQ(status.actualSendBwAudio, 105);
    EXPECT_EQ(status.actualSendBwApplication, 106);
    EXPECT_EQ(status.actualSendBwMax, 107);
    EXPECT_EQ(status.availRecvBwMax, 111);
    EXPECT_EQ(status.actualRecvBwVideo, 112);
    EXPECT_EQ(status.actualRecvBwAudio, 113);
    EXPECT_EQ(status.actualRecvBwApplication, 114);
    EXPECT_EQ(status.actualRecvBwMax, 115);
    ASSERT_EQ(status.rateList.size(), 2u);
    EXPECT_EQ(status.rateList[0].uri, "a@p");
    const auto& r = status.rateList[1];
    EXPECT_EQ(r.uri, "teacher@p");
    EXPECT_EQ(r.name, "张老师");
    EXPECT_EQ(r.width, 1920);
    EXPECT_EQ(r.height, 1080);
    EXPECT_EQ(r.videoKBitsPerSecRecv, 900);
    EXPECT_EQ(r.audioKBitsPerSecRecv, 48);
    EXPECT_EQ(r.videoFrameRate, 30);
    EXPECT_EQ(r.videoDecodedFrameRate, 29);
    EXPECT_EQ(r.videoDisplayedFrameRate, 28);

    // Five requests in order, each with a zero-filled record of its size.
    const auto requests = fake.callsOf(FakeVidyoCall::kRequest);
    const std::vector<std::pair<unsigned int, std::size_t>> expected = {
        {101607, 4}, {101602, 64}, {101603, 16}, {101604, 12}, {101613, 55304}};
    ASSERT_EQ(requests.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(requests[i].code, expected[i].first);
        EXPECT_EQ(requests[i].record, Bytes(expected[i].second, 0)) << requests[i].code;
    }
}

TEST_F(VidyoServerRecords, StatisticsUnansweredLeaveZeros) {
    fake.requestResult = VIDYO_CLIENT_FAILED;
    ConferenceStatusBean status;
    server.getConferenceStatistics(status);
    EXPECT_EQ(status.cpu, 0);
    EXPECT_EQ(status.actualRecvBwMax, 0);
    EXPECT_TRUE(status.rateList.empty());
}

}  // namespace

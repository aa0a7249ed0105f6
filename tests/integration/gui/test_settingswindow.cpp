// The settings window against the real conference library, a private sound server and the real
// fenwix-sim: device choices and volumes reach the library and the backend, and the statistics
// page follows a running class.
#include <gtest/gtest.h>
#include <json/json.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "conference/conferencestatusbean.h"
#include "conference/vidyoserver.h"
#include "service/commonutil.h"
#include "service/fenwixstudentserver.h"
#include "service/mainwindowevents.h"
#include "support/backendfixture.h"
#include "support/pulsedaemon.h"
#include "support/simprocess.h"
#include "ui/tabinfodlg.h"
#include "ui/tabsetdlg.h"
#include "ui/vidyosetdlg.h"

namespace {

using namespace std::chrono_literals;
using fenwixtest::BackendConfig;
using fenwixtest::EventRecorder;
using fenwixtest::SimProcess;

const char kReportPath[] = "/api/business/app/reportConferenceInfo";

// Pumps the window system until `done` holds or the time is up.
bool eventually(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

std::string current(const std::vector<std::string>& names, int index) {
    return index >= 0 && index < static_cast<int>(names.size()) ? names[index] : "";
}

void keepScreenshot(QWidget& window, const char* name) {
    const char* artifacts = std::getenv("FENWIX_ARTIFACTS");
    if (artifacts != nullptr && *artifacts != '\0') {
        QDir().mkpath(QString::fromLocal8Bit(artifacts));
        window.grab().save(QString::fromLocal8Bit(artifacts) + "/" + name);
    }
}

// The "str" field of each dynamic-information report the sim received.
std::vector<std::string> reportTexts(const Json::Value& requests) {
    std::vector<std::string> out;
    for (const Json::Value& request : requests) {
        for (const Json::Value& field : request["form"]) {
            if (field["name"].asString() == "str") {
                out.push_back(field["value"].asString());
            }
        }
    }
    return out;
}

class SettingsWindow : public ::testing::Test {
protected:
    void TearDown() override {
        if (started_) {
            server.destroyVidyo();
        }
    }

    void start(const VideoWindow& window = VideoWindow{}) {
        ASSERT_TRUE(server.initVidyo(window));
        started_ = true;
    }

    // Logs in and joins room1 through the sim's portal.
    void joinClass() {
        auto user = std::make_unique<UserBean>();
        user->username = "student1";
        user->password = "pw";
        user->displayName = "一号教室";
        user->gDisplayName = "一号教室访客";
        user->roomKey = "room1";
        user->portal = sim.baseUrl();
        server.pushUser(std::move(user));
        ASSERT_TRUE(eventually([&] {
            for (const auto& e : recorder.events()) {
                if (e.msg == WM_CONF_JOINED) {
                    return true;
                }
            }
            return false;
        })) << "never joined";
    }

    // The window as the controller opens it, without its modal loop.
    std::unique_ptr<CVidyoSetDlg> open() {
        auto dialog = std::make_unique<CVidyoSetDlg>();
        dialog->SetServer(&server);
        EXPECT_TRUE(dialog->OnInitDialog());
        dialog->show();
        return dialog;
    }

    fenwixtest::PulseDaemon pulse;  // before the library, which reads the sound server
    SimProcess sim;
    BackendConfig env{sim.baseUrl()};
    EventRecorder recorder;
    FenwixStudentServer server;

private:
    bool started_ = false;
};

TEST_F(SettingsWindow, SameAsSystemShowsAndAppliesTheDefaultDevicesByName) {
    pulse.addSource("Desk Microphone");
    const std::string usbMic = pulse.addSource("USB Microphone");
    pulse.pactl({"set-default-source", usbMic});
    pulse.addSink("Speakers (USB Audio)");
    const std::string hdmi = pulse.addSink("HDMI Output");
    pulse.pactl({"set-default-sink", hdmi});
    start();
    const VidyoDeviceLists before = server.getDeviceLists();
    ASSERT_EQ(current(before.microphones, before.curMicrophone), "Same as system");
    ASSERT_EQ(current(before.speakers, before.curSpeaker), "Same as system");

    auto dialog = open();
    CTabSetDlg* page = dialog->devicePage();
    EXPECT_EQ(page->microphoneList()->currentText().toStdString(), "USB Microphone");
    EXPECT_EQ(page->speakerList()->currentText().toStdString(), "HDMI Output");
    EXPECT_EQ(page->microphoneList()->findText("Same as system"), -1) << "not offered";
    EXPECT_EQ(page->speakerList()->count(), 2);

    const VidyoDeviceLists after = server.getDeviceLists();
    EXPECT_EQ(current(after.microphones, after.curMicrophone), "USB Microphone");
    EXPECT_EQ(current(after.speakers, after.curSpeaker), "HDMI Output");
    keepScreenshot(*dialog, "settings-devices.png");
}

TEST_F(SettingsWindow, ASelectionChangeReachesTheLibrary) {
    pulse.addSource("Desk Microphone");
    pulse.addSource("USB Microphone");
    pulse.addSink("Speakers (USB Audio)");
    pulse.addSink("HDMI Output");
    start();
    auto dialog = open();
    CTabSetDlg* page = dialog->devicePage();

    struct Case {
        QComboBox* list;
        const char* name;
        std::function<std::string()> inUse;
    };
    const Case cases[] = {
        {page->microphoneList(), "Desk Microphone",
         [&] {
             const VidyoDeviceLists l = server.getDeviceLists();
             return current(l.microphones, l.curMicrophone);
         }},
        {page->speakerList(), "Speakers (USB Audio)",
         [&] {
             const VidyoDeviceLists l = server.getDeviceLists();
             return current(l.speakers, l.curSpeaker);
         }},
    };
    for (const Case& c : cases) {
        const int index = c.list->findText(QString::fromUtf8(c.name));
        ASSERT_GE(index, 0) << c.name;
        c.list->setCurrentIndex(index);
        EXPECT_EQ(c.inUse(), c.name);
    }
}

TEST_F(SettingsWindow, WithoutSoundDevicesTheListsStayEmptyAndNothingIsApplied) {
    start();
    auto dialog = open();
    CTabSetDlg* page = dialog->devicePage();
    EXPECT_EQ(page->microphoneList()->currentIndex(), -1);
    EXPECT_EQ(page->speakerList()->currentIndex(), -1);
    const VidyoDeviceLists lists = server.getDeviceLists();
    EXPECT_EQ(current(lists.speakers, lists.curSpeaker), "Same as system") << "left as it was";
}

TEST_F(SettingsWindow, SpeakerVolumeIsAppliedStoredAndReportedOnlyWhenTheMovementEnds) {
    start();
    ASSERT_TRUE(server.setSpeakerVolume(1000));
    env.config().setSpeakerVolume(1000);
    auto dialog = open();
    QSlider* slider = dialog->devicePage()->speakerSlider();
    ASSERT_EQ(slider->maximum(), 65536);
    ASSERT_EQ(slider->value(), 1000);

    // A drag: the handle held and moved through several positions.
    slider->setSliderDown(true);
    for (const int position : {10000, 20000, 32768}) {
        slider->setSliderPosition(position);
        QApplication::processEvents();
    }
    EXPECT_EQ(server.getSpeakerVolume(), 1000) << "not applied while dragging";
    EXPECT_EQ(env.config().getSpeakerVolume(), 1000);

    slider->setSliderDown(false);  // let go at 32768
    EXPECT_EQ(server.getSpeakerVolume(), 32768);
    EXPECT_EQ(env.config().getSpeakerVolume(), 32768);
    ASSERT_EQ(sim.waitForRequests(kReportPath, 1).size(), 1u);
    // A report sent behind it shows that nothing else was queued before it.
    server.reportDynamicInfoSync("[{\"marker\":1}]\n");
    EXPECT_EQ(reportTexts(sim.requests(kReportPath)),
              (std::vector<std::string>{"[{\"from\":0,\"size\":32768,\"type\":4}]\n",
                                        "[{\"marker\":1}]\n"}));
}

TEST_F(SettingsWindow, MicrophoneSliderIsHiddenButAppliesAtTheEndOfAKeyMovement) {
    start();
    env.config().setMicVolume(30000);
    auto dialog = open();
    QSlider* slider = dialog->devicePage()->microphoneSlider();
    EXPECT_FALSE(slider->isVisible());
    ASSERT_EQ(slider->value(), 30000);
    QTest::keyClick(slider, Qt::Key_Right);  // one step, released
    EXPECT_EQ(server.getMicVolume(), 30001);
    EXPECT_EQ(env.config().getMicVolume(), 30001);
    server.reportDynamicInfoSync("[{\"marker\":1}]\n");
    EXPECT_EQ(reportTexts(sim.requests(kReportPath)),
              (std::vector<std::string>{"[{\"marker\":1}]\n"}))
        << "only the speaker volume is reported";
}

// A class under way: the session logged in and joined through the sim's portal, drawing into
// a real window, with the screen fixed on the teacher.
TEST_F(SettingsWindow, StatisticsPageShowsTheFixedTeachersRowAndFollowsTheClass) {
    QWidget video;
    video.setAttribute(Qt::WA_NativeWindow);
    video.resize(640, 360);
    video.show();
    start(VideoWindow{static_cast<std::uintptr_t>(video.winId()), 640, 360});
    ASSERT_NO_FATAL_FAILURE(joinClass());
    const std::string teacher = "teacher.room1@fenwix-sim";
    server.pinParticipant(teacher, true);
    server.setChatSenderUri(teacher);

    auto dialog = open();
    dialog->tabs()->setCurrentIndex(1);
    CTabInfoDlg* page = dialog->statisticsPage();
    ASSERT_TRUE(page->refreshing());
    ASSERT_TRUE(eventually([&] { return page->participantList()->topLevelItemCount() == 1; }))
        << "the teacher's row never appeared";
    QTreeWidgetItem* row = page->participantList()->topLevelItem(0);
    EXPECT_EQ(row->text(0).toStdString(), "张老师");
    EXPECT_EQ(row->text(1).toStdString(), "1280*720");
    EXPECT_EQ(page->participantGroup()->title().toStdString(), "会议室人数");
    EXPECT_EQ(page->staticText(1035).toStdString(), "1280 * 720");
    EXPECT_EQ(page->staticText(1036).toStdString(), "30 / 30");
    EXPECT_EQ(page->staticText(1037).toStdString(), env.config().getPortal());
    EXPECT_EQ(page->staticText(1040).toStdString(), env.config().getDeviceKey());
    // The library draws the teacher, so frames are displayed (capped by what is decoded).
    ASSERT_TRUE(eventually([&] {
        const QStringList rates = page->participantList()->topLevelItem(0)->text(2).split('/');
        return rates.size() == 3 && rates[1].toInt() > 0 && rates[1].toInt() <= 30;
    })) << page->participantList()->topLevelItem(0)->text(2).toStdString();

    Json::Value rates;
    rates["roomKey"] = "room1";
    rates["width"] = 1920;
    rates["height"] = 1080;
    rates["videoKBitsPerSecRecv"] = 2500;
    rates["audioKBitsPerSecRecv"] = 64;
    sim.admin("POST", "/admin/portal/rates", rates);
    ASSERT_TRUE(eventually([&] {
        return page->participantList()->topLevelItemCount() == 1 &&
               page->participantList()->topLevelItem(0)->text(1) == "1920*1080";
    })) << "the page does not follow the portal's rates";
    EXPECT_EQ(page->staticText(1031).toStdString(), "2500");
    EXPECT_EQ(page->staticText(1032).toStdString(), "64");
    EXPECT_EQ(page->staticText(1027).toStdString(), "2564");
    keepScreenshot(*dialog, "settings-statistics.png");

    const QString previous = QDir::currentPath();
    QDir::setCurrent(QStringLiteral(FENWIX_APP_DIR));  // where the pictures are drawn
    dialog->tabs()->setCurrentIndex(2);
    EXPECT_TRUE(page->refreshing()) << "keeps refreshing behind another page";
    QApplication::processEvents();
    keepScreenshot(*dialog, "settings-about.png");
    QDir::setCurrent(previous);
}

TEST_F(SettingsWindow, AParticipantNameThatIsNotUtf8IsShownAsFarAsItReads) {
    start();
    ASSERT_NO_FATAL_FAILURE(joinClass());
    const std::string broken = "\xe5\xbc\xff\xfe老师";  // a cut character, then stray bytes
    Json::Value participant;
    participant["roomKey"] = "room1";
    participant["name"] = broken;
    participant["uri"] = "odd@room1";
    sim.admin("POST", "/admin/portal/participants", participant);
    server.setChatSenderUri("odd@room1");
    ASSERT_TRUE(eventually([&] {
        ConferenceStatusBean record;
        server.getConferenceStatistics(record);
        for (const auto& bean : record.rateList) {
            if (bean.uri == "odd@room1") {
                return bean.name == broken;  // the bytes reach the terminal as sent
            }
        }
        return false;
    }));
    auto dialog = open();
    CTabInfoDlg* page = dialog->statisticsPage();
    page->OnTimer();
    ASSERT_EQ(page->participantList()->topLevelItemCount(), 1);
    const QString shown = page->participantList()->topLevelItem(0)->text(0);
    EXPECT_TRUE(shown.endsWith(QStringLiteral("老师"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QChar::ReplacementCharacter)) << shown.toStdString();
}

TEST_F(SettingsWindow, StatisticsPageWithoutTheFixedParticipantLeavesTheListEmpty) {
    start();
    auto dialog = open();
    CTabInfoDlg* page = dialog->statisticsPage();
    page->OnTimer();
    EXPECT_EQ(page->participantList()->topLevelItemCount(), 0);
    EXPECT_EQ(page->staticText(1024).toStdString(), "0") << "outside a class only zeros";
    EXPECT_EQ(page->staticText(1034).right(1).toStdString(), "%");
}

}  // namespace

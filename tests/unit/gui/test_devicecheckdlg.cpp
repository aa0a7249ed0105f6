// The device check window: its layout in dialog units, the preselection of the names handed in,
// the names it hands back, the camera button's filtering of repeats and the order in which it
// takes its tests, meters and camera preview down.
#include "ui/devicecheckdlg.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <memory>
#include <string>
#include <vector>

#include "logging/log4z.h"
#include "support/logcapture.h"
#include "ui/dialogunits.h"
#include "ui/myspectrumctrl.h"

namespace {

using fenwix::devices::SoundDeviceEntry;

// The camera library's calls, in order.
struct CameraCalls {
    std::vector<std::string> calls;
};

class FakeCameras : public CameraLibrary {
public:
    FakeCameras(std::vector<std::string> names, CameraCalls& calls)
        : names_(std::move(names)), calls_(calls) {}
    std::vector<std::string> CaptureVideoEnumDevices() override {
        calls_.calls.push_back("enum");
        return names_;
    }
    void CaptureVideoInit(int index, std::uintptr_t window) override {
        calls_.calls.push_back("init " + std::to_string(index) + (window != 0 ? " window" : ""));
    }
    void CaptureVideoUnInit() override {
        calls_.calls.push_back("uninit");
        LOGI("camera preview ended");  // shows where the end comes in the window's log lines
    }

private:
    std::vector<std::string> names_;
    CameraCalls& calls_;
};

// Fixed device lists; streams are never opened by these tests.
class FakeSound : public fenwix::devices::SoundServer {
public:
    std::optional<std::vector<SoundDeviceEntry>> recordingDevices() override {
        return std::vector<SoundDeviceEntry>{{"Microphone (USB Audio)", "mic"},
                                             {"Line In", "line"}};
    }
    std::optional<std::vector<SoundDeviceEntry>> playbackDevices() override {
        return std::vector<SoundDeviceEntry>{{"Headphones", "hp"}, {"Speakers (USB Audio)", "spk"}};
    }
    std::shared_ptr<fenwix::devices::CaptureStream> newCaptureStream() override { return {}; }
    std::shared_ptr<fenwix::devices::PlaybackStream> newPlaybackStream() override { return {}; }
};

class DeviceCheckWindow : public ::testing::Test {
protected:
    std::unique_ptr<CDeviceCheckDlg> open(const std::string& camera, const std::string& mic,
                                          const std::string& speaker,
                                          std::vector<std::string> cameras = {
                                              "USB Camera", "Fenwix Virtual Camera"}) {
        auto dlg = std::make_unique<CDeviceCheckDlg>(
            nullptr, std::make_unique<FakeCameras>(std::move(cameras), calls),
            std::make_shared<FakeSound>());
        dlg->SetDevices(camera, mic, speaker);
        dlg->OnInitDialog();
        dlg->show();
        return dlg;
    }

    static QComboBox* list(CDeviceCheckDlg& dlg, unsigned id) {
        return qobject_cast<QComboBox*>(dlg.control(id));
    }

    static void click(CDeviceCheckDlg& dlg, unsigned id) {
        qobject_cast<QPushButton*>(dlg.control(id))->click();
    }

    CameraCalls calls;
    LogCapture log;
};

struct Place {
    unsigned id;
    int x, y, w, h;
};

TEST_F(DeviceCheckWindow, PlacesItsControlsByDialogUnits) {
    auto dlg = open("", "", "");
    const QFont font = dlg->font();
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("设备检查"));
    EXPECT_EQ(dlg->size(), dialogUnitsToPixels(font, 355, 273));
    const std::vector<Place> places = {
        {CDeviceCheckDlg::IDC_CAMERA_CHECK, 17, 43, 43, 14},
        {CDeviceCheckDlg::IDC_CAMERA_PREVIEW, 165, 16, 156, 88},
        {CDeviceCheckDlg::IDC_MIC_CHECK, 17, 156, 43, 14},
        {CDeviceCheckDlg::IDC_MIC_METER_PLACE, 165, 137, 156, 11},
        {CDeviceCheckDlg::IDC_SPEAKER_CHECK, 17, 234, 43, 14},
        {CDeviceCheckDlg::IDC_SPEAKER_METER_PLACE, 165, 215, 156, 11},
    };
    for (const Place& p : places) {
        EXPECT_EQ(dlg->control(p.id)->geometry(), dialogUnitsToRect(font, p.x, p.y, p.w, p.h))
            << p.id;
    }
    for (unsigned id : {CDeviceCheckDlg::IDC_CAMERA_LIST, CDeviceCheckDlg::IDC_MIC_LIST,
                        CDeviceCheckDlg::IDC_SPEAKER_LIST}) {
        EXPECT_FALSE(list(*dlg, id)->isEditable()) << id;
    }
    // The meters lie over their places.
    EXPECT_EQ(dlg->microphoneMeter()->geometry(),
              dlg->control(CDeviceCheckDlg::IDC_MIC_METER_PLACE)->geometry());
    EXPECT_EQ(dlg->speakerMeter()->geometry(),
              dlg->control(CDeviceCheckDlg::IDC_SPEAKER_METER_PLACE)->geometry());
    QStringList titles;
    for (auto* group : dlg->findChildren<QGroupBox*>()) {
        titles << group->title();
    }
    EXPECT_EQ(titles, (QStringList{"摄像头", "麦克风", "扬声器"}));
}

struct PreselectCase {
    const char* label;
    const char* stored;
    int index;  // in the speaker list: Headphones, Speakers (USB Audio)
};

class Preselection : public DeviceCheckWindow,
                     public ::testing::WithParamInterface<PreselectCase> {};

TEST_P(Preselection, SelectsTheFirstEntryBeginningWithTheNameIgnoringCase) {
    const PreselectCase& c = GetParam();
    auto dlg = open("", "", c.stored);
    QComboBox* speakers = list(*dlg, CDeviceCheckDlg::IDC_SPEAKER_LIST);
    EXPECT_EQ(speakers->currentIndex(), c.index);
    if (c.index < 0) {
        EXPECT_TRUE(speakers->currentText().isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(Names, Preselection,
                         ::testing::Values(PreselectCase{"Whole", "Speakers (USB Audio)", 1},
                                           PreselectCase{"Prefix", "Speakers (USB", 1},
                                           PreselectCase{"OtherCase", "speakers", 1},
                                           PreselectCase{"NotAPrefix", "USB Audio", -1},
                                           PreselectCase{"Longer", "Headphones 2", -1}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(DeviceCheckWindow, HandsBackTheStoredNamesUnlessAPersonChoseAnother) {
    auto dlg = open("Fenwix", "Nothing like it", "Speakers");
    list(*dlg, CDeviceCheckDlg::IDC_SPEAKER_LIST)->setCurrentIndex(0);
    std::string camera, mic, speaker;
    dlg->GetDevices(camera, mic, speaker);
    EXPECT_EQ(camera, "Fenwix");  // preselected, not changed: the stored prefix stays
    EXPECT_EQ(mic, "Nothing like it");
    EXPECT_EQ(speaker, "Headphones");
}

TEST_F(DeviceCheckWindow, TheCameraButtonStartsEachChosenCameraOnce) {
    auto dlg = open("USB", "", "");
    click(*dlg, CDeviceCheckDlg::IDC_CAMERA_CHECK);
    click(*dlg, CDeviceCheckDlg::IDC_CAMERA_CHECK);
    list(*dlg, CDeviceCheckDlg::IDC_CAMERA_LIST)->setCurrentIndex(1);
    click(*dlg, CDeviceCheckDlg::IDC_CAMERA_CHECK);
    EXPECT_EQ(calls.calls, (std::vector<std::string>{"enum", "init 0 window", "init 1 window"}));
}

TEST_F(DeviceCheckWindow, WithoutCamerasTheCameraButtonDoesNothing) {
    auto dlg = open("USB", "", "", {});
    click(*dlg, CDeviceCheckDlg::IDC_CAMERA_CHECK);
    dlg.reset();
    EXPECT_EQ(calls.calls, (std::vector<std::string>{"enum", "uninit"}));
}

TEST_F(DeviceCheckWindow, GoesDownTestsFirstThenMetersThenThePreview) {
    auto dlg = open("", "", "");
    dlg.reset();
    std::vector<std::string> order;
    for (const auto& line : log.lines()) {
        for (const char* text :
             {"CDeviceCheckDlg::~CDeviceCheckDlg() start", "CDirectSound::~CDirectSound()",
              "CDirectSoundAudioIn::~CDirectSoundAudioIn", "audio in specturm delete",
              "audio out specturm delete", "camera preview ended",
              "CDeviceCheckDlg::~CDeviceCheckDlg() finish"}) {
            if (line.find(text) != std::string::npos) {
                order.emplace_back(text);
            }
        }
    }
    EXPECT_EQ(order,
              (std::vector<std::string>{
                  "CDeviceCheckDlg::~CDeviceCheckDlg() start", "CDirectSound::~CDirectSound()",
                  "CDirectSoundAudioIn::~CDirectSoundAudioIn", "audio in specturm delete",
                  "audio out specturm delete", "camera preview ended",
                  "CDeviceCheckDlg::~CDeviceCheckDlg() finish"}));
}

}  // namespace

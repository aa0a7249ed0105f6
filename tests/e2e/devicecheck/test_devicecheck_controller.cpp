// The device check opened with Alt+T against the real conference library, camera library and a
// private sound server: the window shows the devices in use, its camera preview draws and its
// meters move, and the names chosen in it are selected in the conference library.
#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdlib>

#include "support/pulsedaemon.h"
#include "support/soundfixtures.h"
#include "ui/devicecheckdlg.h"
#include "ui/myspectrumctrl.h"
#include "unit/gui/support_classflow.h"

namespace {

// The sound server and the virtual camera exist before the controller starts the conference
// library, so its device lists hold them.
class WithDevices {
protected:
    WithDevices() {
        qputenv("FENWIX_VIRTUAL_CAMERA", "1");
        speakers = pulse.addSink("Speakers (USB Audio)");
        pulse.addSink("Headphones");
        pulse.addSource("Microphone (USB Audio)");
        pulse.setDefaultSink(speakers);
        // The default microphone hears the default speaker, so the microphone test's meter
        // moves while the speaker test plays.
        pulse.setDefaultSource(speakers + ".monitor");
    }
    ~WithDevices() { qunsetenv("FENWIX_VIRTUAL_CAMERA"); }

    fenwixtest::PulseDaemon pulse;
    std::string speakers;
};

class DeviceCheck : public WithDevices, public ClassFlowTest {
protected:
    void SetUp() override {
        ClassFlowTest::SetUp();
        QDir().mkpath(QStringLiteral("wav"));
        QFile wave(QStringLiteral("wav/test.wav"));
        ASSERT_TRUE(wave.open(QIODevice::WriteOnly));
        const std::string tone =
            fenwixtest::waveFile(2, 44100, 16, fenwixtest::sineData(8000, 1000, 44100, 2, 20));
        wave.write(tone.data(), static_cast<qint64>(tone.size()));
    }

    // The current name of each kind in the conference library.
    std::string current(const std::vector<std::string>& names, int index) {
        return index >= 0 && static_cast<std::size_t>(index) < names.size()
                   ? names[static_cast<std::size_t>(index)]
                   : std::string("(none)");
    }
};

// Whether the preview in the rectangle shows the whole picture of the virtual camera: its name,
// written across the bottom of the picture, is seen there. A picture drawn at its own size into
// a smaller area loses its bottom rows and the name with them; the camera's moving ball alone
// is narrower than the name.
bool showsTheCameraName(const QRect& global) {
    const QImage shot = QGuiApplication::primaryScreen()->grabWindow(0).toImage().copy(global);
    if (shot.isNull()) {
        return false;
    }
    int left = shot.width();
    int right = -1;
    for (int y = shot.height() * 4 / 5; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            const QColor pixel = shot.pixelColor(x, y);
            if (pixel.red() > 150 && pixel.green() > 150 && pixel.blue() > 150) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    return right - left > shot.width() / 6;
}

TEST_F(DeviceCheck, AltTOpensTheWindowAndTheChosenNamesReachTheConferenceLibrary) {
    if (QGuiApplication::platformName() != QStringLiteral("xcb")) {
        GTEST_SKIP() << "the camera preview needs an X display";
    }
    std::string preselectedSpeaker;
    std::string preselectedMicrophone;
    bool previewDrew = false;
    bool metersMoved = false;
    QTimer::singleShot(0, [&] {
        CDeviceCheckDlg* check = nullptr;
        ASSERT_TRUE(QTest::qWaitFor([&] {
            check = qobject_cast<CDeviceCheckDlg*>(QApplication::activeModalWidget());
            return check != nullptr && check->isVisible();
        }));
        const auto list = [&](unsigned id) { return qobject_cast<QComboBox*>(check->control(id)); };
        const auto click = [&](unsigned id) {
            qobject_cast<QPushButton*>(check->control(id))->click();
        };
        preselectedSpeaker = list(CDeviceCheckDlg::IDC_SPEAKER_LIST)->currentText().toStdString();
        preselectedMicrophone = list(CDeviceCheckDlg::IDC_MIC_LIST)->currentText().toStdString();

        click(CDeviceCheckDlg::IDC_CAMERA_CHECK);
        click(CDeviceCheckDlg::IDC_SPEAKER_CHECK);
        click(CDeviceCheckDlg::IDC_MIC_CHECK);
        QWidget* area = check->control(CDeviceCheckDlg::IDC_CAMERA_PREVIEW);
        const QRect global(area->mapToGlobal(QPoint(0, 0)), area->size());
        previewDrew = QTest::qWaitFor([&] { return showsTheCameraName(global); }, 15000);
        metersMoved = QTest::qWaitFor(
            [&] {
                return check->speakerMeter()->level() > 0 && check->microphoneMeter()->level() > 0;
            },
            15000);
        QTest::qWait(300);  // let the bars be painted for the picture
        if (const char* folder = std::getenv("FENWIX_ARTIFACTS")) {
            QDir().mkpath(QString::fromLocal8Bit(folder));
            QGuiApplication::primaryScreen()->grabWindow(0).save(
                QString::fromLocal8Bit(folder) + QStringLiteral("/devicecheck.png"));
        }
        selectByPrefix(list(CDeviceCheckDlg::IDC_SPEAKER_LIST), QStringLiteral("Headphones"));
        selectByPrefix(list(CDeviceCheckDlg::IDC_MIC_LIST), QStringLiteral("Microphone (USB"));
        check->close();
    });
    QTest::keyClick(dlg_.get(), Qt::Key_T, Qt::AltModifier);

    EXPECT_EQ(preselectedSpeaker, "Speakers (USB Audio)");  // "Same as system" resolved
    EXPECT_EQ(preselectedMicrophone, "Monitor of Speakers (USB Audio)");
    EXPECT_TRUE(previewDrew);
    EXPECT_TRUE(metersMoved);
    const VidyoDeviceLists lists = dlg_->studentServer().getDeviceLists();
    EXPECT_EQ(current(lists.speakers, lists.curSpeaker), "Headphones");
    EXPECT_EQ(current(lists.microphones, lists.curMicrophone), "Microphone (USB Audio)");
    EXPECT_EQ(current(lists.cameras, lists.curCamera), "Fenwix Virtual Camera");
    EXPECT_TRUE(log_.contains("CDeviceCheckDlg::~CDeviceCheckDlg() finish"));
    EXPECT_FALSE(log_.contains("has no handler"));
}

}  // namespace

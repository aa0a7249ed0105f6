// The tool bar's settings command on the real controller: the settings window runs modally,
// then a pushing terminal hands the devices to the live push, with its peers faked.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include "support_classflow.h"

namespace {

struct SettingsCase {
    const char* name;
    bool isPull;
    bool checkAudioOut;
    bool pullDeviceOk;
    std::vector<std::string> calls;
    bool failureLogged;
};

class SettingsCommand : public ClassFlowTest, public ::testing::WithParamInterface<SettingsCase> {
protected:
    // Closes the modal window once it is up, keeping its caption.
    void closeModalWhenShown() {
        QObject::connect(&closer_, &QTimer::timeout, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                caption_ = modal->windowTitle();
                modal->close();
                closer_.stop();
            }
        });
        closer_.start(20);
    }

    QTimer closer_;
    QString caption_;
};

TEST_P(SettingsCommand, RunsTheSettingsWindowThenHandsTheDevicesToALivePush) {
    const SettingsCase& c = GetParam();
    config()->setIsPull(c.isPull);
    config()->setCheckAudioOut(c.checkAudioOut);
    config()->setPreviewStarted(false);
    peers_.pullDeviceOk = c.pullDeviceOk;
    notice(NOTICE_MIC_OPENED);
    peers_.calls.clear();
    log_.clear();

    closeModalWhenShown();
    dlg_->WindowProc(WM_CTRL_CLICKED, ID_TOOL_SETTINGS, 0);

    EXPECT_EQ(caption_.toStdString(), "设置") << "the settings window ran modally";
    EXPECT_EQ(peers_.calls, c.calls);
    EXPECT_EQ(log_.contains("setPullDeviceByVidyo failed"), c.failureLogged);
    EXPECT_FALSE(log_.contains("has no handler in this build"));
    if (c.isPull) {
        EXPECT_EQ(dlg_->micState(), 0) << "learnt afresh from the live push";
    } else {
        EXPECT_EQ(dlg_->micState(), 1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SettingsCommand,
    ::testing::Values(
        SettingsCase{"NotPushing", false, false, true, {}, false},
        SettingsCase{"DriverNamesFirst", false, true, true, {"applyDriverNames"}, false},
        SettingsCase{"PushingPreviewChecked",
                     true,
                     false,
                     true,
                     {"setPullDeviceByVidyo", "startLivePreview"},
                     false},
        SettingsCase{"PushingHandOverFails", true, false, false, {"setPullDeviceByVidyo"}, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

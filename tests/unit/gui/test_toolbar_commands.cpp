// The tool bar's preview and mute buttons: the preview window shows and hides, and each mute
// button asks the conference session for the opposite of the state it shows.
#include <gtest/gtest.h>

#include "support_classflow.h"
#include "ui/previewdlg.h"

namespace {

using ToolBarCommands = ClassFlowTest;

struct MuteCase {
    const char* label;
    unsigned id;
    void (CComConfig::*set)(bool);
    const char* muteCall;
    const char* unmuteCall;
};

class ToolBarMuteCommand : public ClassFlowTest, public ::testing::WithParamInterface<MuteCase> {};

TEST_P(ToolBarMuteCommand, AsksTheConferenceForTheOppositeOfTheCurrentState) {
    const MuteCase& c = GetParam();
    (config()->*c.set)(false);
    dlg_->WindowProc(WM_CTRL_CLICKED, c.id, 0);
    (config()->*c.set)(true);
    dlg_->WindowProc(WM_CTRL_CLICKED, c.id, 0);
    EXPECT_EQ(peers_.calls, (std::vector<std::string>{c.muteCall, c.unmuteCall}));
    (config()->*c.set)(false);
    EXPECT_FALSE(log_.contains("has no handler"));
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, ToolBarMuteCommand,
    ::testing::Values(MuteCase{"Camera", ID_TOOL_CAMERA, &CComConfig::setCameraMuted,
                               "muteCamera on", "muteCamera off"},
                      MuteCase{"Speaker", ID_TOOL_SPEAKER, &CComConfig::setSpeakerMuted,
                               "muteSpeaker on", "muteSpeaker off"},
                      MuteCase{"Microphone", ID_TOOL_MIC, &CComConfig::setMicMuted,
                               "muteMicrophone on", "muteMicrophone off"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(ToolBarCommands, ThePreviewButtonTogglesThePreviewWindow) {
    CPreviewDlg* preview = dlg_->previewWindow();
    ASSERT_NE(preview, nullptr);
    const bool before = preview->isVisible();
    dlg_->WindowProc(WM_CTRL_CLICKED, ID_TOOL_PREVIEW, 0);
    EXPECT_EQ(preview->isVisible(), !before);
    dlg_->WindowProc(WM_CTRL_CLICKED, ID_TOOL_PREVIEW, 0);
    EXPECT_EQ(preview->isVisible(), before);
}

}  // namespace

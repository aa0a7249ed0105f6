// The controller's side of the local devices: the device check window (device check button,
// Alt+T) and the tool bar's preview and mute buttons.
#include <string>
#include <vector>

#include "app/classflowpeers.h"
#include "app/fenwixdlg.h"
#include "devices/audiodevicefunc.h"
#include "logging/log4z.h"
#include "platform/textcodec.h"
#include "service/commonutil.h"
#include "service/mainwindowevents.h"
#include "ui/devicecheckdlg.h"
#include "ui/previewdlg.h"

namespace {

constexpr const char* kSameAsSystem = "Same as system";

// The name of the list's current entry; empty when the index is outside the list.
std::string currentName(const std::vector<std::string>& names, int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= names.size()) {
        return {};
    }
    return fenwix::platform::utf8ToLocal(names[static_cast<std::size_t>(index)]);
}

std::string resolveSameAsSystem(const std::string& name, const std::string& systemDefault) {
    return name == kSameAsSystem ? systemDefault : name;
}

// The index of the first entry named `name`; -1 when none is.
int indexOfName(const std::vector<std::string>& names, const std::string& name) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (fenwix::platform::utf8ToLocal(names[i]) == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace

void CFenwixDlg::OnDeviceCheck() {
    if (CComConfig::getInstance()->getCheckAudioOut()) {
        classPeers().applyDriverNames();
    }
    std::string defaultMicrophone;
    std::string defaultSpeaker;
    {
        CAudioDeviceFunc audio;
        audio.GetDefaultCaptureName(defaultMicrophone);
        audio.GetDefaultRenderName(defaultSpeaker);
    }
    const VidyoDeviceLists lists = m_studentServer.getDeviceLists();
    std::string camera = currentName(lists.cameras, lists.curCamera);
    std::string microphone =
        resolveSameAsSystem(currentName(lists.microphones, lists.curMicrophone), defaultMicrophone);
    std::string speaker =
        resolveSameAsSystem(currentName(lists.speakers, lists.curSpeaker), defaultSpeaker);
    {
        CDeviceCheckDlg dlg(this);
        dlg.SetDevices(camera, microphone, speaker);
        dlg.DoModal();
        dlg.GetDevices(camera, microphone, speaker);
    }
    // A chosen name the conference library does not offer selects nothing: an index past the
    // end of its list would name no device.
    const auto select = [](const std::vector<std::string>& names, const std::string& name,
                           const char* kind, auto&& apply) {
        const int index = indexOfName(names, name);
        if (index < 0) {
            LOGW("device check: the conference library has no " << kind << " named " << name);
            return;
        }
        apply(index);
    };
    select(lists.cameras, camera, "camera", [this](int i) { m_studentServer.setCamera(i); });
    select(lists.microphones, microphone, "microphone",
           [this](int i) { m_studentServer.setMicrophone(i); });
    select(lists.speakers, speaker, "speaker", [this](int i) { m_studentServer.setSpeaker(i); });
}

void CFenwixDlg::OnTogglePreview() {
    if (m_pPreviewDlg == nullptr) {
        return;
    }
    m_pPreviewDlg->setVisible(!m_pPreviewDlg->isVisible());
}

void CFenwixDlg::OnToggleMute(unsigned id) {
    CComConfig* config = CComConfig::getInstance();
    if (id == ID_TOOL_CAMERA) {
        classPeers().muteCamera(!config->getCameraMuted());
    } else if (id == ID_TOOL_SPEAKER) {
        classPeers().muteSpeaker(!config->getSpeakerMuted());
    } else if (id == ID_TOOL_MIC) {
        classPeers().muteMicrophone(!config->getMicMuted());
    }
}

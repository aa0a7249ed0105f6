// Device selection across conference and live push: the conference's devices are the reference,
// found again by name in the live-push library's lists.
#include <string>
#include <vector>

#include "devices/audiodevicefunc.h"
#include "logging/log4z.h"
#include "platform/textcodec.h"
#include "service/fenwixstudentserver.h"

namespace {

const char* const kSameAsSystem = "Same as system";

// The conference's in-use name of one list, logging every entry up to it; empty when the in-use
// index matches no entry.
std::string conferenceName(const std::vector<std::string>& names, int inUse, const char* head,
                           const char* curLabel) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string name = fenwix::platform::utf8ToLocal(names[i]);
        LOGI(head << name << "  |  index=" << i << curLabel << inUse);
        if (static_cast<int>(i) == inUse) {
            return name;
        }
    }
    return std::string();
}

// Index of the first live-push record whose name equals `wanted`, logging every entry up to it;
// -1 when there is none.
int pullIndex(const std::vector<MediaSdkServer::DeviceInfo>& list, const std::string& wanted,
              const char* head) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string name =
            fenwix::platform::utf8ToLocal(MediaSdkServer::fieldText(list[i].deviceName));
        LOGI(head << name << "  |  index=" << i);
        if (name == wanted) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace

bool FenwixStudentServer::queryDefaultCaptureName(std::string& name) {
    // A default device whose name cannot be read leaves the name as it was.
    std::string wide = fenwix::platform::localToWide(name);
    if (!CAudioDeviceFunc().GetDefaultCaptureName(wide)) {
        return false;
    }
    name = fenwix::platform::wideToLocal(wide);
    return true;
}

bool FenwixStudentServer::setPullDeviceByVidyo() {
    const VidyoDeviceLists conference = getDeviceLists();
    LOGI(
        "--------------------------------------------vidyo Device"
        "--------------------------------------------------");
    const std::string camera =
        conferenceName(conference.cameras, conference.curCamera, "camera name=", "  |  curCamera=");
    std::string microphone = conferenceName(conference.microphones, conference.curMicrophone,
                                            "microphone name=", "  |  curMic=");
    LOGI(
        "--------------------------------------------pull Device"
        "--------------------------------------------------");
    const int cameraIndex = pullIndex(m_mediaBiz.getCameraList(), camera, "camera name=");
    if (microphone == kSameAsSystem) {
        // Unnamed, it stays "Same as system", which no live-push microphone is called.
        std::string systemDefault = microphone;
        if (queryDefaultCaptureName(systemDefault)) {
            microphone = systemDefault;
        }
        LOGI("vidyo 麦克风设备为 Same as system，实际系统默认麦克风设备为 " << microphone);
    }
    const int micIndex = pullIndex(m_mediaBiz.getMicrophoneList(), microphone, "microphone name=");
    LOGI(
        "--------------------------------------------pull set Device"
        "--------------------------------------------------");
    LOGI("pull video name=" << camera << "  |  index=" << cameraIndex
                            << "  |  mic name=" << microphone << "  |  index=" << micIndex);
    if (cameraIndex == -1 || micIndex == -1) {
        LOGI("pull device check fail");
        return false;
    }
    LOGI("pull prepare to set device");
    m_mediaBiz.setLiveCamera(cameraIndex);
    m_mediaBiz.setLiveMicrophone(micIndex);
    return true;
}

// The tool bar's settings command: the settings window, then the live push handed the devices
// chosen there.
#include "app/classflowpeers.h"
#include "app/fenwixdlg.h"
#include "logging/log4z.h"
#include "service/commonutil.h"
#include "ui/vidyosetdlg.h"

void CFenwixDlg::OnSettingsClicked() {
    CComConfig* config = CComConfig::getInstance();
    ClassFlowPeers& peers = classPeers();
    if (config->getCheckAudioOut()) {
        peers.applyDriverNames();
    }
    {
        CVidyoSetDlg dialog(this);
        dialog.SetServer(&m_studentServer);
        dialog.DoModal();
    }
    if (!config->getIsPull()) {
        return;
    }
    // The push restarts with the devices chosen, so their states are learnt afresh.
    m_nMicState = 0;
    m_nCameraState = 0;
    if (peers.setPullDeviceByVidyo()) {
        CheckLivePreview();
    } else {
        LOGE("setPullDeviceByVidyo failed");
    }
}

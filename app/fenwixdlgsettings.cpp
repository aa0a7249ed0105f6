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
        // The terminal ending (a signal, the tray) must not wait for someone to close it: the
        // main window's modal run cannot end while this one runs inside it.
        connect(this, &QDialog::finished, &dialog, &QDialog::reject);
        dialog.DoModal();
    }
    if (m_bClosingByUs || !config->getIsPull()) {
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

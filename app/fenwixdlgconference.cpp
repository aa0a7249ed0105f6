// The conference library's start with the video window as its render window, and the conference
// volumes the terminal starts with.
#include <string>

#include "app/fenwixdlg.h"
#include "conference/vidyoserver.h"
#include "logging/log4z.h"
#include "service/commonutil.h"
#include "ui/videodlg.h"

void CFenwixDlg::StartConference() {
    VideoWindow window;
    if (m_pVideoDlg != nullptr) {
        window.handle = m_pVideoDlg->renderHandle();
        window.width = m_pVideoDlg->width();
        window.height = m_pVideoDlg->height();
    }
    if (!m_studentServer.initVidyo(window)) {
        LOGE("conference library did not start; classes cannot be entered");
    }
}

void CFenwixDlg::ReadConferenceVolumes() {
    CComConfig* config = CComConfig::getInstance();
    config->setSpeakerVolume(m_studentServer.getSpeakerVolume());
    config->setMicVolume(m_studentServer.getMicVolume());
    config->setPrevMicVolume(config->getMicVolume());
}

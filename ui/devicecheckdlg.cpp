#include "ui/devicecheckdlg.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "devices/directsound.h"
#include "devices/directsoundaudioin.h"
#include "logging/log4z.h"
#include "ui/dialogunits.h"
#include "ui/myspectrumctrl.h"
#include "ui/nativesurface.h"

namespace {

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void selectByPrefix(QComboBox* list, const QString& name) {
    for (int i = 0; i < list->count(); ++i) {
        if (list->itemText(i).startsWith(name, Qt::CaseInsensitive)) {
            list->setCurrentIndex(i);
            return;
        }
    }
    list->setCurrentIndex(-1);
}

CDeviceCheckDlg::CDeviceCheckDlg(QWidget* parent, std::unique_ptr<CameraLibrary> camera,
                                 std::shared_ptr<fenwix::devices::SoundServer> sound)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      m_camera(camera != nullptr ? std::move(camera) : linkedCameraLibrary()),
      m_sound(sound != nullptr ? std::move(sound)
                               : fenwix::devices::systemSoundServer(CDirectSound::kServerTimeout)) {
    setWindowTitle(QStringLiteral("设备检查"));
    setFont(dialogFont());
    setFixedSize(dialogUnitsToPixels(font(), kWidthUnits, kHeightUnits));
    CreateControls();
}

void CDeviceCheckDlg::CreateControls() {
    const QFont& f = font();
    const auto at = [&](QWidget* widget, int x, int y, int w, int h) {
        widget->setGeometry(dialogUnitsToRect(f, x, y, w, h));
    };
    const auto group = [&](const char* title, int x, int y, int w, int h) {
        at(new QGroupBox(QString::fromUtf8(title), this), x, y, w, h);
    };
    // A list-only drop-down: its template height includes the opened list, the closed box keeps
    // the height its font needs.
    const auto list = [&](int x, int y, int w) {
        auto* box = new QComboBox(this);
        box->setEditable(false);
        const QRect rect = dialogUnitsToRect(f, x, y, w, 30);
        box->setGeometry(rect.x(), rect.y(), rect.width(), box->sizeHint().height());
        return box;
    };
    const auto button = [&](int x, int y) {
        auto* check = new QPushButton(QStringLiteral("检查"), this);
        at(check, x, y, 43, 14);
        return check;
    };
    group("摄像头", 7, 10, 328, 97);
    m_cbCamera = list(17, 24, 136);
    m_btnCamera = button(17, 43);
    m_preview = new CNativeSurface(this);
    at(m_preview, 165, 16, 156, 88);
    group("麦克风", 7, 120, 328, 59);
    m_cbMicrophone = list(17, 136, 136);
    m_btnMicrophone = button(17, 156);
    m_micPlace = new QLabel(this);
    at(m_micPlace, 165, 137, 156, 11);
    group("扬声器", 7, 199, 328, 58);
    m_cbSpeaker = list(17, 214, 136);
    m_btnSpeaker = button(17, 234);
    m_speakerPlace = new QLabel(this);
    at(m_speakerPlace, 165, 215, 156, 11);

    connect(m_btnCamera, &QPushButton::clicked, this, [this] { OnCameraCheck(); });
    connect(m_btnSpeaker, &QPushButton::clicked, this, [this] { OnSpeakerCheck(); });
    connect(m_btnMicrophone, &QPushButton::clicked, this, [this] { OnMicCheck(); });
}

CDeviceCheckDlg::~CDeviceCheckDlg() {
    LOGI("CDeviceCheckDlg::~CDeviceCheckDlg() start");
    // The tests' threads end before the meters they feed go.
    delete m_pDirectSound;
    m_pDirectSound = nullptr;
    delete m_pDirectSoundAudioIn;
    m_pDirectSoundAudioIn = nullptr;
    if (m_pAudioInSpectrum != nullptr) {
        delete m_pAudioInSpectrum;
        m_pAudioInSpectrum = nullptr;
        LOGI("audio in specturm delete");
    }
    if (m_pAudioOutSpectrum != nullptr) {
        delete m_pAudioOutSpectrum;
        m_pAudioOutSpectrum = nullptr;
        LOGI("audio out specturm delete");
    }
    m_camera->CaptureVideoUnInit();
    LOGI("CDeviceCheckDlg::~CDeviceCheckDlg() finish");
}

void CDeviceCheckDlg::SetDevices(const std::string& camera, const std::string& microphone,
                                 const std::string& speaker) {
    m_strCamera = camera;
    m_strMicrophone = microphone;
    m_strSpeaker = speaker;
}

void CDeviceCheckDlg::GetDevices(std::string& camera, std::string& microphone,
                                 std::string& speaker) const {
    camera = m_strCamera;
    microphone = m_strMicrophone;
    speaker = m_strSpeaker;
}

int CDeviceCheckDlg::DoModal() {
    OnInitDialog();
    return exec();
}

bool CDeviceCheckDlg::OnInitDialog() {
    for (const auto& name : m_camera->CaptureVideoEnumDevices()) {
        m_cbCamera->addItem(fromUtf8(name));
    }
    selectByPrefix(m_cbCamera, fromUtf8(m_strCamera));

    m_pDirectSound = new CDirectSound(m_sound);
    for (const auto& device : m_pDirectSound->devices()) {
        m_cbSpeaker->addItem(fromUtf8(device.description));
    }
    selectByPrefix(m_cbSpeaker, fromUtf8(m_strSpeaker));
    m_pAudioOutSpectrum =
        new CMySpectrumCtrl(this, PlaceOf(IDC_SPEAKER_METER_PLACE), IDC_SPEAKER_METER);

    m_pDirectSoundAudioIn = new CDirectSoundAudioIn(m_sound);
    for (const auto& device : m_pDirectSoundAudioIn->devices()) {
        m_cbMicrophone->addItem(fromUtf8(device.description));
    }
    selectByPrefix(m_cbMicrophone, fromUtf8(m_strMicrophone));
    m_pAudioInSpectrum = new CMySpectrumCtrl(this, PlaceOf(IDC_MIC_METER_PLACE), IDC_MIC_METER);
    m_pDirectSoundAudioIn->SetSpectrum(m_pAudioInSpectrum);

    // Only a person's choice changes a name: the filling and preselection above do not.
    const auto follow = [this](QComboBox* list, std::string& name) {
        connect(list, &QComboBox::currentIndexChanged, this,
                [list, &name](int) { name = list->currentText().toStdString(); });
    };
    follow(m_cbCamera, m_strCamera);
    follow(m_cbSpeaker, m_strSpeaker);
    follow(m_cbMicrophone, m_strMicrophone);
    return true;
}

QRect CDeviceCheckDlg::PlaceOf(unsigned id) const {
    const QWidget* place = control(id);
    return place != nullptr ? place->geometry() : QRect();
}

QWidget* CDeviceCheckDlg::control(unsigned id) const {
    switch (id) {
        case IDC_CAMERA_CHECK:
            return m_btnCamera;
        case IDC_CAMERA_LIST:
            return m_cbCamera;
        case IDC_SPEAKER_LIST:
            return m_cbSpeaker;
        case IDC_SPEAKER_CHECK:
            return m_btnSpeaker;
        case IDC_MIC_LIST:
            return m_cbMicrophone;
        case IDC_MIC_CHECK:
            return m_btnMicrophone;
        case IDC_CAMERA_PREVIEW:
            return m_preview;
        case IDC_SPEAKER_METER_PLACE:
            return m_speakerPlace;
        case IDC_MIC_METER_PLACE:
            return m_micPlace;
        default:
            return nullptr;
    }
}

void CDeviceCheckDlg::OnCameraCheck() {
    // No selection reads as -1, the index before any preview: nothing starts.
    const int index = m_cbCamera->currentIndex();
    if (index == m_nCameraIndex) {
        return;
    }
    m_nCameraIndex = index;
    m_camera->CaptureVideoInit(index, m_preview->handle());
}

void CDeviceCheckDlg::OnSpeakerCheck() {
    if (m_pDirectSound != nullptr) {
        m_pDirectSound->Play(m_pAudioOutSpectrum, m_strWavePath,
                             m_cbSpeaker->currentText().toStdString());
    }
}

void CDeviceCheckDlg::OnMicCheck() {
    if (m_pDirectSoundAudioIn != nullptr) {
        m_pDirectSoundAudioIn->Start(m_cbMicrophone->currentText().toStdString());
    }
}

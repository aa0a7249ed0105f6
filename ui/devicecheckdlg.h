// The device check window: a person previews the cameras, tests the microphones and speakers
// with a level meter each, and chooses one device of each kind. It changes no setting itself:
// the controller hands in the devices in use (SetDevices) and reads back the chosen names
// (GetDevices) after the modal showing.
#pragma once

#include <QDialog>
#include <QString>
#include <memory>
#include <string>

#include "devices/cameralibrary.h"
#include "devices/soundstreams.h"

class QComboBox;
class QLabel;
class QPushButton;
class CDirectSound;
class CDirectSoundAudioIn;
class CMySpectrumCtrl;
class CNativeSurface;

class CDeviceCheckDlg : public QDialog {
    Q_OBJECT
public:
    enum : unsigned {
        IDC_CAMERA_CHECK = 1000,
        IDC_CAMERA_LIST = 1001,
        IDC_SPEAKER_LIST = 1002,
        IDC_SPEAKER_CHECK = 1003,
        IDC_MIC_LIST = 1004,
        IDC_MIC_CHECK = 1005,
        IDC_CAMERA_PREVIEW = 1006,
        IDC_SPEAKER_METER_PLACE = 1010,
        IDC_MIC_METER_PLACE = 1011,
        IDC_SPEAKER_METER = 4369,
        IDC_MIC_METER = 4370,
    };
    static constexpr int kWidthUnits = 355;
    static constexpr int kHeightUnits = 273;

    // The camera library and the sound server are the linked and the system's ones unless a
    // test hands in its own.
    explicit CDeviceCheckDlg(QWidget* parent = nullptr, std::unique_ptr<CameraLibrary> camera = {},
                             std::shared_ptr<fenwix::devices::SoundServer> sound = {});
    // Stops the speaker and microphone tests before their meters go, then the camera preview.
    ~CDeviceCheckDlg() override;

    void SetDevices(const std::string& camera, const std::string& microphone,
                    const std::string& speaker);
    void GetDevices(std::string& camera, std::string& microphone, std::string& speaker) const;

    // Fills the lists, creates the tests and meters, then shows the window modally until its
    // close box ends it.
    int DoModal();
    // What DoModal does before the modal loop (tests show the window without a modal loop).
    bool OnInitDialog();

    // The file the speaker test plays, relative to the working folder.
    void setWavePathForTesting(const std::string& path) { m_strWavePath = path; }

    // For tests: the controls by id (null for an unknown id) and the meters once created.
    QWidget* control(unsigned id) const;
    CMySpectrumCtrl* microphoneMeter() const { return m_pAudioInSpectrum; }
    CMySpectrumCtrl* speakerMeter() const { return m_pAudioOutSpectrum; }

private:
    void CreateControls();
    void OnCameraCheck();
    void OnSpeakerCheck();
    void OnMicCheck();
    QRect PlaceOf(unsigned id) const;

    std::unique_ptr<CameraLibrary> m_camera;
    std::shared_ptr<fenwix::devices::SoundServer> m_sound;
    CDirectSound* m_pDirectSound = nullptr;                // owned
    CDirectSoundAudioIn* m_pDirectSoundAudioIn = nullptr;  // owned
    CMySpectrumCtrl* m_pAudioInSpectrum = nullptr;         // owned
    CMySpectrumCtrl* m_pAudioOutSpectrum = nullptr;        // owned
    int m_nCameraIndex = -1;
    std::string m_strCamera;
    std::string m_strMicrophone;
    std::string m_strSpeaker;
    QComboBox* m_cbCamera = nullptr;
    QComboBox* m_cbSpeaker = nullptr;
    QComboBox* m_cbMicrophone = nullptr;
    QPushButton* m_btnCamera = nullptr;
    QPushButton* m_btnSpeaker = nullptr;
    QPushButton* m_btnMicrophone = nullptr;
    CNativeSurface* m_preview = nullptr;
    QLabel* m_speakerPlace = nullptr;
    QLabel* m_micPlace = nullptr;
    std::string m_strWavePath = "./wav/test.wav";
};

// Selects the first entry that begins with `name`, letter case ignored; no selection (and an
// empty text) when none does.
void selectByPrefix(QComboBox* list, const QString& name);

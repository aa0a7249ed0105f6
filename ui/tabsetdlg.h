// The settings window's device page: the conference's camera, microphone and speaker, and the
// speaker volume. Choices go to the conference session at once; a volume only when the slider
// movement ends.
#pragma once

#include <QWidget>

class QComboBox;
class QSlider;
class FenwixStudentServer;

class CTabSetDlg : public QWidget {
    Q_OBJECT
public:
    explicit CTabSetDlg(QWidget* parent = nullptr);

    // Borrowed; fills the page from the conference session. Null leaves the page empty.
    void SetServer(FenwixStudentServer* server);

    QComboBox* cameraList() const { return m_cameras; }
    QComboBox* microphoneList() const { return m_microphones; }
    QComboBox* speakerList() const { return m_speakers; }
    QSlider* microphoneSlider() const { return m_micVolume; }
    QSlider* speakerSlider() const { return m_speakerVolume; }

private:
    void Fill();
    void OnCameraChanged(int index);
    void OnMicrophoneChanged(int index);
    void OnSpeakerChanged(int index);
    void OnMicVolumeEnd();
    void OnSpeakerVolumeEnd();

    FenwixStudentServer* m_server = nullptr;
    QComboBox* m_cameras = nullptr;
    QComboBox* m_microphones = nullptr;
    QComboBox* m_speakers = nullptr;
    QSlider* m_micVolume = nullptr;
    QSlider* m_speakerVolume = nullptr;
    bool m_filling = false;  // selections made while filling are not user choices
};

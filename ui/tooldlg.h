// The tool bar: a row of image buttons (preview, camera, speaker, microphone, settings, quit) and
// the class clock. Clicks and the Alt+D / Alt+S keys go to the main window as WM_CTRL_CLICKED.
// It shows for a few seconds after a click on the screen window.
#pragma once

#include <QString>
#include <memory>

#include "ui/popupwindow.h"

class CMyButtonCtrl;
class CMyTimeStaticCtrl;
class MainWindowChannel;
class QTimer;

class CToolDlg : public CPopupWindow {
    Q_OBJECT
public:
    static constexpr int TIMER_AUTO_HIDE = 1037;
    static constexpr int kAutoHideMs = 3000;

    // Commands go to mainWindow's channel (may be null: then none are sent).
    CToolDlg(QWidget* owner, MainWindowChannel* mainWindow);
    ~CToolDlg() override;

    // create: make the buttons and the clock first. Then place the shown ones in a row and size
    // the bar around them; the camera, speaker and microphone buttons follow the configuration's
    // video and audio modes (1 shows them).
    void ArrangeButtons(bool create);

    // Shows the bar and starts the hide timer unless the bar is already up from an earlier
    // click; always brings it to the top.
    void ShowToolBar();

    // Restarts the clock from zero (the class has been joined).
    void StartClock();

    // Shows a mute state on the camera (device 0), microphone (1) or speaker (2) button.
    void ShowMuteState(int device, bool muted);

    // A command for the main window, as from one of the buttons.
    void SendCommand(unsigned id);

    CMyButtonCtrl* button(unsigned id) const;
    CMyTimeStaticCtrl* clock() const { return m_clock; }
    bool isHiddenByTimer() const { return m_bHiddenByTimer; }
    bool isAutoHideActive() const;
    int autoHidePeriodMs() const { return m_autoHideMs; }
    void setAutoHidePeriodForTesting(int ms) { m_autoHideMs = ms; }

protected:
    void OnCommandKey(unsigned id) override;

private:
    class ButtonRelay;

    void CreateControls();
    void OnAutoHide();

    MainWindowChannel* m_mainWindow;
    std::unique_ptr<ButtonRelay> m_relay;  // the buttons' notify window: this bar
    CMyButtonCtrl* m_btnPreview = nullptr;
    CMyButtonCtrl* m_btnCamera = nullptr;
    CMyButtonCtrl* m_btnSpeaker = nullptr;
    CMyButtonCtrl* m_btnMic = nullptr;
    CMyButtonCtrl* m_btnTool = nullptr;
    CMyTimeStaticCtrl* m_clock = nullptr;
    CMyButtonCtrl* m_btnQuit = nullptr;
    // Set while the bar is down after its timer hid it (and before the first showing), so only
    // the first click of a burst shows it and starts the timer.
    bool m_bHiddenByTimer = true;
    int m_autoHideMs = kAutoHideMs;
    QTimer* m_autoHideTimer;
};

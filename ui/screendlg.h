// The screen window: a full-screen picture (welcome, waiting or offline) shown while the class
// video is not. A click brings the tool bar up; Alt+D and Alt+S are tool bar commands.
#pragma once

#include <QString>

#include "ui/popupwindow.h"

class CToolDlg;

class CScreenDlg : public CPopupWindow {
    Q_OBJECT
public:
    explicit CScreenDlg(QWidget* owner);

    // Stores the picture's path and repaints.
    void SetImage(const QString& path);
    void SetToolBar(CToolDlg* bar) { m_pToolBar = bar; }

    QString image() const { return m_strImage; }
    CToolDlg* toolBar() const { return m_pToolBar; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void OnCommandKey(unsigned id) override;

private:
    QString m_strImage;
    CToolDlg* m_pToolBar = nullptr;
};

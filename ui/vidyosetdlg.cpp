#include "ui/vidyosetdlg.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTabWidget>

#include "ui/dialogunits.h"
#include "ui/tababoutdlg.h"
#include "ui/tabinfodlg.h"
#include "ui/tabsetdlg.h"

CVidyoSetDlg::CVidyoSetDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint) {
    setWindowTitle(QStringLiteral("设置"));
    QFont font(QStringLiteral("MS Shell Dlg"));
    font.setPointSize(8);
    setFont(font);
    setFixedSize(dialogUnitsToPixels(font, 545, 341));

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("1017"));
    m_tabs->setGeometry(dialogUnitsToRect(font, 0, 11, 540, 328));
    // The pages are made with the window and live as long as it.
    m_setPage = new CTabSetDlg;
    m_infoPage = new CTabInfoDlg;
    m_aboutPage = new CTabAboutDlg;
    m_tabs->addTab(m_setPage, QStringLiteral("控制"));
    m_tabs->addTab(m_infoPage, QStringLiteral("状态信息"));
    m_tabs->addTab(m_aboutPage, QStringLiteral("关于"));
    m_tabs->setCurrentIndex(0);
}

bool CVidyoSetDlg::OnInitDialog() {
    m_infoPage->SetServer(m_server);
    m_setPage->SetServer(m_server);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect desktop = screen->geometry();
        move(desktop.center() - rect().center());
    }
    return true;
}

int CVidyoSetDlg::DoModal() {
    OnInitDialog();
    return exec();
}

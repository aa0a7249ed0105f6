#include "ui/popupwindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

#include "service/mainwindowevents.h"

PopupKeyAction classifyPopupKey(int key, Qt::KeyboardModifiers modifiers, bool commandKeys) {
    if (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter) {
        return PopupKeyAction::Swallow;
    }
    // Ctrl+Alt is AltGr on many layouts and types characters instead.
    const bool alt =
        modifiers.testFlag(Qt::AltModifier) && !modifiers.testFlag(Qt::ControlModifier);
    if (!alt) {
        return PopupKeyAction::PassOn;
    }
    switch (key) {
        case Qt::Key_F4:
            return PopupKeyAction::Swallow;
        case Qt::Key_D:
            return commandKeys ? PopupKeyAction::Quit : PopupKeyAction::PassOn;
        case Qt::Key_S:
            return commandKeys ? PopupKeyAction::Settings : PopupKeyAction::PassOn;
        default:
            return PopupKeyAction::PassOn;
    }
}

CPopupWindow::CPopupWindow(QWidget* owner, bool commandKeys, Qt::WindowFlags extraFlags)
    : QWidget(owner, Qt::Window | Qt::FramelessWindowHint | extraFlags),
      m_commandKeys(commandKeys) {
    installEventFilter(this);
}

void CPopupWindow::maximiseOnScreen() {
    QScreen* screen = parentWidget() != nullptr ? parentWidget()->screen() : nullptr;
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen != nullptr) {
        setGeometry(screen->geometry());
    }
    setWindowState(windowState() | Qt::WindowMaximized);
}

void CPopupWindow::bringToTop() {
    raise();
}

void CPopupWindow::watchKeysOf(QWidget* child) {
    child->installEventFilter(this);
}

void CPopupWindow::OnCommandKey(unsigned) {}

bool CPopupWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
        return filterKey(event);
    }
    return QWidget::eventFilter(watched, event);
}

bool CPopupWindow::filterKey(QEvent* event) {
    auto* key = static_cast<QKeyEvent*>(event);
    const PopupKeyAction action = classifyPopupKey(key->key(), key->modifiers(), m_commandKeys);
    if (action == PopupKeyAction::PassOn) {
        return false;
    }
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();  // claim the key so no shortcut takes it first
        return true;
    }
    if (action == PopupKeyAction::Quit) {
        OnCommandKey(ID_TOOL_QUIT);
    } else if (action == PopupKeyAction::Settings) {
        OnCommandKey(ID_TOOL_SETTINGS);
    }
    return true;
}

void CPopupWindow::closeEvent(QCloseEvent* event) {
    // Only the main controller ends these windows, by deleting them; a close asked for by the
    // window system (Alt+F4 handled by a window manager) is refused.
    event->ignore();
}

#include "app/qtterminalui.h"

#include <QApplication>
#include <QList>

#include "service/mainwindowchannel.h"
#include "ui/tipdlg.h"

QString QtTerminalUi::tipCaption() {
    return QStringLiteral("芬维提示");
}

QtTerminalUi::QtTerminalUi(MainWindowChannel& channel, QWidget* owner)
    : m_channel(channel), m_owner(owner) {}

bool QtTerminalUi::onUiThread(const std::function<void()>& work) const {
    if (m_channel.isUiThread()) {
        work();
        return true;
    }
    // send() waits until the handler has returned, so the function outlives its use.
    return m_channel.send(kCallEvent, 0, reinterpret_cast<std::intptr_t>(&work)) != 0;
}

std::intptr_t QtTerminalUi::RunCall(std::intptr_t lParam) {
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the event carries a pointer
    const auto* work = reinterpret_cast<const std::function<void()>*>(lParam);
    if (work == nullptr || !*work) {
        return 0;
    }
    (*work)();
    return 1;
}

void QtTerminalUi::showDeviceTip() {
    onUiThread([this] {
        // Held by a guard: the owner may be destroyed while the modal loop runs.
        QPointer<CTipDlg> tip = new CTipDlg(m_owner.data());
        tip->exec();
        delete tip.data();
    });
}

void QtTerminalUi::closeTipWindows() {
    onUiThread([] {
        const QString caption = tipCaption();
        QList<QPointer<QWidget>> tips;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->windowTitle() == caption && window->isVisible()) {
                tips.append(window);
            }
        }
        // Closing a modal window ends its modal loop once this call has returned; a window that
        // went with an earlier one is skipped.
        for (const QPointer<QWidget>& window : tips) {
            if (window) {
                window->close();
            }
        }
    });
}

std::uintptr_t QtTerminalUi::mainWindowHandle() const {
    std::uintptr_t handle = 0;
    onUiThread([this, &handle] {
        if (m_owner) {
            handle = static_cast<std::uintptr_t>(m_owner->winId());
        }
    });
    return handle;
}

// The Qt implementation of the terminal's window operations: the device tip shown modally and
// closed by closeTipWindows from the UI thread or from workers, and no hang once the main
// window's channel is gone.
#include "app/qtterminalui.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "app/qtmainwindowchannel.h"
#include "support_spin.h"

namespace {

using namespace std::chrono_literals;

QWidget* visibleTip() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->windowTitle() == QStringLiteral("芬维提示")) {
            return window;
        }
    }
    return nullptr;
}

class TerminalUiTest : public ::testing::Test {
protected:
    TerminalUiTest()
        : channel(std::make_unique<QtMainWindowChannel>(
              [](unsigned msg, std::uintptr_t, std::intptr_t l) -> std::intptr_t {
                  return msg == QtTerminalUi::kCallEvent ? QtTerminalUi::RunCall(l) : 0;
              })),
          ui(*channel, &owner) {}

    ~TerminalUiTest() override { channel->shutdown(); }

    QWidget owner;
    std::unique_ptr<QtMainWindowChannel> channel;
    QtTerminalUi ui;
};

TEST_F(TerminalUiTest, OnTheUiThreadTheTipIsModalUntilTheTipWindowsAreClosed) {
    bool sawTip = false;
    QString text;
    QWidget* tipParent = nullptr;
    QWidget other;
    other.setWindowTitle(QStringLiteral("芬维学生端"));
    other.show();
    QTimer::singleShot(20, [&] {
        QWidget* tip = visibleTip();
        sawTip = tip != nullptr && tip->isModal();
        if (tip != nullptr) {
            tipParent = tip->parentWidget();
            text = tip->findChild<QLabel*>()->text();
        }
        ui.closeTipWindows();
    });
    ui.showDeviceTip();  // returns only once closed
    EXPECT_TRUE(sawTip);
    EXPECT_EQ(text, QStringLiteral("请打开您的麦克风和音响"));
    EXPECT_EQ(tipParent, &owner);
    EXPECT_EQ(visibleTip(), nullptr);
    EXPECT_TRUE(other.isVisible());  // other captions are left alone
}

TEST_F(TerminalUiTest, AWorkerWaitsForTheTipThatAnotherWorkerCloses) {
    std::atomic<bool> shown{false};
    std::atomic<bool> tipBack{false};
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (visibleTip() != nullptr) {
            shown = true;
        }
    });
    watch.start(5);
    std::thread asker([&] {
        ui.showDeviceTip();
        tipBack = true;
    });
    std::thread closer([&] {
        while (!tipBack) {
            if (shown) {
                ui.closeTipWindows();
            }
            std::this_thread::sleep_for(10ms);
        }
    });
    EXPECT_TRUE(spinUntil([&] { return tipBack.load(); }, 10000));
    asker.join();
    closer.join();
    EXPECT_TRUE(shown.load());
    EXPECT_EQ(visibleTip(), nullptr);
}

TEST_F(TerminalUiTest, ClosingEndsEveryModalWindowWithTheTipCaption) {
    auto box = std::make_unique<QMessageBox>(QMessageBox::Information, QStringLiteral("芬维提示"),
                                             QStringLiteral("网络连接失败"));
    int boxResult = -1;
    QTimer::singleShot(0, [&] {
        ui.showDeviceTip();  // a second tip above the message box
    });
    QTimer::singleShot(50, [&] { ui.closeTipWindows(); });
    boxResult = box->exec();
    EXPECT_NE(boxResult, -1);
    EXPECT_TRUE(spinUntil([] { return visibleTip() == nullptr; }));
}

TEST_F(TerminalUiTest, AWorkerGetsTheOwnersNativeHandle) {
    owner.show();
    const auto expected = static_cast<std::uintptr_t>(owner.winId());
    std::atomic<std::uintptr_t> handle{0};
    std::atomic<bool> back{false};
    std::thread worker([&] {
        handle = ui.mainWindowHandle();
        back = true;
    });
    EXPECT_TRUE(spinUntil([&] { return back.load(); }));
    worker.join();
    EXPECT_NE(handle.load(), 0U);
    EXPECT_EQ(handle.load(), expected);
}

TEST_F(TerminalUiTest, WithoutAnOwnerThereIsNoHandle) {
    QtTerminalUi ownerless(*channel, nullptr);
    EXPECT_EQ(ownerless.mainWindowHandle(), 0U);
}

TEST_F(TerminalUiTest, AWorkerWaitingWhenTheWindowGoesIsReleasedWithoutATip) {
    std::atomic<bool> back{false};
    std::thread worker([&] {
        ui.showDeviceTip();
        ui.closeTipWindows();
        EXPECT_EQ(ui.mainWindowHandle(), 0U);
        back = true;
    });
    // The UI thread is busy elsewhere (no events served) when the window goes.
    std::this_thread::sleep_for(30ms);
    EXPECT_FALSE(back.load());
    channel->shutdown();
    worker.join();  // would hang if a sender were left waiting
    EXPECT_TRUE(back.load());
    QCoreApplication::processEvents();
    EXPECT_EQ(visibleTip(), nullptr);
}

}  // namespace

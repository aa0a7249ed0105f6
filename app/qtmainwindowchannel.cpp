#include "app/qtmainwindowchannel.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <utility>

QtMainWindowChannel::QtMainWindowChannel(MainWindowHandler handler)
    : QueuedMainWindowChannel(std::move(handler)), receiver_(new QObject) {}

QtMainWindowChannel::~QtMainWindowChannel() {
    close();
    if (receiver_ == nullptr) {
        return;
    }
    if (receiver_->thread() == QThread::currentThread()) {
        delete receiver_;
    } else {
        receiver_->deleteLater();
    }
}

void QtMainWindowChannel::shutdown() {
    close();
    delete receiver_;  // removes the wake-ups still posted to it
    receiver_ = nullptr;
}

void QtMainWindowChannel::wakeUiThread() {
    // Called with the queue locked and never after close(), so receiver_ is alive here.
    QMetaObject::invokeMethod(
        receiver_, [this] { pump(); }, Qt::QueuedConnection);
}

#include "service/mainwindowchannel.h"

#include <mutex>
#include <utility>

namespace {

std::mutex& publishedMutex() {
    static std::mutex m;
    return m;
}

std::shared_ptr<MainWindowChannel>& published() {
    static std::shared_ptr<MainWindowChannel> channel;
    return channel;
}

}  // namespace

void publishMainWindow(std::shared_ptr<MainWindowChannel> channel) {
    std::lock_guard<std::mutex> lock(publishedMutex());
    published() = std::move(channel);
}

std::shared_ptr<MainWindowChannel> mainWindow() {
    std::lock_guard<std::mutex> lock(publishedMutex());
    return published();
}

std::intptr_t sendToMainWindow(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    auto channel = mainWindow();
    return channel ? channel->send(msg, wParam, lParam) : 0;
}

bool postToMainWindow(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    auto channel = mainWindow();
    return channel ? channel->post(msg, wParam, lParam) : false;
}

bool waitForWorker(const std::function<bool()>& done, std::mutex& lock,
                   std::condition_variable& wake, std::chrono::milliseconds bound) {
    const std::shared_ptr<MainWindowChannel> channel = mainWindow();
    if (channel && channel->isUiThread() && !channel->isClosed()) {
        return channel->waitPumping(done, bound);
    }
    std::unique_lock<std::mutex> guard(lock);
    return wake.wait_for(guard, bound, done);
}

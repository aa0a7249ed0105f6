// One QApplication for a whole GUI test program, on the main thread, made before the first test
// and gone after the last. Register it once per program:
//
//     ::testing::AddGlobalTestEnvironment(new fenwixtest::QApplicationEnvironment(...));
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <memory>

namespace fenwixtest {

class QApplicationEnvironment : public ::testing::Environment {
public:
    // WhenAvailable: on the X display when there is one (for tests that need real native
    // windows), else without a display. Never: always without a display.
    enum class Display { Never, WhenAvailable };

    QApplicationEnvironment(const char* programName, Display display)
        : name_(programName), display_(display) {}

    void SetUp() override {
        const char* x = std::getenv("DISPLAY");
        if (display_ == Display::Never || x == nullptr || *x == '\0') {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        argv_[0] = const_cast<char*>(name_);
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

private:
    const char* name_;
    Display display_;
    int argc_ = 1;
    char* argv_[2] = {nullptr, nullptr};
    std::unique_ptr<QApplication> app_;
};

}  // namespace fenwixtest

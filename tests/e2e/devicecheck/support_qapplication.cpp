// One QApplication for the program on the test's X display (offscreen without one, where the
// tests that need the display skip).
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <memory>

namespace {

class QApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        const char* display = std::getenv("DISPLAY");
        qputenv("QT_QPA_PLATFORM", display != nullptr && *display != '\0' ? "xcb" : "offscreen");
        static int argc = 1;
        static char name[] = "e2e_devicecheck";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new QApplicationEnvironment);

}  // namespace

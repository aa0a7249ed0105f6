// One QApplication for the program, on an X display of the program's own when it was given one
// (offscreen without one, where the tests that need the display skip). The display comes first:
// environments are set up in the order they are added.
#include "support/privatedisplay.h"
#include "support/qapplicationenvironment.h"

namespace {

[[maybe_unused]] ::testing::Environment* const g_display =
    ::testing::AddGlobalTestEnvironment(new fenwixtest::PrivateDisplayEnvironment);
[[maybe_unused]] ::testing::Environment* const g_application =
    ::testing::AddGlobalTestEnvironment(new fenwixtest::QApplicationEnvironment(
        "e2e_devicecheck", fenwixtest::QApplicationEnvironment::Display::WhenAvailable));

}  // namespace

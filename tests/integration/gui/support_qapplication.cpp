// One QApplication for the whole program, on the X display when there is one, so the conference
// library can draw into a real window.
#include "support/qapplicationenvironment.h"

namespace {

using fenwixtest::QApplicationEnvironment;

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new QApplicationEnvironment(
        "integration_gui", QApplicationEnvironment::Display::WhenAvailable));

}  // namespace

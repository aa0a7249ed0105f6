// One QApplication for the whole GUI test program, without a display.
#include "support/qapplicationenvironment.h"

namespace {

using fenwixtest::QApplicationEnvironment;

[[maybe_unused]] ::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(
    new QApplicationEnvironment("unit_gui", QApplicationEnvironment::Display::Never));

}  // namespace

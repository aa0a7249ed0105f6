// Every test of this program runs its terminals on an X server of its own.
#include "support/privatedisplay.h"

namespace {

[[maybe_unused]] ::testing::Environment* const g_display =
    ::testing::AddGlobalTestEnvironment(new fenwixtest::PrivateDisplayEnvironment);

}  // namespace

// Which key presses reach the main window's controls and which act as commands.
#include <gtest/gtest.h>

#include <ostream>

#include "app/keyfilter.h"

namespace {

struct KeyCase {
    const char* name;
    int key;
    Qt::KeyboardModifiers modifiers;
    MainKeyAction expected;
};

// Readable parameter names in test listings.
void PrintTo(const KeyCase& c, std::ostream* os) {
    *os << c.name;
}

class MainWindowKeys : public ::testing::TestWithParam<KeyCase> {};

TEST_P(MainWindowKeys, AreClassified) {
    const auto& c = GetParam();
    EXPECT_EQ(classifyMainWindowKey(c.key, c.modifiers), c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, MainWindowKeys,
    ::testing::Values(
        KeyCase{"Escape", Qt::Key_Escape, Qt::NoModifier, MainKeyAction::Swallow},
        KeyCase{"Enter", Qt::Key_Return, Qt::NoModifier, MainKeyAction::Swallow},
        KeyCase{"keypad Enter", Qt::Key_Enter, Qt::KeypadModifier, MainKeyAction::Swallow},
        KeyCase{"Shift+Escape", Qt::Key_Escape, Qt::ShiftModifier, MainKeyAction::Swallow},
        KeyCase{"Alt+F4", Qt::Key_F4, Qt::AltModifier, MainKeyAction::Swallow},
        KeyCase{"Alt+Q", Qt::Key_Q, Qt::AltModifier, MainKeyAction::Close},
        KeyCase{"Alt+Shift+Q", Qt::Key_Q, Qt::AltModifier | Qt::ShiftModifier,
                MainKeyAction::Close},
        KeyCase{"Alt+E", Qt::Key_E, Qt::AltModifier, MainKeyAction::EnterClass},
        KeyCase{"Alt+T", Qt::Key_T, Qt::AltModifier, MainKeyAction::DeviceCheck},
        KeyCase{"Q alone", Qt::Key_Q, Qt::NoModifier, MainKeyAction::PassOn},
        KeyCase{"F4 alone", Qt::Key_F4, Qt::NoModifier, MainKeyAction::PassOn},
        KeyCase{"Ctrl+Q", Qt::Key_Q, Qt::ControlModifier, MainKeyAction::PassOn},
        KeyCase{"AltGr+Q (Ctrl+Alt)", Qt::Key_Q, Qt::ControlModifier | Qt::AltModifier,
                MainKeyAction::PassOn},
        KeyCase{"Alt+S", Qt::Key_S, Qt::AltModifier, MainKeyAction::PassOn},
        KeyCase{"Alt+D", Qt::Key_D, Qt::AltModifier, MainKeyAction::PassOn},
        KeyCase{"Space", Qt::Key_Space, Qt::NoModifier, MainKeyAction::PassOn}));

}  // namespace

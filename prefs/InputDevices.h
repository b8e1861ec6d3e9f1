#pragma once

#include <QString>

#include <array>

// The input devices the emulator knows, in the order the player boxes list them. The caption is
// what the dialogs show; the keyword is what the settings file and the emulator use. Both are
// compared exactly, case included.
struct InputDevice
{
    const char* caption;
    const char* keyword;
};

namespace InputDevices {

constexpr int Count = 11;

// Two captions hold a backslash between "Joystick" and "Joypad"; that is their spelling.
constexpr std::array<InputDevice, Count> table = {{
    {"Keyboard 1", "key1"},
    {"Keyboard 2", "key2"},
    {"Joystick 1 (2 Butt)", "joy1"},
    {"Joystick 2 (2 Butt)", "joy2"},
    {"Joystick\\Joypad (4 Butt)", "4button"},
    {"Joystick\\Joypad (6 Butt)", "6button"},
    {"Microsoft SideWinder (10 Butt)", "SIDEWINDER"},
    {"GrIP Slot 1 (8 Butt)", "GRIP1"},
    {"GrIP Slot 2 (8 Butt)", "GRIP2"},
    {"Snes Pad 1 lpt1 (8 Butt)", "SNESPAD1"},
    {"Snes Pad 2 lpt2 (8 Butt)", "SNESPAD2"},
}};

// Indexes into the table, for the devices the game options dialog also lists.
enum Index {
    Keyboard1 = 0,
    Keyboard2,
    Joystick1,
    Joystick2,
    Joypad4,
    Joypad6,
    SideWinder,
    Grip1,
    Grip2,
    SnesPad1,
    SnesPad2,
};

inline QString caption(int index)
{
    return QString::fromLatin1(table[static_cast<size_t>(index)].caption);
}
inline QString keyword(int index)
{
    return QString::fromLatin1(table[static_cast<size_t>(index)].keyword);
}

// The table index of a caption or keyword, exact comparison; -1 when none matches.
int indexOfCaption(const QString& text);
int indexOfKeyword(const QString& text);

} // namespace InputDevices

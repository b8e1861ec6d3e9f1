#pragma once

#include "InputDevices.h"
#include "LineWriter.h"

#include <QDir>
#include <QString>
#include <QStringList>

#include <array>

// The devices whose buttons the emulator's per-game file can remap, numbered from 1 in the order of
// their lines in the file. Slot 0 is never used, so that a device number is its index.
struct GameDevice
{
    int captionIndex;    // index into InputDevices::table
    int buttons;         // the device's buttons, numbered from 0
    const char* keyword; // the device's name in the file
    int values;          // values written on its line
};

namespace GameDevices {

constexpr int Count = 7;
constexpr int InputCount = 8; // Fire A to Fire F, Start, Coin

constexpr std::array<GameDevice, Count + 1> table = {{
    {-1, 0, "", 0},
    {InputDevices::Joystick1, 2, "JOY1", 2},
    {InputDevices::Joystick2, 2, "JOY2", 2},
    {InputDevices::Joypad4, 4, "4BUTTON", InputCount},
    {InputDevices::Joypad6, 6, "6BUTTON", InputCount},
    {InputDevices::Grip1, 8, "GRIP1", InputCount},
    {InputDevices::Grip2, 8, "GRIP2", InputCount},
    {InputDevices::SideWinder, 10, "SIDEWINDER", InputCount},
}};

inline const GameDevice& device(int index)
{
    return table[static_cast<size_t>(index)];
}

// The caption the dialog lists for device 1 to 7.
inline QString caption(int index)
{
    return InputDevices::caption(device(index).captionIndex);
}

// "-remapbut", blanks, then the keyword ending in column 20 and one blank: 21 characters.
QString linePrefix(int index);

// The range of a button entry, as the dialog's bars cover it: -1 is no button.
constexpr int NoButton = -1;
constexpr int MaxButton = 10;

// The position a bar shows for an entry: a whole number brought into the range, anything else none.
// "255" has been read as "-1" already.
int buttonValue(const QString& entry);

} // namespace GameDevices

// The content of a game's file: which device button drives each logical input, per device, and the
// three DIP switch values. Entries are held as text, as the file spells them; "-1" is no button.
struct GameConfig
{
    using Row = std::array<QString, GameDevices::InputCount>;
    using ButtonMap = std::array<Row, GameDevices::Count + 1>;

    GameConfig();

    static ButtonMap emptyMap();

    ButtonMap k;
    QString dip1 = QStringLiteral("00");
    QString dip2 = QStringLiteral("00");
    QString dip3 = QStringLiteral("00");
};

// The file of a set: its name with ".ini". Empty when the name cannot name a file in the working
// folder (empty, or holding a folder separator).
QString gameConfigFileName(const QString& romname);

// Reads the content of a game's file. Whatever the file does not hold keeps its default.
GameConfig parseGameConfig(const QByteArray& data);

// Reads the file of `romname` in `workDir`, its name matched without regard to case. Returns false,
// leaving `config` alone, when there is no such file, or when it cannot be read: then `error`
// says why.
bool readGameConfig(const QDir& workDir, const QString& romname, GameConfig* config, QString* error = nullptr);

// The fifteen lines of the file.
QStringList gameConfigLines(const GameConfig& config);

// Replaces the file of `romname` in `workDir`. On failure the old file stays as it was.
SaveResult writeGameConfig(const QDir& workDir, const QString& romname, const GameConfig& config);

#pragma once

#include "InputDevices.h"

#include <QString>

#include <array>

// The screen resolutions the emulator offers, in the order of the dialog's buttons Res1 to Res11.
// The line is the settings-file switch that selects the resolution.
struct Resolution
{
    const char* caption;
    const char* line;
};

namespace Resolutions {

constexpr int Count = 11;

constexpr std::array<Resolution, Count> table = {{
    {"320x200", "-res 320 200"},
    {"320x240", "-res 320 240"},
    {"320x400", "-res 320 400"},
    {"360x240", "-res 360 240"},
    {"384x224", "-res 384 224"},
    {"384x257", "-res 384 257"},
    {"400x300", "-res 400 300"},
    {"512x384", "-res 512 384"},
    {"640x400", "-res 640 400"},
    {"640x480", "-res 640 480"},
    {"800x600", "-res 800 600"},
}};

// The resolution the arcade machines themselves use: the default.
constexpr int Original = 4;

inline QString caption(int index)
{
    return QString::fromLatin1(table[static_cast<size_t>(index)].caption);
}
inline QString line(int index)
{
    return QString::fromLatin1(table[static_cast<size_t>(index)].line);
}

// The index of a settings-file line, exact comparison; -1 when none matches.
int indexOfLine(const QString& text);

} // namespace Resolutions

enum class SwapMode { Normal, FpuCopy, MmxCopy };

// The default options of every launch, as the preferences dialog holds them. A value-initialised
// object holds the dialog's defaults.
struct Preferences
{
    static constexpr int FrameSkipMin = 1;
    static constexpr int FrameSkipMax = 8;
    static constexpr int PlayerCount = 2;

    int resolution = Resolutions::Original; // index into Resolutions::table
    bool autoFrameSkip = true;
    int frameSkip = FrameSkipMin; // used while autoFrameSkip is off
    SwapMode swapMode = SwapMode::Normal;
    bool vsync = false;
    bool vesa6Bit = false;
    bool doubleSize = false;
    bool intensity = false;
    bool noVesa = false;
    bool forceLinear = false;
    bool forceBanked = false;
    bool exclusive = false;
    bool altKey = false;
    // The text of each player's box: normally a device caption, but the user may type anything.
    std::array<QString, PlayerCount> players{InputDevices::caption(InputDevices::Keyboard1),
                                             InputDevices::caption(InputDevices::Keyboard1)};
    QString other; // the user's own switches, passed on as typed

    bool operator==(const Preferences& rhs) const;
    bool operator!=(const Preferences& rhs) const { return !(*this == rhs); }
};

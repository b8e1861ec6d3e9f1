#include "Preferences.h"

namespace Resolutions {

int indexOfLine(const QString& text)
{
    for (int i = 0; i < Count; ++i) {
        if (text == QLatin1String(table[static_cast<size_t>(i)].line))
            return i;
    }
    return -1;
}

} // namespace Resolutions

bool Preferences::operator==(const Preferences& rhs) const
{
    return resolution == rhs.resolution && autoFrameSkip == rhs.autoFrameSkip && frameSkip == rhs.frameSkip &&
           swapMode == rhs.swapMode && vsync == rhs.vsync && vesa6Bit == rhs.vesa6Bit && doubleSize == rhs.doubleSize &&
           intensity == rhs.intensity && noVesa == rhs.noVesa && forceLinear == rhs.forceLinear &&
           forceBanked == rhs.forceBanked && exclusive == rhs.exclusive && altKey == rhs.altKey &&
           players == rhs.players && other == rhs.other;
}

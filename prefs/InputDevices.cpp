#include "InputDevices.h"

namespace InputDevices {

int indexOfCaption(const QString& text)
{
    for (int i = 0; i < Count; ++i) {
        if (text == QLatin1String(table[static_cast<size_t>(i)].caption))
            return i;
    }
    return -1;
}

int indexOfKeyword(const QString& text)
{
    for (int i = 0; i < Count; ++i) {
        if (text == QLatin1String(table[static_cast<size_t>(i)].keyword))
            return i;
    }
    return -1;
}

} // namespace InputDevices

#include "PreferencesFile.h"

#include <array>
#include <utility>

#include <QtGlobal>

#include "FileLookup.h"
#include "ItemReader.h"

namespace {

// The check boxes that only ever add a switch of their own, in the order they are written.
struct Switch
{
    const char* line;
    bool Preferences::*value;
};

const std::array<Switch, 8> switches = {{
    {"-vesa6bit", &Preferences::vesa6Bit},
    {"-double", &Preferences::doubleSize},
    {"-intensity", &Preferences::intensity},
    {"-novesa", &Preferences::noVesa},
    {"-linear", &Preferences::forceLinear},
    {"-banked", &Preferences::forceBanked},
    {"-exclusive", &Preferences::exclusive},
    {"-altkey", &Preferences::altKey},
}};

const QString otherMarker = QStringLiteral("other");
const QString frameSkipSwitch = QStringLiteral("-frameskip");
const QString setInputSwitch = QStringLiteral("-setinput");

// Character positions below count from 1, as in "character 12 of the item".
QString characters(const QString& item, int first, int count = -1)
{
    return item.mid(first - 1, count);
}

// Returns whether the item is one of the whole-item switches.
bool applyWholeItem(const QString& item, Preferences* prefs)
{
    const int resolution = Resolutions::indexOfLine(item);
    if (resolution >= 0) {
        prefs->resolution = resolution;
        return true;
    }
    if (item == QLatin1String("-fpucopy")) {
        prefs->swapMode = SwapMode::FpuCopy;
        return true;
    }
    if (item == QLatin1String("-mmxcopy")) {
        prefs->swapMode = SwapMode::MmxCopy;
        return true;
    }
    if (item == QLatin1String("-vsync ON") || item == QLatin1String("-vsync OFF")) {
        prefs->vsync = item == QLatin1String("-vsync ON");
        return true;
    }
    for (const Switch& s : switches) {
        if (item == QLatin1String(s.line)) {
            prefs->*s.value = true;
            return true;
        }
    }
    return false;
}

void applyFrameSkip(const QString& item, Preferences* prefs)
{
    if (item.left(10) != frameSkipSwitch)
        return;
    if (characters(item, 12, 4) == QLatin1String("AUTO")) {
        prefs->autoFrameSkip = true;
        return;
    }
    prefs->autoFrameSkip = false;
    // Only character 12 is the value; a missing or non-digit one reads as 0. The slider holds
    // 1 to 8 only, so whatever lies outside takes the nearest end.
    const QString digit = characters(item, 12, 1);
    const int value = (digit.size() == 1 && digit.at(0) >= QLatin1Char('0') && digit.at(0) <= QLatin1Char('9'))
                          ? digit.at(0).unicode() - '0'
                          : 0;
    prefs->frameSkip = qBound(Preferences::FrameSkipMin, value, Preferences::FrameSkipMax);
}

// `current` is the player the last "-setinput" item named; it carries over to the next one.
void applyInput(const QString& item, int* current, Preferences* prefs)
{
    if (item.left(9) != setInputSwitch)
        return;
    const QString player = characters(item, 11, 1);
    if (player == QLatin1String("1"))
        *current = 0;
    else if (player == QLatin1String("2"))
        *current = 1;
    const int device = InputDevices::indexOfKeyword(characters(item, 13));
    if (device >= 0)
        prefs->players[static_cast<size_t>(*current)] = InputDevices::caption(device);
}

} // namespace

namespace PreferencesFile {

QString lookupName()
{
    return QStringLiteral("gantrel.ini");
}

QString writtenName()
{
    return QStringLiteral("Gantrel.ini");
}

QString find(const QDir& folder)
{
    return Platform::findEntry(folder, lookupName(), Platform::EntryKind::File);
}

Preferences parse(const QByteArray& data, Preferences start)
{
    Preferences prefs = std::move(start);
    ItemReader reader(data);
    int current = 0;
    QString item;
    // A text typed with commas comes back as several items; those that set no control are switches
    // of the user's own and go back into the free text, so that saving again keeps each of them.
    bool otherFound = false;
    QStringList otherParts;
    QStringList unmatched;
    while (reader.readItem(&item)) {
        if (item == otherMarker) {
            // A marker with nothing after it reads as an empty text.
            QString text;
            reader.readItem(&text);
            otherFound = true;
            otherParts = QStringList{text};
            continue;
        }
        const bool matched = item.left(10) == frameSkipSwitch || item.left(9) == setInputSwitch;
        if (!applyWholeItem(item, &prefs) && !matched && !item.isEmpty())
            unmatched.append(item);
        applyFrameSkip(item, &prefs);
        applyInput(item, &current, &prefs);
    }
    if (otherFound || !unmatched.isEmpty()) {
        otherParts.append(unmatched);
        otherParts.removeAll(QString());
        prefs.other = otherParts.join(QLatin1String(", "));
    }
    return prefs;
}

ReadResult read(const QDir& folder, const Preferences& start)
{
    ReadResult result;
    result.preferences = start;
    const QString path = find(folder);
    if (path.isEmpty())
        return result;
    result.found = true;
    QByteArray data;
    if (!ItemReader::readFile(path, &data, &result.error))
        return result;
    result.preferences = parse(data, start);
    return result;
}

QStringList lines(const Preferences& prefs)
{
    QStringList out;
    out.append(Resolutions::line(qBound(0, prefs.resolution, Resolutions::Count - 1)));
    out.append(prefs.autoFrameSkip ? QStringLiteral("-frameskip AUTO")
                                   : QStringLiteral("-frameskip %1").arg(prefs.frameSkip));
    if (prefs.swapMode == SwapMode::FpuCopy)
        out.append(QStringLiteral("-fpucopy"));
    else if (prefs.swapMode == SwapMode::MmxCopy)
        out.append(QStringLiteral("-mmxcopy"));
    out.append(prefs.vsync ? QStringLiteral("-vsync ON") : QStringLiteral("-vsync OFF"));
    for (const Switch& s : switches) {
        if (prefs.*s.value)
            out.append(QLatin1String(s.line));
    }
    for (int player = 0; player < Preferences::PlayerCount; ++player) {
        const int device = InputDevices::indexOfCaption(prefs.players[static_cast<size_t>(player)]);
        if (device >= 0)
            out.append(QStringLiteral("-setinput %1 %2").arg(player + 1).arg(InputDevices::keyword(device)));
    }
    if (!prefs.other.isEmpty()) {
        out.append(otherMarker);
        // The text must stay one line: a line break in it would smuggle in lines of its own.
        QString text = prefs.other;
        text.replace(QLatin1String("\r\n"), QLatin1String(" "));
        text.replace(QLatin1Char('\r'), QLatin1Char(' '));
        text.replace(QLatin1Char('\n'), QLatin1Char(' '));
        out.append(text);
    }
    return out;
}

SaveResult write(const QDir& folder, const Preferences& preferences)
{
    return saveLines(folder, writtenName(), lines(preferences));
}

} // namespace PreferencesFile

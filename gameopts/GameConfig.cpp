#include "GameConfig.h"

#include "FileLookup.h"
#include "ItemReader.h"

#include <algorithm>

namespace {

const QString buttonHeader = QStringLiteral("; button mappings");
const QString keyboardHeader = QStringLiteral("; keyboard scan codes");
const QString dipHeader = QStringLiteral("; dip switches");
const QString ruler = QStringLiteral(";----------------------------------------------");
const QString noButton = QStringLiteral("-1");
const QString noButtonInFile = QStringLiteral("255");

constexpr int prefixLength = 21;

// Digits, with a sign or not.
bool isWholeNumber(const QString& text)
{
    const qsizetype start = text.startsWith(u'+') || text.startsWith(u'-') ? 1 : 0;
    if (text.size() == start)
        return false;
    return std::all_of(text.begin() + start, text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// The values of a remap line start in column 22. Each is a run of non-blanks ended by one blank or
// the end of the line, so two blanks in a row give an empty value and shift the later ones.
void parseRemapLine(const QString& line, GameConfig::Row* row)
{
    int p = 0;
    for (QString& entry : *row) {
        QString t;
        QChar c;
        while (c != QLatin1Char(' ') && p + prefixLength < line.size()) {
            c = line.at(prefixLength + p);
            if (c != QLatin1Char(' '))
                t.append(c);
            ++p;
        }
        entry = t;
    }
}

QString fileEntry(const QString& entry)
{
    return entry.isEmpty() || entry == noButton ? noButtonInFile : entry;
}

// A line break in a value would split the DIP line in two.
QString dipValue(QString value)
{
    value.replace(QLatin1Char('\r'), QLatin1Char(' '));
    value.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return value;
}

} // namespace

int GameDevices::buttonValue(const QString& entry)
{
    if (!isWholeNumber(entry))
        return NoButton;
    bool ok = false;
    const int value = entry.toInt(&ok);
    if (ok)
        return std::clamp(value, NoButton, MaxButton);
    // Digits too many for an int are still a whole number, far beyond the range on its side.
    return entry.startsWith(QLatin1Char('-')) ? NoButton : MaxButton;
}

QString GameDevices::linePrefix(int index)
{
    return QStringLiteral("-remapbut") + QString::fromLatin1(device(index).keyword).rightJustified(11) +
           QLatin1Char(' ');
}

GameConfig::GameConfig() : k(emptyMap()) {}

GameConfig::ButtonMap GameConfig::emptyMap()
{
    ButtonMap map;
    for (Row& row : map)
        row.fill(noButton);
    return map;
}

QString gameConfigFileName(const QString& romname)
{
    if (romname.isEmpty() || romname.contains(QLatin1Char('/')) || romname.contains(QLatin1Char('\\')) ||
        romname.contains(QChar::Null))
        return {};
    return romname + QStringLiteral(".ini");
}

GameConfig parseGameConfig(const QByteArray& data)
{
    GameConfig config;
    ItemReader reader(data);
    QString value;
    // Each header is tested on the value read last, so the last line of a section is itself
    // tested against the later headers. A section cut short by the end of the file ends there.
    while (!reader.atEnd()) {
        reader.readItem(&value);
        if (value == buttonHeader) {
            for (int device = 1; device <= GameDevices::Count; ++device) {
                if (!reader.readItem(&value))
                    break;
                parseRemapLine(value, &config.k[static_cast<size_t>(device)]);
            }
        }
        if (value == keyboardHeader) {
            reader.readItem(&value);
            reader.readItem(&value);
        }
        if (value == dipHeader && reader.readItem(&value)) {
            config.dip1 = value.mid(5, 2);
            config.dip2 = value.mid(8, 2);
            config.dip3 = value.mid(11, 2);
        }
    }
    // A whole number keeps its spelling ("03", "+1"), so that an entry whose bar is not moved goes back
    // unchanged; anything else is no button.
    for (size_t device = 1; device <= GameDevices::Count; ++device) {
        for (QString& entry : config.k[device]) {
            if (entry == noButtonInFile || !isWholeNumber(entry))
                entry = noButton;
        }
    }
    return config;
}

bool readGameConfig(const QDir& workDir, const QString& romname, GameConfig* config, QString* error)
{
    const QString name = gameConfigFileName(romname);
    if (name.isEmpty())
        return false;
    const QString path = Platform::findEntry(workDir, name, Platform::EntryKind::File);
    QByteArray data;
    if (path.isEmpty() || !ItemReader::readFile(path, &data, error))
        return false;
    *config = parseGameConfig(data);
    return true;
}

QStringList gameConfigLines(const GameConfig& config)
{
    QStringList lines{ruler, QStringLiteral("; Configuration for "), ruler, QString(), buttonHeader};
    for (int index = 1; index <= GameDevices::Count; ++index) {
        const GameConfig::Row& row = config.k[static_cast<size_t>(index)];
        QStringList values;
        for (int input = 0; input < GameDevices::device(index).values; ++input)
            values.append(fileEntry(row[static_cast<size_t>(input)]));
        lines.append(GameDevices::linePrefix(index) + values.join(QLatin1Char(' ')));
    }
    lines.append(QString());
    lines.append(dipHeader);
    lines.append(QStringLiteral("-dip ") + dipValue(config.dip1) + QLatin1Char(' ') + dipValue(config.dip2) +
                 QLatin1Char(' ') + dipValue(config.dip3));
    return lines;
}

SaveResult writeGameConfig(const QDir& workDir, const QString& romname, const GameConfig& config)
{
    const QString name = gameConfigFileName(romname);
    if (name.isEmpty()) {
        SaveResult result;
        result.error = romname.isEmpty()
                           ? QStringLiteral("No game is selected, so there is no file to save its options in.")
                           : QStringLiteral("The set name \"%1\" cannot name a file, so its options cannot be saved.")
                                 .arg(romname);
        return result;
    }
    SaveResult result = saveLines(workDir, name, gameConfigLines(config));
    if (!result.ok)
        result.error = QStringLiteral("Cannot save %1: %2").arg(name, result.error);
    return result;
}

#include "LaunchPlan.h"

#include "FileLookup.h"
#include "ItemReader.h"

namespace LaunchPlan {

namespace {

const QString sharedFolder = QStringLiteral("sf2t");

} // namespace

QString optionString(const QDir& workDir)
{
    QString options;
    const QString path = Platform::findEntry(workDir, QStringLiteral("gantrel.ini"), Platform::EntryKind::File);
    if (path.isEmpty())
        return options;
    QByteArray data;
    if (!ItemReader::readFile(path, &data))
        return options;

    ItemReader reader(data);
    QString item;
    while (!reader.atEnd()) {
        reader.readItem(&item);
        if (item == QLatin1String("other")) {
            if (reader.atEnd())
                break;
            reader.readItem(&item);
        }
        options += u' ';
        options += item;
    }
    return options;
}

QList<Extraction> extractions(const QString& romname)
{
    const QString archive = QStringLiteral(".\\roms\\") + romname + QStringLiteral(".zip");
    if (romname == QLatin1String("sf2ce"))
        return {{archive, sharedFolder}, {QStringLiteral(".\\roms\\sf2t"), sharedFolder}};
    if (romname == QLatin1String("sf2cej") || romname == QLatin1String("sf2tj"))
        return {{archive, sharedFolder}, {QStringLiteral(".\\roms\\sf2tj"), sharedFolder}};
    return {{archive, romname}};
}

QString commandLine(const QString& romname, const QString& options)
{
    return QStringLiteral("torvak.exe ") + romname + options;
}

} // namespace LaunchPlan

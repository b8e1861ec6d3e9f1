// Writes a zipped ROM set that takes seconds to extract: many small members.
// Usage: makeslowset <archive> <member count>
#include "ArchiveMaker.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    bool ok = false;
    const int count = args.size() == 3 ? args.at(2).toInt(&ok) : 0;
    if (!ok || count <= 0) {
        std::fprintf(stderr, "usage: makeslowset <archive> <member count>\n");
        return 2;
    }
    return writeArchive(args.at(1), emptyMembers(count)) ? 0 : 1;
}

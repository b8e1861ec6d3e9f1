// Writes a zipped ROM set that takes seconds to extract: many small members.
// Usage: makeslowset <archive> <member count>
#include "ArchiveMaker.h"

#include <cstdio>

int main(int argc, char* argv[])
{
    bool ok = false;
    const int count = argc == 3 ? QByteArray(argv[2]).toInt(&ok) : 0;
    if (!ok || count <= 0) {
        std::fprintf(stderr, "usage: makeslowset <archive> <member count>\n");
        return 2;
    }
    return writeArchive(QString::fromLocal8Bit(argv[1]), emptyMembers(count)) ? 0 : 1;
}

#include "CommandLine.h"

namespace Platform {

QStringList splitCommandLine(const QString& commandLine)
{
    QStringList arguments;
    QString current;
    bool inArgument = false;
    bool inQuotes = false;
    const int length = commandLine.size();

    for (int i = 0; i < length; ++i) {
        const QChar c = commandLine.at(i);
        if (!inQuotes && (c == u' ' || c == u'\t')) {
            if (inArgument) {
                arguments.append(current);
                current.clear();
                inArgument = false;
            }
            continue;
        }
        inArgument = true;
        if (c == u'\\') {
            int backslashes = 0;
            while (i < length && commandLine.at(i) == u'\\') {
                ++backslashes;
                ++i;
            }
            if (i < length && commandLine.at(i) == u'"') {
                current.append(QString(backslashes / 2, u'\\'));
                if (backslashes % 2 == 1)
                    current.append(u'"');
                else
                    inQuotes = !inQuotes;
            } else {
                current.append(QString(backslashes, u'\\'));
                --i;
            }
            continue;
        }
        if (c == u'"') {
            if (inQuotes && i + 1 < length && commandLine.at(i + 1) == u'"') {
                current.append(u'"');
                ++i;
            } else {
                inQuotes = !inQuotes;
            }
            continue;
        }
        current.append(c);
    }
    if (inArgument)
        arguments.append(current);
    return arguments;
}

} // namespace Platform

#pragma once

#include <QString>
#include <QStringList>

namespace Platform {

// Splits a command line into arguments the way programs of the emulator's home platform split
// theirs: blanks and tabs separate arguments, double quotes group (and are dropped), a doubled
// quote inside quotes is a literal quote, and backslashes are literal unless they precede a quote
// (2n backslashes + quote: n backslashes and the quote groups; 2n+1: n backslashes and a literal quote).
QStringList splitCommandLine(const QString& commandLine);

} // namespace Platform

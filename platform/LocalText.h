#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace Platform {

// Text in the system's 8-bit encoding (UTF-8 here), converted without loss. The files and names
// that Gantrel reads were often written by other programs in another code page: a byte that is not
// part of valid UTF-8 decodes to one of the code points U+DC80 to U+DCFF and encodes back to the
// same byte. A name or a line read from disk is therefore written, looked up and handed to the
// emulator exactly as it was read. Use these wherever bytes of a file, a file name or an argument
// become text or text becomes bytes; Qt's own conversions replace such bytes with U+FFFD.
QString decodeLocal(QByteArrayView bytes);
QByteArray encodeLocal(QStringView text);

// The system's text for an error number (errno).
QString errorText(int error);

} // namespace Platform

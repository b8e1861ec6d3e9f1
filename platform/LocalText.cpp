#include "LocalText.h"

#include <cstring>

namespace Platform {

namespace {

constexpr char16_t EscapeBase = 0xDC00;

bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// The length of the valid UTF-8 sequence at `bytes[pos]` and its code point; 0 when the byte
// does not start one (overlong forms, surrogates and values past U+10FFFF are not valid).
int sequenceAt(QByteArrayView bytes, qsizetype pos, char32_t* codePoint)
{
    const auto at = [&](qsizetype i) { return static_cast<unsigned char>(bytes[pos + i]); };
    const unsigned char lead = at(0);
    int length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (pos + length > bytes.size())
        return 0;
    const unsigned char second = at(1);
    if (second < low || second > high)
        return 0;
    char32_t value = lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if (!isContinuation(at(i)))
            return 0;
        value = (value << 6) | (at(i) & 0x3F);
    }
    *codePoint = value;
    return length;
}

bool isEscape(char16_t unit)
{
    return unit >= EscapeBase + 0x80 && unit <= EscapeBase + 0xFF;
}

} // namespace

QString decodeLocal(QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size());
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        const auto byte = static_cast<unsigned char>(bytes[pos]);
        if (byte < 0x80) {
            text.append(QChar(byte));
            ++pos;
            continue;
        }
        char32_t codePoint = 0;
        const int length = sequenceAt(bytes, pos, &codePoint);
        if (length == 0) {
            text.append(QChar(static_cast<char16_t>(EscapeBase + byte)));
            ++pos;
            continue;
        }
        if (codePoint > 0xFFFF) {
            const char32_t pair[] = {codePoint};
            text.append(QString::fromUcs4(pair, 1));
        } else {
            text.append(QChar(static_cast<char16_t>(codePoint)));
        }
        pos += length;
    }
    return text;
}

QByteArray encodeLocal(QStringView text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    qsizetype pos = 0;
    while (pos < text.size()) {
        const char16_t unit = text[pos].unicode();
        if (unit < 0x80) {
            bytes.append(static_cast<char>(unit));
            ++pos;
            continue;
        }
        qsizetype end = pos + 1;
        if (QChar::isHighSurrogate(unit) && end < text.size() && QChar::isLowSurrogate(text[end].unicode())) {
            ++end;
        } else if (isEscape(unit)) {
            bytes.append(static_cast<char>(unit - EscapeBase));
            ++pos;
            continue;
        } else if (QChar::isSurrogate(unit)) {
            // Any other lone surrogate has no bytes of its own.
            bytes.append("\xEF\xBF\xBD");
            ++pos;
            continue;
        }
        bytes.append(text.mid(pos, end - pos).toUtf8());
        pos = end;
    }
    return bytes;
}

QString errorText(int error)
{
    return decodeLocal(std::strerror(error));
}

} // namespace Platform

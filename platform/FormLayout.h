#pragma once

#include <QFont>
#include <QRect>
#include <QString>

namespace Platform {

// Form layouts are given in twips, fifteen to a pixel at the standard 96 dots per inch.
constexpr int twips(int value)
{
    return (value + 7) / 15;
}

constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

inline QFont formFont(const QString& family, qreal points, bool bold = false, bool italic = false)
{
    QFont font(family);
    font.setPointSizeF(points);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

} // namespace Platform

#include "LineControl.h"

#include <QPainter>

LineControl::LineControl(const QColor& colour, int width, QWidget* parent) : QWidget(parent), m_colour(colour)
{
    setFixedHeight(width);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void LineControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_colour);
}

#pragma once

#include <QColor>
#include <QWidget>

// A straight horizontal line of a given colour and width, drawn across the whole control.
class LineControl final : public QWidget
{
    Q_OBJECT

public:
    LineControl(const QColor& colour, int width, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_colour;
};

#include "TextFit.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>

namespace Platform {

namespace {

// The smallest font a caption is shrunk to; below it, clipping reads better than tiny text.
constexpr qreal smallestPoints = 6.0;
constexpr int rowSlack = 2;

Qt::Alignment horizontalAlignment(const QWidget* control)
{
    if (const auto* label = qobject_cast<const QLabel*>(control))
        return label->alignment() & Qt::AlignHorizontal_Mask;
    return Qt::AlignLeft;
}

// Only the strips a control grows by must be free. Boxes of neighbouring rows often overlap by a
// pixel or two where twips are rounded; that does not touch the caption.
bool roomFor(const QWidget* control, const QRect& wanted)
{
    const QWidget* parent = control->parentWidget();
    if (!parent || !parent->rect().contains(wanted))
        return false;
    const QRect now = control->geometry();
    const QRect left(wanted.left(), wanted.top(), now.left() - wanted.left(), wanted.height());
    const QRect right(now.right() + 1, wanted.top(), wanted.right() - now.right(), wanted.height());
    const QObjectList& siblings = parent->children();
    for (const QObject* object : siblings) {
        const auto* sibling = qobject_cast<const QWidget*>(object);
        if (!sibling || sibling == control || sibling->isHidden())
            continue;
        const QRect other = sibling->geometry();
        if ((other & left).height() > rowSlack || (other & right).height() > rowSlack)
            return false;
    }
    return true;
}

void fit(QWidget* control)
{
    const int needed = control->sizeHint().width();
    const int extra = needed - control->width();
    if (extra <= 0)
        return;

    QRect wanted = control->geometry();
    const Qt::Alignment alignment = horizontalAlignment(control);
    if (alignment & Qt::AlignRight)
        wanted.setLeft(wanted.left() - extra);
    else if (alignment & Qt::AlignHCenter)
        wanted.adjust(-extra / 2, 0, extra - extra / 2, 0);
    else
        wanted.setWidth(needed);
    if (roomFor(control, wanted)) {
        control->setGeometry(wanted);
        return;
    }

    QFont font = control->font();
    while (control->sizeHint().width() > control->width() && font.pointSizeF() > smallestPoints) {
        font.setPointSizeF(font.pointSizeF() - 0.25);
        control->setFont(font);
    }
}

} // namespace

void fitTexts(QWidget* form)
{
    const QList<QWidget*> controls = form->findChildren<QWidget*>();
    for (QWidget* control : controls) {
        const auto* label = qobject_cast<const QLabel*>(control);
        const bool caption = (label && !label->wordWrap() && label->pixmap().isNull()) ||
                             qobject_cast<const QCheckBox*>(control) || qobject_cast<const QRadioButton*>(control);
        if (caption)
            fit(control);
    }
}

} // namespace Platform

#include "GameList.h"

#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QSignalBlocker>

GameList::GameList(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
}

void GameList::focusInEvent(QFocusEvent* event)
{
    if (currentIndex().isValid()) {
        QListWidget::focusInEvent(event);
        return;
    }
    // The base class makes the first item current on focus; undo that without telling anyone.
    const QSignalBlocker blockList(this);
    const QSignalBlocker blockSelection(selectionModel());
    QListWidget::focusInEvent(event);
    selectionModel()->clearCurrentIndex();
}

void GameList::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit enterPressed();
        return;
    }
    QListWidget::keyPressEvent(event);
}

QItemSelectionModel::SelectionFlags GameList::selectionCommand(const QModelIndex& index, const QEvent* event) const
{
    // Nothing under the pointer, or a toggle: neither may leave the list without its game.
    if (!index.isValid())
        return QItemSelectionModel::NoUpdate;
    const QItemSelectionModel::SelectionFlags command = QListWidget::selectionCommand(index, event);
    if (command & (QItemSelectionModel::Deselect | QItemSelectionModel::Toggle))
        return QItemSelectionModel::ClearAndSelect;
    return command;
}

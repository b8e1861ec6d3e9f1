#pragma once

#include <QListWidget>

// The game list. Unlike a plain list view, taking the keyboard focus selects nothing: the window
// opens with no game selected although the list has the focus. Once a game is selected, one always
// is: a click below the last game, or with Ctrl on the selected one, changes nothing. Enter in the
// list asks for a launch.
class GameList final : public QListWidget
{
    Q_OBJECT

public:
    explicit GameList(QWidget* parent = nullptr);

signals:
    void enterPressed();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override;
};

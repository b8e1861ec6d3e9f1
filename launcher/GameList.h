#pragma once

#include <QListWidget>

// The game list. Unlike a plain list view, taking the keyboard focus selects nothing: the window
// opens with no game selected although the list has the focus.
class GameList final : public QListWidget
{
    Q_OBJECT

public:
    explicit GameList(QWidget* parent = nullptr);

protected:
    void focusInEvent(QFocusEvent* event) override;
};

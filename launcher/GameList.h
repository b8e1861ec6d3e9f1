#pragma once

#include <QListWidget>

// The game list. Unlike a plain list view, taking the keyboard focus selects nothing: the window
// opens with no game selected although the list has the focus. Enter in the list asks for a launch.
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
};

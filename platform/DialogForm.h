#pragma once

#include <QPointer>
#include <QWidget>

class QPushButton;

namespace Platform {

// A dialog of the main window: a top-level window without an owner, deleted when it closes. The
// main window stays disabled while it is open, and is enabled again by Form_Unload however the
// dialog closes (its own buttons, Enter, Esc or the close box).
class DialogForm : public QWidget
{
    Q_OBJECT

public:
    explicit DialogForm(QWidget* mainWindow);

protected:
    // Enter presses the default button, unless another button has the focus; Esc presses the cancel button.
    void setDefaultButton(QPushButton* button);
    void setCancelButton(QPushButton* button);

    virtual void Form_Unload();

    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    QWidget* mainWindow() const { return m_mainWindow; }

private:
    QPointer<QWidget> m_mainWindow;
    QPointer<QPushButton> m_defaultButton;
    QPointer<QPushButton> m_cancelButton;
};

// Disables the main window first, then shows the freshly created dialog over it, without waiting for it.
void showDialog(QWidget* mainWindow, DialogForm* dialog);

} // namespace Platform

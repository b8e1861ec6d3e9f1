#include "DialogForm.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>

namespace Platform {

DialogForm::DialogForm(QWidget* mainWindow)
    : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_mainWindow(mainWindow)
{
    setAttribute(Qt::WA_DeleteOnClose);
}

void DialogForm::setDefaultButton(QPushButton* button)
{
    m_defaultButton = button;
    button->setDefault(true);
}

void DialogForm::setCancelButton(QPushButton* button)
{
    m_cancelButton = button;
}

void DialogForm::Form_Unload()
{
    if (m_mainWindow) {
        m_mainWindow->setEnabled(true);
        // The keyboard goes back to the main window even where no window manager hands it on.
        m_mainWindow->activateWindow();
    }
}

void DialogForm::keyPressEvent(QKeyEvent* event)
{
    const bool plain = !(event->modifiers() & ~Qt::KeypadModifier);
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        auto* focused = qobject_cast<QPushButton*>(focusWidget());
        QPushButton* target = focused ? focused : m_defaultButton.data();
        if (target && target->isEnabled()) {
            target->click();
            return;
        }
    } else if (plain && event->key() == Qt::Key_Escape && m_cancelButton && m_cancelButton->isEnabled()) {
        m_cancelButton->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void DialogForm::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}

void showDialog(QWidget* mainWindow, DialogForm* dialog)
{
    mainWindow->setEnabled(false);
    // Over the middle of the main window, where the user is looking.
    dialog->move(mainWindow->frameGeometry().center() - dialog->rect().center());
    dialog->show();
    // The dialog takes the keyboard at once, so that Enter and Esc reach it without a click first;
    // a window manager may do this by itself, but the program must not rely on one.
    dialog->activateWindow();
}

} // namespace Platform

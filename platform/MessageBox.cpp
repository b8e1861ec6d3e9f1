#include "MessageBox.h"

#include <QMessageBox>

namespace Platform {

namespace {

MessageBoxHook& hook()
{
    static MessageBoxHook instance;
    return instance;
}

MessageAnswer showRealBox(const MessageRequest& request)
{
    QMessageBox box;
    box.setIcon(QMessageBox::NoIcon);
    box.setWindowTitle(request.caption);
    // File names and archive messages reach this box; never let them be read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(request.text);
    if (!request.details.isEmpty())
        box.setDetailedText(request.details);

    if (request.buttons == MessageButtons::Ok) {
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
        return MessageAnswer::Ok;
    }
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return MessageAnswer::Yes;
    case QMessageBox::No:
        return MessageAnswer::No;
    default:
        return MessageAnswer::Cancel;
    }
}

} // namespace

MessageAnswer messageBox(const QString& text, const QString& caption, MessageButtons buttons, const QString& details)
{
    const MessageRequest request{text, caption, buttons, details};
    if (hook())
        return hook()(request);
    return showRealBox(request);
}

void setMessageBoxHook(MessageBoxHook newHook)
{
    hook() = std::move(newHook);
}

} // namespace Platform

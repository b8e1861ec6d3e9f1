#pragma once

#include <QString>

#include <functional>

namespace Platform {

enum class MessageButtons { Ok, YesNoCancel };
enum class MessageAnswer { Ok, Yes, No, Cancel };

struct MessageRequest
{
    QString text;
    QString caption;
    MessageButtons buttons = MessageButtons::Ok;
    QString details;
};

// Shows a message box without an icon and returns the pressed button. Closing a Yes/No/Cancel box
// counts as Cancel. `details`, when given, is offered as expandable text under the message.
MessageAnswer messageBox(const QString& text, const QString& caption, MessageButtons buttons = MessageButtons::Ok,
                         const QString& details = {});

// Replaces the real box, so that tests can read the message and answer it without a window.
// An empty hook brings the real box back.
using MessageBoxHook = std::function<MessageAnswer(const MessageRequest&)>;
void setMessageBoxHook(MessageBoxHook hook);

} // namespace Platform

#pragma once

#include "MessageBox.h"

#include <QList>

// Answers every message box while it lives, without a window, and keeps what was asked.
class MessageBoxSpy final
{
public:
    MessageBoxSpy();
    ~MessageBoxSpy();
    MessageBoxSpy(const MessageBoxSpy&) = delete;
    MessageBoxSpy& operator=(const MessageBoxSpy&) = delete;

    // Answers given in turn; once they run out, Ok for an OK box and Cancel for the others.
    void queueAnswer(Platform::MessageAnswer answer) { m_answers.append(answer); }

    const QList<Platform::MessageRequest>& requests() const { return m_requests; }

private:
    QList<Platform::MessageRequest> m_requests;
    QList<Platform::MessageAnswer> m_answers;
};

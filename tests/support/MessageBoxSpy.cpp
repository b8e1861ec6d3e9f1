#include "MessageBoxSpy.h"

MessageBoxSpy::MessageBoxSpy()
{
    Platform::setMessageBoxHook([this](const Platform::MessageRequest& request) {
        m_requests.append(request);
        if (!m_answers.isEmpty())
            return m_answers.takeFirst();
        return request.buttons == Platform::MessageButtons::Ok ? Platform::MessageAnswer::Ok
                                                               : Platform::MessageAnswer::Cancel;
    });
}

MessageBoxSpy::~MessageBoxSpy()
{
    Platform::setMessageBoxHook({});
}

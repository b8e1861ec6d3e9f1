#pragma once

#include "MainFrm.h"
#include "WorkFolder.h"

#include <QListWidget>
#include <QObject>
#include <QScopedPointer>
#include <QTest>

// What the main window's test suites share: a working folder, and the window loaded and shown in it.
class MainFrmTest : public QObject
{
protected:
    bool openWindow()
    {
        m_frm.reset(new MainFrm(m_work->dir()));
        if (!m_frm->Form_Load())
            return false;
        m_list = m_frm->findChild<QListWidget*>(QStringLiteral("Lista"));
        m_frm->show();
        return QTest::qWaitForWindowActive(m_frm.data());
    }

    QScopedPointer<WorkFolder> m_work;
    QScopedPointer<MainFrm> m_frm;
    QListWidget* m_list = nullptr;
};

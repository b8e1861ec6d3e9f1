#pragma once

#include "MainFrm.h"
#include "ProcessStart.h"
#include "WorkFolder.h"

#include <QApplication>
#include <QListWidget>
#include <QObject>
#include <QPushButton>
#include <QScopedPointer>
#include <QTest>

// What the main window's test suites share: a fresh working folder for every test, the window loaded
// and shown in it, and the clean-up after every test.
class MainFrmTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        m_frm.reset();
        m_list = nullptr;
        Platform::setProcessStartHook({});
        QDir::setCurrent(QDir::tempPath());
        m_work.reset(new WorkFolder);
    }

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
    // Clicks the game of that description in the list; returns whether it is then the current one.
    bool select(const QString& description) const
    {
        const QListWidgetItem* item = m_list->findItems(description, Qt::MatchExactly).value(0);
        if (item)
            QTest::mouseClick(m_list->viewport(), Qt::LeftButton, {}, m_list->visualItemRect(item).center());
        return item && m_list->currentItem() == item;
    }
    void click(const QString& button) const
    {
        QTest::mouseClick(m_frm->findChild<QPushButton*>(button), Qt::LeftButton);
    }
    // The visible top-level window of that name, or null.
    static QWidget* topLevel(const QString& name)
    {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->objectName() == name && window->isVisible())
                return window;
        return nullptr;
    }

    QScopedPointer<WorkFolder> m_work{new WorkFolder};
    QScopedPointer<MainFrm> m_frm;
    QListWidget* m_list = nullptr;
};

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

#include <sys/mount.h>
#include <sys/statvfs.h>

// A small file system mounted on a folder (the tests run as root), whose room can be cut down.
struct SmallDevice
{
    explicit SmallDevice(const QString& folder) : path(QFile::encodeName(folder)) {}
    ~SmallDevice() { ::umount2(path.constData(), MNT_DETACH); }

    // From now on, about `room` more bytes fit.
    bool leaveRoom(qint64 room) const
    {
        struct statvfs info = {};
        ::statvfs(path.constData(), &info);
        const qint64 used = qint64(info.f_blocks - info.f_bfree) * qint64(info.f_frsize);
        return ::mount("tmpfs", path.constData(), "tmpfs", MS_REMOUNT, "size=" + QByteArray::number(used + room)) == 0;
    }
    bool makeReadOnly() const
    {
        return ::mount("tmpfs", path.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

    const QByteArray path;
    const bool mounted = ::mount("tmpfs", path.constData(), "tmpfs", 0, "size=16m") == 0;
};

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

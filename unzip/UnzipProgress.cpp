#include "UnzipProgress.h"

#include "AppInfo.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

UnzipProgress::UnzipProgress(const QString& archiveName)
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      m_archiveName(archiveName)
{
    setObjectName(QStringLiteral("UnzipProgress"));
    setWindowTitle(Platform::appTitle());

    Status = new QLabel(this);
    Status->setObjectName(QStringLiteral("Status"));
    Bar = new QProgressBar(this);
    Bar->setObjectName(QStringLiteral("Bar"));
    Bar->setTextVisible(false);
    Cancel = new QPushButton(cancelCaption(), this);
    Cancel->setObjectName(QStringLiteral("Cancel"));
    connect(Cancel, &QPushButton::clicked, this, [this] {
        // Asked once; the extraction stops as soon as the file being written is complete.
        Cancel->setEnabled(false);
        emit cancelled();
    });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Status);
    layout->addWidget(Bar);
    layout->addLayout(buttons);
    setFixedWidth(360);
    setProgress(0, 0);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        adjustSize();
        move(screen->availableGeometry().center() - rect().center());
    }
}

QString UnzipProgress::extractingText()
{
    return QStringLiteral("Extracting");
}

QString UnzipProgress::cancelCaption()
{
    return QStringLiteral("Cancel");
}

void UnzipProgress::setProgress(long long done, long long total)
{
    Status->setText(QStringLiteral("%1 %2\n%3 of %4 files").arg(extractingText(), m_archiveName).arg(done).arg(total));
    // The bar counts in thousandths, so that archives of any size fit its int range.
    Bar->setRange(0, 1000);
    Bar->setValue(total > 0 ? static_cast<int>(done * 1000 / total) : 0);
}

void UnzipProgress::closeEvent(QCloseEvent* event)
{
    // The window goes when the extraction has stopped, not before.
    event->ignore();
    if (Cancel->isEnabled())
        Cancel->click();
}

void UnzipProgress::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        if (Cancel->isEnabled())
            Cancel->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

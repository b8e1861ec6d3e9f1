#include "UnzipProgress.h"

#include "AppInfo.h"

#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>

UnzipProgress::UnzipProgress(const QString& archiveName)
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::CustomizeWindowHint), m_archiveName(archiveName)
{
    setObjectName(QStringLiteral("UnzipProgress"));
    setWindowTitle(Platform::appTitle());

    Status = new QLabel(this);
    Status->setObjectName(QStringLiteral("Status"));
    Bar = new QProgressBar(this);
    Bar->setObjectName(QStringLiteral("Bar"));
    Bar->setTextVisible(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Status);
    layout->addWidget(Bar);
    setFixedWidth(360);
    setProgress(0, 0);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        adjustSize();
        move(screen->availableGeometry().center() - rect().center());
    }
}

void UnzipProgress::setProgress(long long done, long long total)
{
    Status->setText(tr("Extracting %1\n%2 of %3 files").arg(m_archiveName).arg(done).arg(total));
    // The bar counts in thousandths, so that archives of any size fit its int range.
    Bar->setRange(0, 1000);
    Bar->setValue(total > 0 ? static_cast<int>(done * 1000 / total) : 0);
}

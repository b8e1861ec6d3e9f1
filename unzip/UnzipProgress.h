#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;

// The small window that shows how far a long extraction has come. It has no buttons: an
// extraction cannot be cancelled, and the window only tells the user that the program is working.
class UnzipProgress final : public QWidget
{
    Q_OBJECT

public:
    explicit UnzipProgress(const QString& archiveName);

    void setProgress(long long done, long long total);

    QLabel* Status;
    QProgressBar* Bar;

private:
    QString m_archiveName;
};

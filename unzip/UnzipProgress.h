#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

// The small window that shows how far a long extraction has come. Cancel, Esc and the close box
// all ask the extraction to stop after the file being written; the window stays until it has.
class UnzipProgress final : public QWidget
{
    Q_OBJECT

public:
    explicit UnzipProgress(const QString& archiveName);

    void setProgress(long long done, long long total);

    static QString extractingText(); // "Extracting", before the archive's name
    static QString cancelCaption();

    QLabel* Status;
    QProgressBar* Bar;
    QPushButton* Cancel;

signals:
    void cancelled();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString m_archiveName;
};

#include "instrument/forms/DownloadStatusForm.h"
#include "widgets/Controls.h"
#include "widgets/WindowStyle.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QWindow>

TDownloadStatusForm::TDownloadStatusForm(QWidget* parent) : QWidget(parent, Qt::Dialog) {
    setWindowTitle(QStringLiteral("Read Samples"));
    ApplyWindowStyle(this);
    setFixedSize(260, 104);
    MakeLabel(this, "StoredSamplesCaption", QStringLiteral("Stored Samples"),
              QRect(16, 12, 120, 16));
    TotalRecordsLabel =
        MakeLabel(this, "TotalRecordsLabel", QStringLiteral("0"), QRect(150, 12, 90, 16));
    MakeLabel(this, "RecievedSamplesCaption", QStringLiteral("Recieved Samples"),
              QRect(16, 34, 120, 16));
    RecievedRecordsLabel =
        MakeLabel(this, "RecievedRecordsLabel", QStringLiteral("0"), QRect(150, 34, 90, 16));
    MakeLabel(this, "FileCaption", QStringLiteral("File:"), QRect(16, 56, 120, 16));
    FileNameLabel = MakeLabel(this, "FileNameLabel", QString(), QRect(16, 76, 228, 16));
}

void TDownloadStatusForm::Show() {
    // Over the middle of the window that started the download.
    if (QWidget* owner = parentWidget(); owner != nullptr && !isVisible()) {
        const QRect frame = owner->window()->frameGeometry();
        move(frame.center() - QPoint(width() / 2, height() / 2));
    }
    show();
    raise();
    // The download blocks the event loop: wait until the window system has
    // shown the window, so that it is painted before the first sample.
    QElapsedTimer clock;
    clock.start();
    while (windowHandle() != nullptr && !windowHandle()->isExposed() && clock.elapsed() < 1000) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
    }
    repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TDownloadStatusForm::ShowProgress(int receivedRecords, int totalRecords,
                                       const QString& fileName) {
    TotalRecordsLabel->setText(QString::number(totalRecords));
    RecievedRecordsLabel->setText(QString::number(receivedRecords));
    FileNameLabel->setText(fileName);
    repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TDownloadStatusForm::Hide() {
    hide();
}

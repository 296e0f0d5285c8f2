#include "instrument/forms/DownloadStatusForm.h"
#include "ui/WindowStyle.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QWindow>

namespace {

QLabel* MakeLabel(QWidget* parent, const QString& text, int x, int y, int width) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(x, y, width, 16);
    return label;
}

} // namespace

TDownloadStatusForm::TDownloadStatusForm(QWidget* parent) : QWidget(parent, Qt::Dialog) {
    setWindowTitle(QStringLiteral("Read Samples"));
    ApplyWindowStyle(this);
    setFixedSize(260, 104);
    MakeLabel(this, QStringLiteral("Stored Samples"), 16, 12, 120);
    TotalRecordsLabel = MakeLabel(this, QStringLiteral("0"), 150, 12, 90);
    TotalRecordsLabel->setObjectName(QStringLiteral("TotalRecordsLabel"));
    MakeLabel(this, QStringLiteral("Recieved Samples"), 16, 34, 120);
    RecievedRecordsLabel = MakeLabel(this, QStringLiteral("0"), 150, 34, 90);
    RecievedRecordsLabel->setObjectName(QStringLiteral("RecievedRecordsLabel"));
    MakeLabel(this, QStringLiteral("File:"), 16, 56, 120);
    FileNameLabel = MakeLabel(this, QString(), 16, 76, 228);
    FileNameLabel->setObjectName(QStringLiteral("FileNameLabel"));
}

void TDownloadStatusForm::Show() {
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

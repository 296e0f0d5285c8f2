// The progress window of the memory download: stored and received sample
// counts and the name of the last file written. Not modal; it repaints at
// once because the download blocks the event loop.
#pragma once

#include "instrument/InstrumentOperations.h"

#include <QWidget>

class QLabel;

class TDownloadStatusForm : public QWidget, public TDownloadProgress {
    Q_OBJECT
public:
    explicit TDownloadStatusForm(QWidget* parent = nullptr);

    void Show() override;
    void ShowProgress(int receivedRecords, int totalRecords, const QString& fileName) override;
    void Hide() override;

    QLabel* TotalRecordsLabel = nullptr;
    QLabel* RecievedRecordsLabel = nullptr;
    QLabel* FileNameLabel = nullptr;
};

// The download progress window: its caption, labels and immediate update.
#include "instrument/forms/DownloadStatusForm.h"

#include <QLabel>
#include <QtTest>

class DownloadStatusFormTest : public QObject {
    Q_OBJECT
private slots:
    void showsCountsAndFileName() {
        TDownloadStatusForm form;
        QCOMPARE(form.windowTitle(), QStringLiteral("Read Samples"));
        TDownloadProgress& progress = form;
        progress.Show();
        QVERIFY(form.isVisible());
        progress.ShowProgress(2, 3, QStringLiteral("lab_SN1234_ID18_1.vtb"));
        QCOMPARE(form.TotalRecordsLabel->text(), QStringLiteral("3"));
        QCOMPARE(form.RecievedRecordsLabel->text(), QStringLiteral("2"));
        QCOMPARE(form.FileNameLabel->text(), QStringLiteral("lab_SN1234_ID18_1.vtb"));
        QStringList captions;
        for (const QLabel* label : form.findChildren<QLabel*>()) {
            captions << label->text();
        }
        QVERIFY(captions.contains(QStringLiteral("Stored Samples")));
        QVERIFY(captions.contains(QStringLiteral("Recieved Samples")));
        QVERIFY(captions.contains(QStringLiteral("File:")));
        QVERIFY(form.grab().save(QStringLiteral(ZK_TEST_OUTPUT_DIR "/DownloadStatusForm.png")));
        progress.Hide();
        QVERIFY(!form.isVisible());
    }
};

QTEST_MAIN(DownloadStatusFormTest)
#include "DownloadStatusFormTest.moc"

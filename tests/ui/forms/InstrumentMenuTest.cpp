// The instrument commands through the main window's menu, against the
// simulated instrument in the same process.
#include "ScriptedPrompt.h"
#include "instrument/forms/DownloadStatusForm.h"
#include "ui/PaekAnalyserForm.h"
#include "ui/ProgramStart.h"
#include "zksim/SimPort.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

namespace {

TSimMemory DemoMemory() {
    TDemoOptions options;
    options.StoredSamples = 3;
    options.BackgroundMode = true;
    return TSimMemory::Demo(options);
}

// Forwards to the progress window and grabs it after every sample, as a
// user would see it while the download blocks the program.
class TGrabbingProgress : public TDownloadProgress {
public:
    explicit TGrabbingProgress(TDownloadStatusForm& form) : Form(form) {}
    void Show() override { Form.Show(); }
    void ShowProgress(int received, int total, const QString& fileName) override {
        Form.ShowProgress(received, total, fileName);
        Images << Form.grab().toImage();
        Texts << Form.findChild<QLabel*>("RecievedRecordsLabel")->text() + "/" +
                     Form.findChild<QLabel*>("TotalRecordsLabel")->text() + " " +
                     Form.findChild<QLabel*>("FileNameLabel")->text();
        Visible << Form.isVisible();
    }
    void Hide() override { Form.Hide(); }

    QList<QImage> Images;
    QStringList Texts;
    QList<bool> Visible;

private:
    TDownloadStatusForm& Form;
};

// Dark pixels (text) in a rectangle of an image.
int DarkPixels(const QImage& image, const QRect& area) {
    int dark = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            dark += qGray(image.pixel(x, y)) < 100 ? 1 : 0;
        }
    }
    return dark;
}

} // namespace

class InstrumentMenuTest : public QObject {
    Q_OBJECT

    void ChoosePort(TPaekAnalyserForm& main) {
        main.SetPortListProvider([] { return QStringList{"COM1"}; });
        main.ComPortComboBox->showPopup(); // rebuilds the list
        main.ComPortComboBox->hidePopup();
        main.ComPortComboBox->setCurrentIndex(0);
    }

private slots:
    void noPortSelectedTouchesNothing() {
        TSimulator sim(DemoMemory());
        ScriptedPrompt prompt;
        auto w = CreateProgramWindows(prompt, sim.Link());
        prompt.Messages.clear();
        QCOMPARE(w->Main->SelectedPort(), QString());
        w->Main->MenuAction({"Sample", "Read"})->trigger();
        QCOMPARE(prompt.Messages,
                 QStringList{"Com port not available! Port selected? Cable connected?"});
        QCOMPARE(w->Main->State().MeasuredSample.Valid, std::uint8_t(0));
        QCOMPARE(sim.Openings(), 0);
    }

    void readSampleShowsItsAnalysis() {
        TSimulator sim(DemoMemory());
        ScriptedPrompt prompt;
        auto w = CreateProgramWindows(prompt, sim.Link());
        TPaekAnalyserForm& main = *w->Main;
        ChoosePort(main);
        prompt.Messages.clear();
        main.MenuAction({"Sample", "Read"})->trigger();
        QVERIFY2(prompt.Messages.isEmpty(), qPrintable(prompt.Messages.join("; ")));
        QCOMPARE(main.windowTitle(), QString("Sample read from instrument, not yet saved!"));
        QVERIFY(main.BackgroundSubtractionCheckBox->isChecked());
        QCOMPARE(main.State().BackgroundSample.Valid, std::uint8_t(1));
        QVERIFY(main.State().EWCalOrigin.startsWith("read from instrument SN:"));
        QVERIFY(!main.ResultRichEdit->toPlainText().isEmpty());
        QCOMPARE(main.LastRun().SpectrumPlot.Kind, TPlotKind::Spectrum);
        QVERIFY(!QApplication::overrideCursor()); // the busy cursor has gone
        main.grab().save(QString(ZK_TEST_OUTPUT_DIR) + "/main-instrument.png");
    }

    // The progress window is shown and painted before the first sample and
    // after every sample, while the download blocks the program.
    void readMemoryPaintsTheProgressAfterEverySample() {
        TSimulator sim(DemoMemory());
        QTemporaryDir dir;
        ScriptedPrompt prompt;
        auto w = CreateProgramWindows(prompt, sim.Link());
        TPaekAnalyserForm& main = *w->Main;
        main.show();
        ChoosePort(main);
        prompt.Messages.clear();
        prompt.FileNames = {dir.filePath("lab.vtb")};
        TGrabbingProgress progress(*w->DownloadStatus);
        main.ReadMemoryClick(progress);
        QCOMPARE(prompt.Messages, QStringList{"Done!"});
        QCOMPARE(QDir(dir.path()).entryList({"lab_SN*_ID*_*.vtb"}, QDir::Files).size(), 3);
        QCOMPARE(progress.Texts.size(), 3);
        for (int i = 0; i < 3; ++i) {
            QVERIFY(progress.Visible[i]);
            QVERIFY2(progress.Texts[i].startsWith(QString("%1/3 lab_SN").arg(i + 1)),
                     qPrintable(progress.Texts[i]));
            QVERIFY(progress.Texts[i].endsWith(QString("_%1.vtb").arg(i)));
            const QImage& image = progress.Images[i];
            // Count, total and file name are drawn, not just set.
            QVERIFY(DarkPixels(image, QRect(150, 12, 40, 16)) > 5);
            QVERIFY(DarkPixels(image, QRect(150, 34, 40, 16)) > 5);
            QVERIFY(DarkPixels(image, QRect(16, 76, 200, 16)) > 20);
        }
        progress.Images.last().save(QString(ZK_TEST_OUTPUT_DIR) + "/download-progress.png");
        QVERIFY(!w->DownloadStatus->isVisible());
    }
};

QTEST_MAIN(InstrumentMenuTest)
#include "InstrumentMenuTest.moc"

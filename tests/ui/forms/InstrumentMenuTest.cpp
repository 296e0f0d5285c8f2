// The instrument commands through the main window's menu, against the
// simulator on a pseudo-terminal.
#include "ScriptedPrompt.h"
#include "ui/PaekAnalyserForm.h"
#include "ui/ProgramStart.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include <csignal>

class InstrumentMenuTest : public QObject {
    Q_OBJECT

    QProcess Simulator;
    QString Device;

    void ChoosePort(TPaekAnalyserForm& main) {
        main.SetPortListProvider([this] { return QStringList{Device}; });
        main.ComPortComboBox->showPopup(); // rebuilds the list
        main.ComPortComboBox->hidePopup();
        main.ComPortComboBox->setCurrentIndex(0);
    }

private slots:
    void initTestCase() {
        Simulator.setProgram(ZKSIM_PATH);
        Simulator.setArguments({"--demo", "--demo-samples", "3", "--background-mode"});
        Simulator.start();
        QVERIFY(Simulator.waitForStarted(5000));
        while (!Simulator.canReadLine() && Simulator.waitForReadyRead(5000)) {
        }
        Device = QString::fromLocal8Bit(Simulator.readLine()).trimmed();
        QVERIFY(!Device.isEmpty());
    }

    void cleanupTestCase() {
        ::kill(static_cast<pid_t>(Simulator.processId()), SIGTERM);
        Simulator.waitForFinished(5000);
    }

    void noPortSelectedTouchesNothing() {
        ScriptedPrompt prompt;
        auto w = CreateProgramWindows(prompt, TInstrumentLink(TLinkSettings{1500, 1500}));
        prompt.Messages.clear();
        QCOMPARE(w->Main->SelectedPort(), QString());
        w->Main->MenuAction({"Sample", "Read"})->trigger();
        QCOMPARE(prompt.Messages,
                 QStringList{"Com port not available! Port selected? Cable connected?"});
        QCOMPARE(w->Main->State().MeasuredSample.Valid, std::uint8_t(0));
    }

    void readSampleShowsItsAnalysis() {
        ScriptedPrompt prompt;
        auto w = CreateProgramWindows(prompt, TInstrumentLink(TLinkSettings{1500, 1500}));
        TPaekAnalyserForm& main = *w->Main;
        ChoosePort(main);
        QCOMPARE(main.SelectedPort(), Device);
        prompt.Messages.clear();
        main.MenuAction({"Sample", "Read"})->trigger();
        QVERIFY2(prompt.Messages.isEmpty(), qPrintable(prompt.Messages.join("; ")));
        QCOMPARE(main.windowTitle(), QString("Sample read from instrument, not yet saved!"));
        QVERIFY(main.BackgroundSubtractionCheckBox->isChecked());
        QCOMPARE(main.State().BackgroundSample.Valid, std::uint8_t(1));
        QVERIFY(main.State().EWCalOrigin.startsWith("read from instrument SN:"));
        QVERIFY(!main.ResultRichEdit->toPlainText().isEmpty());
        QCOMPARE(main.LastRun().SpectrumPlot.Kind, TPlotKind::Spectrum);
        main.grab().save(QString(ZK_TEST_OUTPUT_DIR) + "/main-instrument.png");
    }

    void readMemoryWritesOneFilePerSample() {
        QTemporaryDir dir;
        ScriptedPrompt prompt;
        auto w = CreateProgramWindows(prompt, TInstrumentLink(TLinkSettings{1500, 1500}));
        ChoosePort(*w->Main);
        prompt.Messages.clear();
        prompt.FileNames = {dir.filePath("lab.vtb")};
        w->Main->MenuAction({"Zel-Korda", "Read Memory"})->trigger();
        QCOMPARE(prompt.Messages, QStringList{"Done!"});
        const QStringList files = QDir(dir.path()).entryList({"lab_SN*_ID*_*.vtb"}, QDir::Files);
        QCOMPARE(files.size(), 3);
    }
};

QTEST_MAIN(InstrumentMenuTest)
#include "InstrumentMenuTest.moc"

#include "ui/ProgramStart.h"
#include "ScriptedPrompt.h"
#include "analysis/UncertaintySettings.h"
#include "ui/PaekAnalyserForm.h"

#include <QAction>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

class ProgramStartTest : public QObject {
    Q_OBJECT

private slots:
    void windowsInOrderAndSettingsMessage() {
        QTemporaryDir dir;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(dir.path()); // no settings file here
        ScriptedPrompt prompt;
        auto w = CreateProgramWindows(prompt);
        QDir::setCurrent(previous);
        QCOMPARE(w->CreationOrder,
                 QStringList({"TPaekAnalyserForm", "TLibraryForm", "TEfficiencyForm",
                              "TDownloadStatusForm", "TSpecConfigForm", "TPrinterForm",
                              "TCalibrationToolForm", "TDoubletSolverForm", "TTrapezoidSolverForm",
                              "TUncertaintiesForm"}));
        QCOMPARE(prompt.Messages, QStringList{NoUncertaintySettingsMessage});
    }

    void builtCommandsAreBoundOthersDisabled() {
        QTemporaryDir dir;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(dir.path());
        TUncertainties u{0.01, 0.05, 0.03, 2};
        QString error;
        QVERIFY(SaveUncertaintySettings(u, error));
        ScriptedPrompt prompt;
        auto w = CreateProgramWindows(prompt);
        QDir::setCurrent(previous);
        QVERIFY(prompt.Messages.isEmpty()); // the settings were found
        const QList<QStringList> enabled = {{"Sample", "Read"},
                                            {"Sample", "Open"},
                                            {"Sample", "Save"},
                                            {"Sample", "Import"},
                                            {"Sample", "Export"},
                                            {"Sample", "Use as background"},
                                            {"Sample", "Print protocol"},
                                            {"Library", "Edit"},
                                            {"Library", "Transfer"},
                                            {"Calibration", "Energy / Peak Width", "Open"},
                                            {"Calibration", "Energy / Peak Width", "Calibrate"},
                                            {"Calibration", "Efficiency", "Calibrate"},
                                            {"Calibration", "Efficiency", "Transfer"},
                                            {"Calibration", "Define uncertainties"},
                                            {"Zel-Korda", "Read Memory"},
                                            {"Zel-Korda", "Spectrometer Configuration"},
                                            {"Zel-Korda", "About"},
                                            {"Tools", "Solve Doublet"},
                                            {"Tools", "Trapezoid"},
                                            {"Tools", "Clip analysis setup"},
                                            {"Tools", "Use clipped analysis setup"}};
        for (const QStringList& path : enabled) {
            QAction* a = w->Main->MenuAction(path);
            QVERIFY2(a && a->isEnabled(), qPrintable(path.join(" > ")));
        }
        const QList<QStringList> disabled = {};
        for (const QStringList& path : disabled) {
            QAction* a = w->Main->MenuAction(path);
            QVERIFY2(a && !a->isEnabled(), qPrintable(path.join(" > ")));
        }
    }

    void transfersWithoutPortSayCommunicationFailed() {
        ScriptedPrompt prompt;
        auto w = CreateProgramWindows(prompt);
        prompt.Messages.clear();
        w->Main->MenuAction({"Library", "Transfer"})->trigger();
        w->Main->MenuAction({"Zel-Korda", "About"})->trigger();
        QCOMPARE(prompt.Messages,
                 QStringList({"Communication failed! Port selected? Cable connected?",
                              "Com port not available! Port selected? Cable connected?"}));
    }
};

QTEST_MAIN(ProgramStartTest)
#include "ProgramStartTest.moc"

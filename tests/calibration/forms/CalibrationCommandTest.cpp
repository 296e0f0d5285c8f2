// "Calibration" -> "Energy / Peak Width" -> "Calibrate": the main window's
// handler asks the calibration tool on a copy of the measured sample, and
// one operation takes what the tool returned.
#include "ModalScript.h"
#include "SampleFixtures.h"
#include "ScriptedPrompt.h"
#include "calibration/forms/CalibrationToolForm.h"
#include "core/sample_types.h"
#include "ui/PaekAnalyserForm.h"
#include "ui/ProgramStart.h"
#include "workstation/Workstation.h"

#include <QAction>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

#include <cstring>

namespace {

constexpr TEnergyCalibration FileCalibration{1.5f, 0.75f, -0.001f, 2e-7f};
constexpr TPeakWidthCalibration FileWidth{2.0f, 0.01f, 1e-6f};
constexpr TEnergyCalibration ToolCalibration{-20.5f, 1.0f, 0, 0};
constexpr TPeakWidthCalibration ToolWidth{4.5f, 0.001f, 0};

// A measured sample from a file, with both solver results valid.
void LoadMeasured(TWorkstation& w) {
    TSampleFile s = GaussianPeakSample(1024, 500);
    SetCalibration(s, FileCalibration, FileWidth, FivePercent);
    s.CalibrationType = 1;
    AddPeak(s, "Cs137", 662, 85);
    AddPeak(s, "K40", 1461, 10.7f);
    w.State.MeasuredSample = s;
    w.State.EWCalOrigin = "soil.vtb";
    w.State.SampleOrigin = "soil.vtb";
    w.State.DoubletResults.Valid = true;
    w.State.TrapezoidResults.Valid = true;
}

// The calibration tool as a script: checks the sample it is shown, and on
// `confirm` writes the tool's calibration into it as OK does. It also
// scribbles on fields the tool never touches, which must not travel back.
class TScriptedCalibrator : public TSampleCalibrator {
public:
    explicit TScriptedCalibrator(bool confirm) : Confirm(confirm) {}
    bool Confirm;
    int Calls = 0;
    TSampleFile Shown{};

    bool CalibrateSample(TSampleFile& sample) override {
        ++Calls;
        Shown = sample;
        sample.Sample.Spectrum.Channel[0] = -1;
        if (Confirm) {
            sample.Calibration.ECal = ToolCalibration;
            sample.Calibration.WCal = ToolWidth;
            sample.CalibrationType = 0;
        }
        return Confirm;
    }
};

bool SameBytes(const TSampleFile& a, const TSampleFile& b) {
    return std::memcmp(&a, &b, sizeof(TSampleFile)) == 0;
}

} // namespace

class CalibrationCommandTest : public QObject {
    Q_OBJECT

private slots:
    void takeToolCalibration_data() {
        QTest::addColumn<bool>("confirmed");
        QTest::newRow("confirmed with OK") << true;
        QTest::newRow("closed otherwise") << false;
    }

    // The operation: a confirmed copy gives its calibration and nothing
    // else; in both cases the origin, the solver results and the peak
    // selection follow.
    void takeToolCalibration() {
        QFETCH(bool, confirmed);
        TWorkstation w;
        LoadMeasured(w);
        const TSampleFile before = w.State.MeasuredSample;
        std::optional<TSampleFile> result;
        if (confirmed) {
            result = before;
            result->Calibration.ECal = ToolCalibration;
            result->Calibration.WCal = ToolWidth;
            result->CalibrationType = 0;
            result->Sample.Spectrum.Channel[3] = 12345; // not the tool's to change
        }
        const TCommandResult r = w.TakeToolCalibration(result);
        QVERIFY(r.Ok());
        QVERIFY(r.Messages.isEmpty());
        QCOMPARE(r.Refresh, TRefresh::PeakSelection);
        QCOMPARE(w.State.EWCalOrigin, QString("edited by user"));
        QCOMPARE(w.State.SampleOrigin, QString("soil.vtb"));
        QVERIFY(!w.State.DoubletResults.Valid);
        QVERIFY(!w.State.TrapezoidResults.Valid);
        TSampleFile expected = before;
        if (confirmed) {
            expected.Calibration.ECal = ToolCalibration;
            expected.Calibration.WCal = ToolWidth;
            expected.CalibrationType = 0;
        }
        QVERIFY(SameBytes(w.State.MeasuredSample, expected));
    }

    // The handler shows the tool a copy of the measured sample, whatever
    // the tool does to that copy, and refills the peak selection.
    void handlerAsksTheToolOnACopy_data() {
        QTest::addColumn<bool>("confirmed");
        QTest::newRow("confirmed with OK") << true;
        QTest::newRow("closed otherwise") << false;
    }

    void handlerAsksTheToolOnACopy() {
        QFETCH(bool, confirmed);
        ScriptedPrompt prompt;
        TPaekAnalyserForm form(prompt);
        LoadMeasured(form.Workstation());
        const TSampleFile before = form.State().MeasuredSample;
        TScriptedCalibrator tool(confirmed);
        form.EW_CalibrationClick(tool);
        QCOMPARE(tool.Calls, 1);
        QVERIFY(SameBytes(tool.Shown, before));
        const TSampleFile& after = form.State().MeasuredSample;
        QCOMPARE(after.Sample.Spectrum.Channel[0], before.Sample.Spectrum.Channel[0]);
        QCOMPARE(after.Calibration.ECal.C0, confirmed ? ToolCalibration.C0 : FileCalibration.C0);
        QCOMPARE(after.CalibrationType, std::uint8_t(confirmed ? 0 : 1));
        QCOMPARE(form.State().EWCalOrigin, QString("edited by user"));
        QVERIFY(!form.State().DoubletResults.Valid);
        QCOMPARE(form.PeakSelectionListBox->count(), 2);
        QCOMPARE(form.PeakSelectionListBox->item(0)->text(), QString("Cs137; 662keV"));
        QVERIFY(prompt.Messages.isEmpty());
    }

    // From the menu: the real tool opens modally on the sample; with no
    // points yet OK is disabled, so the user closes it and the sample keeps
    // its calibration.
    void menuCommandOpensTheTool() {
        ScriptedPrompt prompt;
        auto w = CreateProgramWindows(prompt);
        prompt.Messages.clear(); // the uncertainty settings of the working folder
        LoadMeasured(w->Main->Workstation());
        QAction* calibrate =
            w->Main->MenuAction({"Calibration", "Energy / Peak Width", "Calibrate"});
        QVERIFY(calibrate && calibrate->isEnabled());
        TCalibrationToolForm& tool = *w->CalibrationTool;
        bool shown = false;
        ActInModal(tool, [&] {
            shown = tool.isVisible();
            QCOMPARE(tool.Tool().Spectrum.Size, 1024);
            QCOMPARE(tool.findChild<QListWidget*>("LibListBox")->count(), 2);
            QVERIFY(!tool.findChild<QPushButton*>("ApplyButton")->isEnabled());
            tool.reject();
        });
        calibrate->trigger();
        QVERIFY(shown);
        QCOMPARE(w->Main->State().MeasuredSample.Calibration.ECal.C1, FileCalibration.C1);
        QCOMPARE(w->Main->State().EWCalOrigin, QString("edited by user"));
        QVERIFY(prompt.Messages.isEmpty());
    }
};

QTEST_MAIN(CalibrationCommandTest)
#include "CalibrationCommandTest.moc"

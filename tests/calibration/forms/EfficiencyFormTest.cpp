// The efficiency calibration window and its curve: the opening questions,
// the controls that follow the calibrator, the handlers, APPLY, the curve
// drawn on an image, and "Calibration" -> "Efficiency" -> "Calibrate" from
// the main window.
#include "calibration/forms/EfficiencyForm.h"
#include "ModalScript.h"
#include "PackedField.h"
#include "SampleFixtures.h"
#include "ScriptedPrompt.h"
#include "plots/EfficiencyPlots.h"
#include "ui/PaekAnalyserForm.h"
#include "ui/ProgramStart.h"
#include "widgets/PaintBox.h"
#include "workstation/Workstation.h"

#include <QAction>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include "analysis/CalibrationFunctions.h"
#include "core/NumberFormat.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <optional>

namespace {

constexpr char Sep = '?';

// Records each input prompt as "caption|label|text shown" before answering.
class RecordingPrompt : public ScriptedPrompt {
public:
    QStringList Asked;
    bool InputText(const QString& caption, const QString& label, QString& value) override {
        Asked << caption + "|" + label + "|" + value;
        return ScriptedPrompt::InputText(caption, label, value);
    }
};

// The peak list editor as a script: replaces the list with `Result` when
// `Confirm`.
class ScriptedPeakListEditor : public TPeakListEditor {
public:
    bool Confirm = false;
    TPeakList Result{};
    int Calls = 0;
    bool GetPeakList(TPeakList& list, QString& origin) override {
        ++Calls;
        if (Confirm) {
            list = Result;
            origin = "library";
        }
        return Confirm;
    }
};

// A reference measurement: 1000 s, 2 kg, Ecut 200 keV, five lines of which
// three have a positive area.
TSampleFile ReferenceSample() {
    TSampleFile s = FlatSample(4096);
    SetMeasurement(s, 1000, 2);
    s.Calibration.RCal = {0.5f, -1, 200, 0.001f};
    AddPeak(s, "Am241", 60, 36);
    AddPeak(s, "Xx1", 100, 10);
    AddPeak(s, "Cs137", 662, 85);
    AddPeak(s, "Xx2", 900, 10);
    AddPeak(s, "Co60", 1332, 100);
    s.Results.Size = 5;
    const float areas[] = {7200, 0, 17000, -40, 10000};
    for (int i = 0; i < 5; ++i) {
        s.Results.Result[i].Area = areas[i];
    }
    return s;
}

bool SameBytes(const TSampleFile& a, const TSampleFile& b) {
    return std::memcmp(&a, &b, sizeof(TSampleFile)) == 0;
}

QString Cell(QTableWidget* grid, int row, int column) {
    const QTableWidgetItem* item = grid->item(row, column);
    return item ? item->text() : QString();
}

struct TFormFixture {
    RecordingPrompt Prompt;
    ScriptedPeakListEditor Editor;
    TEfficiencyForm Form{Prompt, Editor, Sep};

    template <typename T> T* Child(const char* name) { return Form.findChild<T*>(name); }

    // Opens on `sample` with the activity answer, runs `script` inside the
    // window and returns whether the window was applied.
    bool Open(TSampleFile& sample, const std::function<void()>& script,
              const QString& activity = "500") {
        Prompt.Inputs.push_back(activity);
        ActInModal(Form, script);
        return Form.GetEfficiencyCurveFromSpectrum(sample);
    }
};

} // namespace

class EfficiencyFormTest : public QObject {
    Q_OBJECT

private slots:
    void openingQuestions_data() {
        QTest::addColumn<quint32>("interval");
        QTest::addColumn<float>("weight");
        QTest::addColumn<QStringList>("answers"); // "<cancel>" cancels
        QTest::addColumn<QStringList>("asked");
        QTest::addColumn<QStringList>("warnings");
        QTest::addColumn<quint32>("intervalAfter");
        QTest::addColumn<float>("weightAfter");
        QTest::addColumn<float>("activity");
        const QString i = "Invalid sample interval!|Enter correct interval [sec.]|";
        const QString w = "Invalid sample weight!|Enter correct weight [kg]|";
        const QString a = "Source activity|Enter reference activity [Bq/kg]|";
        QTest::newRow("valid interval and weight: only the activity")
            << 1000u << 2.0f << QStringList{"500"} << QStringList{a} << QStringList{} << 1000u
            << 2.0f << 500.0f;
        QTest::newRow("all three typed, each starting from the last answer")
            << 0u << 0.0f << QStringList{"1800", "3", "250"} << QStringList{i, w + "1800", a + "3"}
            << QStringList{} << 1800u << 3.0f << 250.0f;
        QTest::newRow("a cancel enters the text shown")
            << 0u << -1.0f << QStringList{"7200", "<cancel>", "<cancel>"}
            << QStringList{i, w + "7200", a + "7200"} << QStringList{} << 7200u << 7200.0f
            << 7200.0f;
        QTest::newRow("negative interval, decimal weight and activity: the defaults")
            << 0u << 0.0f << QStringList{"-5", "0.5", "99.5"} << QStringList{i, w + "-5", a + "0.5"}
            << QStringList{"Invalid input - interval set to 3600 sec.",
                           "Invalid input - weight set to 1 kg",
                           "Invalid input - reference activity set to 1000 Bq/kg"}
            << 3600u << 1.0f << 1000.0f;
        QTest::newRow("every prompt cancelled with nothing shown")
            << 0u << 0.0f << QStringList{"<cancel>", "<cancel>", "<cancel>"} << QStringList{i, w, a}
            << QStringList{"Invalid input - interval set to 3600 sec.",
                           "Invalid input - weight set to 1 kg",
                           "Invalid input - reference activity set to 1000 Bq/kg"}
            << 3600u << 1.0f << 1000.0f;
    }

    // The prompts asked, in order, with the shared answer text; the warnings
    // right after their prompt; the values the working sample holds.
    void openingQuestions() {
        QFETCH(quint32, interval);
        QFETCH(float, weight);
        QFETCH(QStringList, answers);
        QFETCH(QStringList, asked);
        QFETCH(QStringList, warnings);
        QFETCH(quint32, intervalAfter);
        QFETCH(float, weightAfter);
        QFETCH(float, activity);
        TFormFixture f;
        TSampleFile s = ReferenceSample();
        SetMeasurement(s, interval, weight);
        for (const QString& answer : answers) {
            f.Prompt.Inputs.push_back(answer == "<cancel>" ? QString() : answer);
        }
        ActInModal(f.Form, [&] { f.Form.reject(); });
        const TSampleFile before = s;
        QVERIFY(!f.Form.GetEfficiencyCurveFromSpectrum(s));
        QVERIFY(SameBytes(s, before)); // closed without APPLY
        QCOMPARE(f.Prompt.Asked, asked);
        QCOMPARE(f.Prompt.Messages, warnings);
        const TSampleFile& cal = f.Form.Calibrator().CalSample;
        QCOMPARE(quint32(cal.Sample.Parameter.SampleInterval), intervalAfter);
        QCOMPARE(FieldValue(cal.Sample.Parameter.Weight), weightAfter);
        QCOMPARE(FieldValue(cal.Results.Result[0].Activity), activity);
    }

    // Three of five lines have a positive area: three grid rows below the
    // header, name and energy fixed, the rest editable; the coefficient
    // edits show the values in force; APPLY hands the working sample back.
    void controlsFollowTheCalibratorAndApplyWritesBack() {
        TFormFixture f;
        TSampleFile s = ReferenceSample();
        auto* grid = f.Child<QTableWidget>("CalPointStringGrid");
        const bool applied = f.Open(s, [&] {
            QCOMPARE(grid->rowCount(), 4);
            QCOMPARE(grid->columnCount(), 5);
            QCOMPARE(Cell(grid, 0, 0), QString("Nuclide"));
            QCOMPARE(Cell(grid, 0, 3), QString("Activity[Bq/kg]"));
            QCOMPARE(Cell(grid, 2, 0), QString("Cs137"));
            QCOMPARE(Cell(grid, 2, 1), QString("662"));
            QCOMPARE(Cell(grid, 2, 4), QString("17000"));
            QVERIFY(!(grid->item(0, 3)->flags() & Qt::ItemIsEditable));
            QVERIFY(!(grid->item(2, 1)->flags() & Qt::ItemIsEditable));
            QVERIFY(grid->item(2, 2)->flags() & Qt::ItemIsEditable);
            QCOMPARE(f.Child<QLineEdit>("A1Edit")->text(), QString("0?500000"));
            QCOMPARE(f.Child<QLineEdit>("EcutEdit")->text(), QString("200?000000"));
            QCOMPARE(f.Child<QLineEdit>("mEdit")->text(), QString("0?001000"));
            QCOMPARE(f.Form.windowTitle(), QString("Efficiency Calibration"));
            QTest::mouseClick(f.Child<QPushButton>("OKButton"), Qt::LeftButton);
        });
        QVERIFY(applied);
        QCOMPARE(int(s.PeakList.Size), 3);
        QCOMPARE(int(s.Results.Size), 3);
        QCOMPARE(FieldValue(s.Results.Result[1].Area), 17000.0f);
        QCOMPARE(FieldValue(s.Calibration.RCal.Ecut), 200.0f);
        QVERIFY(f.Prompt.Messages.isEmpty());
    }

    // Typing into a coefficient edit changes the coefficient in force; text
    // that is not a number is a conversion error and keeps it.
    void coefficientEdits() {
        TFormFixture f;
        TSampleFile s = ReferenceSample();
        f.Open(s, [&] {
            auto* a = f.Child<QLineEdit>("A1Edit");
            a->selectAll();
            QTest::keyClicks(a, "0?25");
            QCOMPARE(FieldValue(f.Form.Calibrator().CalSample.Calibration.RCal.A0), 0.25f);
            QVERIFY(f.Prompt.Messages.isEmpty());
            a->selectAll();
            QTest::keyClick(a, Qt::Key_Minus); // a lone minus sign
            QCOMPARE(f.Prompt.Messages, QStringList{"'-' is not a valid number"});
            QCOMPARE(FieldValue(f.Form.Calibrator().CalSample.Calibration.RCal.A0), 0.25f);
            QCOMPARE(a->text(), QString("-"));
        });
    }

    // CALIBRATE writes the fitted coefficients and the edits show them.
    // SELECT keeps the counts of an unchanged line and starts a new one with
    // activity 1 and 1000 counts; with both at 662 keV the power law cannot
    // be fitted: the error is shown and A and B keep their values.
    void calibrateAndSelect() {
        TFormFixture f;
        TSampleFile s = ReferenceSample();
        AddPeak(f.Editor.Result, PeakLine("Cs137", 662, 85));
        AddPeak(f.Editor.Result, PeakLine("Xa", 662, 50));
        f.Open(s, [&] {
            QTest::mouseClick(f.Child<QPushButton>("CalibrateButton"), Qt::LeftButton);
            const TEfficiencyCalibration fitted = f.Form.Calibrator().CalSample.Calibration.RCal;
            QVERIFY(fitted.A0 != 0.5f);
            QCOMPARE(f.Child<QLineEdit>("A1Edit")->text(), f.Form.Calibrator().EditTexts[AEdit]);
            QVERIFY(f.Prompt.Messages.isEmpty());

            auto* grid = f.Child<QTableWidget>("CalPointStringGrid");
            f.Editor.Confirm = false; // the editor cancelled: the lines stay
            QTest::mouseClick(f.Child<QPushButton>("AddButton"), Qt::LeftButton);
            QCOMPARE(grid->rowCount(), 4);
            QCOMPARE(int(f.Form.Calibrator().CalSample.PeakList.Size), 3);
            f.Editor.Confirm = true;
            QTest::mouseClick(f.Child<QPushButton>("AddButton"), Qt::LeftButton);
            QCOMPARE(f.Editor.Calls, 2);
            QCOMPARE(grid->rowCount(), 3);
            QCOMPARE(Cell(grid, 1, 3), QString("500"));
            QCOMPARE(Cell(grid, 1, 4), QString("17000"));
            QCOMPARE(Cell(grid, 2, 0), QString("Xa"));
            QCOMPARE(Cell(grid, 2, 3), QString("1"));
            QCOMPARE(Cell(grid, 2, 4), QString("1000"));
            QCOMPARE(f.Form.Calibrator().CalPoints.CalPointCount, 2);

            QTest::mouseClick(f.Child<QPushButton>("CalibrateButton"), Qt::LeftButton);
            QCOMPARE(f.Prompt.Messages.size(), 1);
            const TEfficiencyCalibration after = f.Form.Calibrator().CalSample.Calibration.RCal;
            QCOMPARE(after.A0, fitted.A0);
            QCOMPARE(after.B0, fitted.B0);
            QCOMPARE(f.Child<QLineEdit>("B1Edit")->text(), f.Form.Calibrator().EditTexts[BEdit]);
            QVERIFY(f.Form.isVisible()); // the window carries on
        });
    }

    // A grid edit re-splits the points without a fit; whatever is typed
    // (letters, a probability of 0, a long name) ends nothing.
    void gridEdits() {
        TFormFixture f;
        TSampleFile s = ReferenceSample();
        f.Open(s, [&] {
            auto* grid = f.Child<QTableWidget>("CalPointStringGrid");
            const TEfficiencyCalibration before = f.Form.Calibrator().CalSample.Calibration.RCal;
            grid->item(3, 4)->setText("abc"); // Co60's counts
            QCOMPARE(f.Form.Calibrator().CalPoints.CalPointCount, 1);
            grid->item(2, 2)->setText("0"); // Cs137's probability
            QCOMPARE(f.Form.Calibrator().CalPoints.CalPointCount, 0);
            grid->item(1, 3)->setText(QString(300, 'x'));
            QCOMPARE(f.Form.Calibrator().LinCalPoints.CalPointCount, 0);
            QVERIFY(std::memcmp(&before, &f.Form.Calibrator().CalSample.Calibration.RCal,
                                sizeof before) == 0);
            f.Form.grab(); // draws with no point at all
            QVERIFY(f.Form.isVisible());
        });
    }

    // The mouse over the curve: the inverted cursor line and the readout of
    // the energy under it with the curve's efficiency there.
    void cursorReadout() {
        TFormFixture f;
        TSampleFile s = ReferenceSample();
        f.Open(s, [&] {
            auto* box = f.Child<TPaintBox>("CurvePaintBox");
            QTest::mouseMove(box, QPoint(120, 100));
            QVERIFY(box->CursorVisible());
            QCOMPARE(box->CursorX(), 120);
            // 120 px × 3000 keV / 600 px = 600 keV; 0.5 × 600^-1
            QCOMPARE(f.Child<QLineEdit>("CursorInfoEdit")->text(),
                     QString("600 keV; 0?0008 cps/(Bq/kg)"));
            // A new picture (an edited coefficient) takes the line away;
            // the readout stays until the mouse moves again.
            QTest::keyClicks(f.Child<QLineEdit>("mEdit"), "1");
            QVERIFY(!box->CursorVisible());
            QCOMPARE(f.Child<QLineEdit>("CursorInfoEdit")->text(),
                     QString("600 keV; 0?0008 cps/(Bq/kg)"));
        });
    }

    // The window as a user sees it, after CALIBRATE, saved for a look.
    void rendersTheCurve() {
        TFormFixture f;
        TSampleFile s = ReferenceSample();
        f.Open(s, [&] {
            QTest::mouseClick(f.Child<QPushButton>("CalibrateButton"), Qt::LeftButton);
            QTest::mouseMove(f.Child<TPaintBox>("CurvePaintBox"), QPoint(300, 100));
            const QImage image = f.Form.grab().toImage();
            QVERIFY(image.save(QStringLiteral(ZK_TEST_OUTPUT_DIR "/EfficiencyForm.png")));
            QCOMPARE(image.size(), f.Form.size() * image.devicePixelRatio());
        });
    }

    // The curve on an image: the filled area, a red cross where the point
    // is; an infinite efficiency at 0 keV (Ecut 0, negative B0) neither
    // spoils the scale nor becomes a pixel.
    void curveOnAnImage_data() {
        QTest::addColumn<float>("ecut");
        QTest::addColumn<bool>("infiniteAtZero");
        QTest::newRow("line part below 200 keV") << 200.0f << false;
        QTest::newRow("Ecut 0 with a negative B0") << 0.0f << true;
    }

    void curveOnAnImage() {
        QFETCH(float, ecut);
        QFETCH(bool, infiniteAtZero);
        TEfficiencyCalibrator c(Sep);
        TSampleFile s = ReferenceSample();
        s.Calibration.RCal.Ecut = ecut;
        s.Calibration.RCal.m = 1e-5f; // positive at 0 keV below Ecut
        c.OpenWithAnswers(s, {std::nullopt, std::nullopt, QString("500")});
        QImage image(300, 200, QImage::Format_RGB32);
        image.fill(Qt::yellow);
        {
            QPainter p(&image);
            DrawEfficiencyCurve(c, p, image.rect());
        }
        QCOMPARE(image.pixelColor(0, 0), QColor(Qt::yellow)); // outside the box
        QCOMPARE(image.pixelColor(1, 1), QColor(Qt::black));  // its outline
        // Column 0 is the curve at 0 keV: none when that is infinite.
        QCOMPARE(image.pixelColor(0, 199) == QColor(Qt::yellow), infiniteAtZero);
        // The scale is finite: the curve's bottom rows are filled at 600 keV.
        QCOMPARE(image.pixelColor(60, 198), QColor(Qt::black));
        // A red cross at each point: Co60 at 1332 keV is x = round(133.2).
        const std::vector<TCurvePoint> points = c.CurvePoints();
        bool found = false;
        for (const TCurvePoint& point : points) {
            if (point.Energy == 1332) {
                found = true;
                const double largest = [&] {
                    double m = 0;
                    for (int x = 0; x < 300; ++x) {
                        const double v = EfficiencyAt(c.CalSample.Calibration.RCal, x * 10.0);
                        if (std::isfinite(v)) {
                            m = std::max(m, v);
                        }
                    }
                    for (const TCurvePoint& q : points) {
                        m = std::max(m, q.Efficiency);
                    }
                    return m;
                }();
                const int py = 200 - int(Round(point.Efficiency * 200 / largest));
                QCOMPARE(image.pixelColor(133 + 3, py), QColor(Qt::red));
                QCOMPARE(image.pixelColor(133, std::clamp(py - 3, 0, 199)), QColor(Qt::red));
            }
        }
        QVERIFY(found);
    }

    // From the menu: the window opens on a copy of the measured sample;
    // applied, the sample carries the calibration lines; either way the
    // origin is "edited by user" and the solver results are not valid.
    void menuCommand_data() {
        QTest::addColumn<bool>("apply");
        QTest::newRow("applied") << true;
        QTest::newRow("closed otherwise") << false;
    }

    void menuCommand() {
        QFETCH(bool, apply);
        ScriptedPrompt prompt;
        auto w = CreateProgramWindows(prompt);
        prompt.Messages.clear();
        TWorkstation& session = w->Main->Workstation();
        session.State.MeasuredSample = ReferenceSample();
        session.State.EfficiencyOrigin = "soil.vtb";
        session.State.DoubletResults.Valid = true;
        session.State.TrapezoidResults.Valid = true;
        QAction* calibrate = w->Main->MenuAction({"Calibration", "Efficiency", "Calibrate"});
        QVERIFY(calibrate && calibrate->isEnabled());
        prompt.Inputs.push_back("500");
        TEfficiencyForm& form = *w->Efficiency;
        bool shown = false;
        ActInModal(form, [&] {
            shown = form.isVisible();
            if (apply) {
                QTest::mouseClick(form.findChild<QPushButton*>("OKButton"), Qt::LeftButton);
            } else {
                form.reject();
            }
        });
        calibrate->trigger();
        QVERIFY(shown);
        const TAnalysisState& state = w->Main->State();
        QCOMPARE(int(state.MeasuredSample.PeakList.Size), apply ? 3 : 5);
        QCOMPARE(state.EfficiencyOrigin, QString("edited by user"));
        QVERIFY(!state.DoubletResults.Valid);
        QVERIFY(!state.TrapezoidResults.Valid);
    }
};

QTEST_MAIN(EfficiencyFormTest)
#include "EfficiencyFormTest.moc"

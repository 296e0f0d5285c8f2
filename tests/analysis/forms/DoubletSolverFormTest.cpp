#include "analysis/forms/DoubletSolverForm.h"
#include "ModalScript.h"

#include "SampleFixtures.h"
#include "ScriptedPrompt.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <cmath>
#include <functional>

namespace {

// Two solvable pairs (Ac-228/Pb-214 and Tl-208/Bi-214) and one pair too close
// to the start of the spectrum to be solved, on a falling background.
TSampleFile PairSample() {
    TSampleFile s = FlatSample(1024);
    SetChannels(s, [](int ch) { return 400 * std::exp(-ch / 300.0) + 20; });
    AddGaussian(s.Sample.Spectrum, 338, 6, 20000);
    AddGaussian(s.Sample.Spectrum, 352, 6, 30000);
    AddGaussian(s.Sample.Spectrum, 583, 7, 15000);
    AddGaussian(s.Sample.Spectrum, 609, 7, 25000);
    SetCalibration(s, ChannelIsKeV, {3.0f, 0.007f, 0.0f}, FivePercent);
    SetMeasurement(s, 3600, 0.5f);
    const char* names[] = {"Ac228", "Pb214", "Tl208", "Bi214", "Low1", "Low2"};
    const int energies[] = {338, 352, 583, 609, 12, 18};
    for (int i = 0; i < 6; ++i) {
        AddPeak(s, names[i], energies[i], 30);
    }
    s.Results.Size = 6;
    return s;
}

} // namespace

class DoubletSolverFormTest : public QObject {
    Q_OBJECT

private slots:
    void showsPairsAndResults() {
        TDoubletSolverForm form;
        ScriptedPrompt prompt;
        auto* pairs = form.findChild<QListWidget*>("DoubletListBox");
        auto* solved = form.findChild<QListWidget*>("SolvedDoubletsListBox");
        QVERIFY(pairs && solved);
        const TSampleFile sample = PairSample();
        TDoubletResultList results{};

        ActInModal(form, [&] {
            QCOMPARE(pairs->count(), 3);
            QCOMPARE(pairs->item(0)->text(), QString("Ac228 (338keV) - Pb214 (352keV)"));
            QCOMPARE(pairs->currentRow(), 0);
            QCOMPARE(solved->count(), 4);
            QVERIFY(solved->item(0)->text().startsWith("Ac228 (338keV) = "));
            QVERIFY(solved->item(0)->text().endsWith("Bq/kg"));
            form.grab().save(QString(ZK_TEST_OUTPUT_DIR) + "/DoubletSolverForm.png");
            pairs->setCurrentRow(2); // the unsolved pair shows the message frame
            form.grab().save(QString(ZK_TEST_OUTPUT_DIR) + "/DoubletSolverFormMessage.png");
            form.findChild<QPushButton*>("OkButton")->click();
        });
        RunDoubletSolver(1, sample, results, &form, prompt);
        QVERIFY(results.Valid);
        QVERIFY(results.Result[0].Solved && results.Result[3].Solved);
        QVERIFY(!results.Result[4].Solved);

        ActInModal(form, [&] { form.findChild<QPushButton*>("CancelButton")->click(); });
        RunDoubletSolver(1, sample, results, &form, prompt);
        QVERIFY(!results.Valid);
        QVERIFY(prompt.Messages.isEmpty());
    }

    void modeZeroFillsWithoutShowing() {
        TDoubletSolverForm form;
        ScriptedPrompt prompt;
        TDoubletResultList results{};
        RunDoubletSolver(0, PairSample(), results, &form, prompt);
        QVERIFY(results.Valid);
        QVERIFY(!form.isVisible());
        QCOMPARE(form.findChild<QListWidget*>("DoubletListBox")->count(), 3);

        TSampleFile lonely = PairSample();
        lonely.PeakList.Size = 1;
        RunDoubletSolver(0, lonely, results, &form, prompt);
        QCOMPARE(prompt.Messages, QStringList{"No doublets identified"});
        QCOMPARE(form.findChild<QListWidget*>("DoubletListBox")->count(), 0);
        QCOMPARE(form.findChild<QListWidget*>("SolvedDoubletsListBox")->count(), 0);
    }

    void layout() {
        TDoubletSolverForm form;
        QCOMPARE(form.windowTitle(), QString("Doublet Solver"));
        QCOMPARE(form.size(), QSize(1019, 434));
        QCOMPARE(form.findChild<QWidget*>("DoubletListBox")->geometry(), QRect(9, 32, 172, 349));
        QCOMPARE(form.findChild<QWidget*>("SolvedDoubletsListBox")->geometry(),
                 QRect(185, 32, 241, 349));
        QCOMPARE(form.findChild<QWidget*>("DoubletPaintBox")->geometry(), QRect(432, 32, 577, 349));
        auto* ok = form.findChild<QPushButton*>("OkButton");
        QCOMPARE(ok->geometry(), QRect(835, 390, 176, 36));
        QCOMPARE(ok->text(), QString("Use Doublet Solver Results"));
        auto* cancel = form.findChild<QPushButton*>("CancelButton");
        QCOMPARE(cancel->geometry(), QRect(5, 390, 176, 36));
        QCOMPARE(cancel->text(), QString("Discard Doublet Solver Results"));
        QCOMPARE(form.findChild<QLabel*>("Label1")->text(), QString("List of potential doublets"));
        QCOMPARE(form.findChild<QLabel*>("Label2")->text(), QString("Results of solved peaks"));
        QCOMPARE(form.findChild<QLabel*>("Label3")->text(), QString("Graphic of doublet area"));
        QCOMPARE(form.findChild<QLabel*>("Label3")->pos(), QPoint(432, 13));
    }
};

QTEST_MAIN(DoubletSolverFormTest)
#include "DoubletSolverFormTest.moc"

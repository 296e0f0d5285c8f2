#include "analysis/forms/TrapezoidSolverForm.h"
#include "ModalScript.h"

#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {

TSampleFile ThreeLineSample() {
    TSampleFile s{};
    s.Valid = 1;
    s.Sample.Spectrum.Size = 1024;
    for (int ch = 0; ch < 1024; ++ch) {
        s.Sample.Spectrum.Channel[ch] = 50;
    }
    s.Calibration.ECal = {0.0f, 1.0f, 0.0f, 0.0f};
    s.Calibration.WCal = {4.0f, 0.0f, 0.0f};
    s.Calibration.RCal = {0.05f, 0.0f, 0.0f, 0.0f};
    s.Sample.Parameter.SampleInterval = 100;
    s.Sample.Parameter.Weight = 1;
    const char* names[] = {"Cs-137", "K40", "Bi214"};
    const int energies[] = {662, 300, 609};
    for (int i = 0; i < 3; ++i) {
        TPeakEntry entry{};
        SetPeakName(entry, names[i]);
        entry.Energy = static_cast<std::uint16_t>(energies[i]);
        entry.Probability = 50;
        s.PeakList.Peak[i] = entry;
    }
    s.PeakList.Size = 3;
    return s;
}

} // namespace

class TrapezoidSolverFormTest : public QObject {
    Q_OBJECT

private slots:
    void applyAndDiscard() {
        TTrapezoidSolverForm form;
        auto* list = form.findChild<QListWidget*>("PeakCheckListBox");
        QVERIFY(list);
        const TSampleFile sample = ThreeLineSample();
        TTrapezoidResultList results{};
        TBoolArray selection{};

        ActInModal(form, [&] {
            QCOMPARE(list->count(), 3);
            QCOMPARE(list->item(0)->text(), QString("Cs-137(662keV)"));
            for (int i = 0; i < 3; ++i) {
                QCOMPARE(list->item(i)->checkState(), Qt::Unchecked);
            }
            list->item(0)->setCheckState(Qt::Checked);
            list->item(2)->setCheckState(Qt::Checked);
            form.grab().save(QString(ZK_TEST_OUTPUT_DIR) + "/TrapezoidSolverForm.png");
            form.findChild<QPushButton*>("OkButton")->click();
        });
        RunTrapezoidSolver(1, sample, results, selection, &form);
        QVERIFY(results.Valid);
        QVERIFY(selection[0] && !selection[1] && selection[2]);

        // The next run starts unchecked again; discarding keeps the selection.
        ActInModal(form, [&] {
            QCOMPARE(list->item(0)->checkState(), Qt::Unchecked);
            list->item(1)->setCheckState(Qt::Checked);
            form.findChild<QPushButton*>("CancelButton")->click();
        });
        RunTrapezoidSolver(1, sample, results, selection, &form);
        QVERIFY(!results.Valid);
        QVERIFY(selection[0] && !selection[1] && selection[2]);
    }

    void layout() {
        TTrapezoidSolverForm form;
        QCOMPARE(form.windowTitle(), QString("Trapezoid Solver"));
        QCOMPARE(form.size(), QSize(202, 284));
        QCOMPARE(form.findChild<QWidget*>("PeakCheckListBox")->geometry(), QRect(8, 8, 184, 226));
        auto* ok = form.findChild<QPushButton*>("OkButton");
        auto* cancel = form.findChild<QPushButton*>("CancelButton");
        QCOMPARE(ok->geometry(), QRect(8, 240, 89, 33));
        QCOMPARE(ok->text(), QString("Apply Selection"));
        QCOMPARE(cancel->geometry(), QRect(103, 240, 89, 33));
        QCOMPARE(cancel->text(), QString("Discard Selection"));
        QCOMPARE(form.palette().color(QPalette::Window), QColor(255, 255, 102));
    }
};

QTEST_MAIN(TrapezoidSolverFormTest)
#include "TrapezoidSolverFormTest.moc"

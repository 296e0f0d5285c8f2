#include "analysis/forms/TrapezoidSolverForm.h"
#include "ModalScript.h"
#include "SampleFixtures.h"

#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {

// Three lines on a flat 50 counts: channel = energy, sigma 4, 100 s, 1 kg.
TSampleFile ThreeLineSample() {
    TSampleFile s = FlatSample(1024, 50);
    SetCalibration(s, ChannelIsKeV, ConstantWidth(4), FivePercent);
    SetMeasurement(s, 100, 1);
    AddPeak(s, "Cs-137", 662, 50, 0);
    AddPeak(s, "K40", 300, 50, 0);
    AddPeak(s, "Bi214", 609, 50, 0);
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

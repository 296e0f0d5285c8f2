#include "SampleFixtures.h"
#include "ScriptedPrompt.h"
#include "core/SampleFiles.h"
#include "library/PeakListEditor.h"
#include "ui/PaekAnalyserForm.h"
#include "ui/WindowFonts.h"
#include "widgets/PaintBox.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include <cmath>

namespace {

TSampleFile PeakSample(int size) {
    TSampleFile s = GaussianPeakSample(size, 500);
    s.Calibration.ECal = {0, 1, 0.000001f, 0};
    AddPeak(s, "Cs137", 500, 85);
    AddPeak(s, "K40", 900, 10.7f);
    TextToComment(s, "plot 7");
    return s;
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QString WriteSample(const char* name, const TSampleFile& s) {
        QString error;
        const QString path = dir.filePath(name);
        if (!WriteSampleFile(path, s, error)) {
            qFatal("cannot write fixture");
        }
        return path;
    }

private slots:
    void initTestCase() { LoadWindowFonts(); }

    void startShowsMessagesAndEmptyOrigins() {
        ScriptedPrompt prompt;
        TPaekAnalyserForm form(prompt);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.windowTitle(), QString("Zel Korda Works 2.0.4"));
        QCOMPARE(form.LastRun().SpectrumPlot.Message, QString("Open or load sample"));
        QCOMPARE(form.LastRun().BackgroundPlot.Message,
                 QString("No valid background sample assigned"));
        QCOMPARE(form.OriginsListBox->count(), 4);
        QCOMPARE(form.OriginsListBox->item(3)->text(), QString("Background spectrum: "));
        QVERIFY(form.ResultRichEdit->toPlainText().isEmpty());
        QCOMPARE(form.centralWidget()->size(), QSize(1046, 643));
        QCOMPARE(form.SpectrumPaintBox->geometry(), QRect(8, 32, 1028, 241));
        QCOMPARE(form.CommentEdit->text(), QString("Add a comment"));
        QCOMPARE(form.ComPortComboBox->placeholderText(), QString("Connect"));
        form.grab().save(QString(ZK_TEST_OUTPUT_DIR) + "/main-start.png");
    }

    void menuHasEveryCaptionInOrder() {
        ScriptedPrompt prompt;
        TPaekAnalyserForm form(prompt);
        QStringList titles;
        for (QAction* a : form.menuBar()->actions()) {
            titles << a->text();
        }
        QCOMPARE(titles, QStringList({"Sample", "Library", "Calibration", "Zel-Korda", "Tools"}));
        QStringList sample;
        for (QAction* a : form.menuBar()->actions()[0]->menu()->actions()) {
            sample << (a->isSeparator() ? "-" : a->text());
        }
        QCOMPARE(sample, QStringList({"Read", "Open", "Save", "Import", "Export", "-",
                                      "Use as background", "-", "Print protocol"}));
        QVERIFY(form.MenuAction({"Sample", "Open"})->isEnabled());
        QCOMPARE(form.MenuAction({"Sample", "Open"})->shortcut(), QKeySequence(QKeySequence::Open));
        QVERIFY(form.MenuAction({"Calibration", "Efficiency", "Transfer"}) != nullptr);
    }

    void openSampleAnalysesAndShowsIt() {
        const QString path = WriteSample("soil.vtb", PeakSample(1024));
        ScriptedPrompt prompt;
        TPaekAnalyserForm form(prompt);
        form.show();
        prompt.FileNames = {path};
        form.MenuAction({"Sample", "Open"})->trigger();
        QCOMPARE(form.windowTitle(), QDir::toNativeSeparators(path));
        QCOMPARE(form.PeakSelectionListBox->count(), 2);
        QCOMPARE(form.PeakSelectionListBox->item(0)->text(), QString("Cs137; 500keV"));
        QCOMPARE(form.PeakSelectionListBox->currentRow(), 0);
        QCOMPARE(form.CommentEdit->text(), QString("plot 7"));
        QVERIFY(form.SampleInfoEdit->text().startsWith("Zel-Korda SN: 0; Weight: "));
        const QString report = form.ResultRichEdit->toPlainText();
        QVERIFY2(report.startsWith("Cs137, 500keV: R: "), qPrintable(report));
        QCOMPARE(form.LastRun().RoiPlot.Kind, TPlotKind::Roi);
        QCOMPARE(form.OriginsListBox->item(0)->text(),
                 QString("Energy/Peak width calibration: soil.vtb"));

        // Detailed results add the diagnostic line of the second peak.
        form.DetailedResultsCheckBox->click();
        QCOMPARE(form.ResultRichEdit->document()->blockCount(), 2);

        // Selecting the second peak moves the plots with it.
        form.PeakSelectionListBox->setCurrentRow(1);
        QCOMPARE(form.LastRun().SpectrumPlot.Selected, 1);
        form.grab().save(QString(ZK_TEST_OUTPUT_DIR) + "/main-sample.png");

        // Cursor readout over the spectrum: 1024 channels in 1028 pixels.
        QTest::mouseMove(form.SpectrumPaintBox, QPoint(330, 100));
        QVERIFY2(form.CursorInfoEdit->text().contains(", [330], "),
                 qPrintable(form.CursorInfoEdit->text()));
        QVERIFY(form.SpectrumPaintBox->CursorVisible());
        // The cursor inverts every pixel of its column and nothing beside it.
        const QImage withCursor = form.SpectrumPaintBox->grab().toImage();
        form.SpectrumPaintBox->ClearCursor();
        const QImage without = form.SpectrumPaintBox->grab().toImage();
        for (int y : {0, 10, 120, 240}) {
            QCOMPARE(withCursor.pixel(330, y) & 0xFFFFFF, ~without.pixel(330, y) & 0xFFFFFF);
            QCOMPARE(withCursor.pixel(331, y), without.pixel(331, y));
        }
        form.SpectrumPaintBox->ShowCursorLine(330);
        form.AnalyseSample();
        QVERIFY(!form.SpectrumPaintBox->CursorVisible()); // a repaint removes it
    }

    void backgroundSubtractionMessages() {
        ScriptedPrompt prompt;
        TPaekAnalyserForm form(prompt);
        form.State().MeasuredSample = PeakSample(1024);
        form.State().BackgroundSample = PeakSample(512);
        form.BackgroundSubtractionCheckBox->click();
        QCOMPARE(prompt.Messages, QStringList{"Background spectrum size does not fit with "
                                              "sample, subtraction not possible"});
        QVERIFY(form.BackgroundSubtractionCheckBox->isChecked());
        form.BackgroundSubtractionCheckBox->click();
        QCOMPARE(prompt.Messages.size(), 1); // unchecking says nothing

        form.State().BackgroundSample = PeakSample(1024);
        form.State().BackgroundSample.Calibration.ECal.C0 = 2;
        form.BackgroundSubtractionCheckBox->click();
        QCOMPARE(prompt.Messages.last(),
                 QString("Energy calibration of sample and background does not fit!"));
    }

    void useAsBackgroundCopiesTheWholeRecord() {
        ScriptedPrompt prompt;
        TPaekAnalyserForm form(prompt);
        form.State().BackgroundSample = PeakSample(1024);
        form.State().SampleOrigin = "a.vtb";
        form.MenuAction({"Sample", "Use as background"})->trigger();
        QCOMPARE(form.State().BackgroundSample.Valid, std::uint8_t(0));
        QCOMPARE(form.State().BackgroundOrigin, QString("a.vtb"));
        QCOMPARE(form.OriginsListBox->item(3)->text(), QString("Background spectrum: a.vtb"));
    }

    void commentEditStoresTheCutText() {
        ScriptedPrompt prompt;
        TPaekAnalyserForm form(prompt);
        form.CommentEdit->clear();
        QTest::keyClicks(form.CommentEdit, "sieved");
        QCOMPARE(CommentToText(form.State().MeasuredSample), QString("sieved"));
        form.CommentEdit->setMaxLength(1000);
        QTest::keyClicks(form.CommentEdit, QString(300, 'x'));
        QCOMPARE(form.State().MeasuredSample.Comment[0], std::uint8_t(255));
    }

    // A sample whose Valid byte is 0 leaves nothing of the previous sample's
    // results on show.
    void invalidSampleClearsDescriptionAndReport() {
        TSampleFile invalid = PeakSample(1024);
        invalid.Valid = 0;
        const QString valid = WriteSample("valid.vtb", PeakSample(1024));
        const QString notValid = WriteSample("notvalid.vtb", invalid);
        ScriptedPrompt prompt;
        TPaekAnalyserForm form(prompt);
        prompt.FileNames = {valid, notValid};
        form.OpenClick();
        QVERIFY(!form.ResultRichEdit->toPlainText().isEmpty());
        form.OpenClick();
        QCOMPARE(form.windowTitle(), QDir::toNativeSeparators(notValid));
        QVERIFY(form.ResultRichEdit->toPlainText().isEmpty());
        QCOMPARE(form.SampleInfoEdit->text(), QString("Sample description"));
        QCOMPARE(form.LastRun().SpectrumPlot.Message, QString("Open or load sample"));
    }

    // A failed save shows the write error and keeps the caption.
    void failedSaveShowsTheErrorAndKeepsTheCaption() {
        ScriptedPrompt prompt;
        TPaekAnalyserForm form(prompt);
        form.State().MeasuredSample = PeakSample(1024);
        prompt.FileNames = {dir.filePath("missing/x.vtb")};
        form.SaveClick();
        QCOMPARE(form.windowTitle(), QString("Zel Korda Works 2.0.4"));
        QCOMPARE(prompt.Messages.size(), 1);
        QVERIFY2(prompt.Messages[0].contains("x.vtb"), qPrintable(prompt.Messages[0]));
    }

    void peakListEditorResultIsTakenOverOnlyWhenConfirmed() {
        class TEditor : public TPeakListEditor {
        public:
            bool Confirm = false;
            bool GetPeakList(TPeakList& list, QString& origin) override {
                if (Confirm) {
                    list.Size = 1;
                    origin = EditedByUserOrigin;
                }
                return Confirm;
            }
        };
        for (bool confirm : {false, true}) {
            ScriptedPrompt prompt;
            TPaekAnalyserForm form(prompt);
            form.State().MeasuredSample = PeakSample(1024);
            form.State().PeakListOrigin = "sample.vtb";
            form.State().DoubletResults.Valid = true;
            TEditor editor;
            editor.Confirm = confirm;
            form.PeakListClick(editor);
            QCOMPARE(form.PeakSelectionListBox->count(), confirm ? 1 : 2);
            QCOMPARE(form.State().PeakListOrigin,
                     confirm ? EditedByUserOrigin : QString("sample.vtb"));
            QVERIFY(!form.State().DoubletResults.Valid);
        }
    }

    void clippingAsksFirst() {
        ScriptedPrompt prompt;
        TPaekAnalyserForm form(prompt);
        form.State().PeakListOrigin = "a.vtb";
        prompt.Confirmations = {false, true};
        form.DefineAnalysisClick();
        QVERIFY(form.State().PostAnalysis.PeakListOrigin.isEmpty());
        form.DefineAnalysisClick();
        QCOMPARE(form.State().PostAnalysis.PeakListOrigin, QString("a.vtb"));
        QCOMPARE(prompt.Questions,
                 QStringList(2, "Clip actual analysis setup|Replace clipped analysis setup by "
                                "actual setup?"));
    }

    // An error that a command lets through ends the command with its message;
    // the program carries on.
    void anEscapedErrorIsShownAndTheProgramCarriesOn() {
        ScriptedPrompt prompt;
        TPaekAnalyserForm form(prompt);
        int calls = 0;
        const auto failing = [&calls] {
            ++calls;
            throw std::runtime_error("Matrix is singular");
        };
        form.RunCommand(failing);
        form.RunCommand(failing);
        form.RunCommand([&calls] { ++calls; });
        QCOMPARE(calls, 3);
        QCOMPARE(prompt.Messages, QStringList(2, "Matrix is singular"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"

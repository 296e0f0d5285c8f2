#include "ui/PrinterForm.h"
#include "ModalScript.h"
#include "SampleFixtures.h"
#include "ScriptedPrompt.h"
#include "core/NumberFormat.h"
#include "core/SampleFiles.h"
#include "ui/PaekAnalyserForm.h"
#include "ui/WindowFonts.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A valid sample with two lines: a clear peak and one without counts.
TSampleFile PrintSample() {
    TSampleFile s = GaussianPeakSample(1024, 500);
    AddPeak(s, "Cs137", 500, 85);
    AddPeak(s, "K40", 900, 10.7f);
    TextToComment(s, "soil from the north meadow");
    return s;
}

TPrintJob Job(const TSampleFile& sample, const QString& title = QStringLiteral("soil.vtb")) {
    TPrintJob job;
    job.ProtocolName = title;
    job.SampleFile = sample;
    job.Moment = QDateTime(QDate(2026, 12, 10), QTime(15, 30, 0));
    return job;
}

// The text that a text extractor finds in a PDF; empty without pdftotext.
QString PdfText(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0) {
        return {};
    }
    return QString::fromUtf8(p.readAllStandardOutput());
}

bool HavePdfToText() {
    return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty();
}

// Puts the form into PDF output without a file name, as on a system without
// a printer, whatever printers this machine has.
void AskForPdfFile(TPrinterForm& form) {
    form.Printer().setOutputFormat(QPrinter::PdfFormat);
    form.Printer().setOutputFileName(QString());
}

// Channel 0 of a sample, read by value out of the packed record.
float Count0(const TSampleFile& s) {
    return s.Sample.Spectrum.Channel[0];
}

} // namespace

class PrinterFormTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void initTestCase() { LoadWindowFonts(); }

    void controlsAtTheirPlaces() {
        ScriptedPrompt prompt;
        TPrinterForm form(prompt);
        QCOMPARE(form.windowTitle(), QString("Protocol"));
        QCOMPARE(form.size(), QSize(261, 139));
        QCOMPARE(form.PrinterSetupButton->geometry(), QRect(8, 40, 129, 34));
        QVERIFY(form.PrinterSetupButton->isFlat());
        QCOMPARE(form.PrintButton->geometry(), QRect(8, 88, 129, 34));
        QCOMPARE(form.RadioGroup1->geometry(), QRect(152, 40, 89, 82));
        QCOMPARE(form.RadioGroup1->title(), QString("Type"));
        QCOMPARE(form.PrintProtocolRadioButton->mapTo(&form, QPoint(0, 0)), QPoint(168, 56));
        QCOMPARE(form.PrintLabelRadioButton->mapTo(&form, QPoint(0, 0)), QPoint(168, 87));
        QVERIFY(form.PrintProtocolRadioButton->isChecked());
        QCOMPARE(form.SelectedPrinterLabel->pos(), QPoint(8, 15));
        QCOMPARE(form.SelectedPrinterLabel->font().pointSize(), 12);
        // The label names the current choice: a printer, or the PDF file
        // when the system has none.
        QCOMPARE(form.SelectedPrinterLabel->text(), form.SelectedPrinterText());
        if (!form.SystemHasPrinter()) {
            QCOMPARE(form.SelectedPrinterLabel->text(), QString("No printer: PDF file"));
            QCOMPARE(form.Printer().outputFormat(), QPrinter::PdfFormat);
        }
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(form.grab().save(QStringLiteral(ZK_TEST_OUTPUT_DIR "/PrinterForm.png")));
    }

    void invalidSampleShowsNothing() {
        ScriptedPrompt prompt;
        TPrinterForm form(prompt);
        TSampleFile sample = PrintSample();
        sample.Valid = 0;
        bool shown = false;
        ActInModal(form, [&] { shown = form.isVisible(); });
        form.PrintProtocol(Job(sample));
        QCoreApplication::processEvents();
        QVERIFY(!shown);
        QCOMPARE(form.Job().ProtocolName, QString());
        QVERIFY(prompt.SaveDialogs.isEmpty());
    }

    void pdfFileAskedThroughThePrompt() {
        ScriptedPrompt prompt;
        TPrinterForm form(prompt);
        AskForPdfFile(form);
        const QString path = dir.filePath("protocol.pdf");
        prompt.FileNames = {path};
        ActInModal(form, [&] { form.PrintButton->click(); });
        form.PrintProtocol(Job(PrintSample()));
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(prompt.SaveDialogs.size(), 1);
        QCOMPARE(prompt.SaveDialogs[0].Filter, QString("PDF files (*.pdf)|*.pdf"));
        QCOMPARE(prompt.SaveDialogs[0].DefaultExtension, QString(".pdf"));
        QCOMPARE(prompt.SaveDialogs[0].FileName, QString("soil.pdf"));
        QVERIFY(prompt.Messages.isEmpty());
        QFile pdf(path);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.read(5) == "%PDF-");
        if (HavePdfToText()) {
            const QString text = PdfText(path);
            QVERIFY2(text.contains("SAMPLE DESCRIPTION"), qPrintable(text));
            QVERIFY(text.contains("soil from the north meadow"));
            QVERIFY(text.contains("File: soil.vtb"));
            QVERIFY(text.contains("Cs137 (500 keV)"));
        }
    }

    // The form chosen stays for the next print; a label has no description
    // title.
    void labelChoiceStays() {
        if (!HavePdfToText()) {
            QSKIP("pdftotext is not installed");
        }
        ScriptedPrompt prompt;
        TPrinterForm form(prompt);
        AskForPdfFile(form);
        const QString first = dir.filePath("label1.pdf");
        const QString second = dir.filePath("label2.pdf");
        prompt.FileNames = {first, second};
        ActInModal(form, [&] {
            form.PrintLabelRadioButton->click();
            form.PrintButton->click();
        });
        form.PrintProtocol(Job(PrintSample()));
        ActInModal(form, [&] { form.PrintButton->click(); });
        form.PrintProtocol(Job(PrintSample()));
        QVERIFY(form.PrintLabelRadioButton->isChecked());
        for (const QString& path : {first, second}) {
            const QString text = PdfText(path);
            QVERIFY2(text.contains("soil from the"), qPrintable(text));
            QVERIFY(!text.contains("SAMPLE DESCRIPTION"));
        }
    }

    void cancelledOrFailedPdfKeepsTheDialogOpen() {
        ScriptedPrompt prompt;
        TPrinterForm form(prompt);
        AskForPdfFile(form);
        // An earlier file stays as it was when the new one cannot be written.
        const QString missing = dir.filePath("no such folder/protocol.pdf");
        prompt.FileNames = {QString(), missing};
        bool openAfterCancel = false, openAfterFailure = false;
        ActInModal(form, [&] {
            form.PrintButton->click();
            openAfterCancel = form.isVisible();
            form.PrintButton->click();
            openAfterFailure = form.isVisible();
        });
        form.PrintProtocol(Job(PrintSample()));
        QVERIFY(openAfterCancel);
        QVERIFY(openAfterFailure);
        QCOMPARE(form.result(), int(QDialog::Rejected));
        QCOMPARE(prompt.SaveDialogs.size(), 2);
        QCOMPARE(prompt.Messages.size(), 1);
        QVERIFY(!prompt.Messages[0].isEmpty());
        QVERIFY(!QFile::exists(missing));
    }

    void setupChoiceIsShownAndUsed() {
        ScriptedPrompt prompt;
        TPrinterForm form(prompt);
        const QString path = dir.filePath("chosen.pdf");
        QFile earlier(path);
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write("earlier");
        earlier.close();
        int shown = 0;
        form.SetupDialog = [&](QPrinter& printer, QWidget*) {
            ++shown;
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(path);
        };
        form.Printer().setResolution(1200); // as a printer chosen before might have
        form.PrinterSetupButton->click();
        QCOMPARE(shown, 1);
        QCOMPARE(form.Printer().resolution(), 600);
        QVERIFY(form.Printer().fullPage());
        QVERIFY2(form.SelectedPrinterLabel->text().endsWith("PDF file chosen.pdf"),
                 qPrintable(form.SelectedPrinterLabel->text()));
        // A long name is shortened in the middle to fit the label.
        const QString longPath = dir.filePath(QString(120, QLatin1Char('n')) + ".pdf");
        form.SetupDialog = [&](QPrinter& printer, QWidget*) {
            printer.setOutputFileName(longPath);
        };
        form.PrinterSetupButton->click();
        const QLabel& label = *form.SelectedPrinterLabel;
        QVERIFY(label.text().endsWith("n.pdf"));
        QVERIFY(label.fontMetrics().horizontalAdvance(label.text()) <= label.width());
        QCOMPARE(label.toolTip(), longPath);
        form.SetupDialog = [&](QPrinter& printer, QWidget*) { printer.setOutputFileName(path); };
        form.PrinterSetupButton->click();
        // A file chosen in the setup is not asked for again.
        ActInModal(form, [&] { form.PrintButton->click(); });
        form.PrintProtocol(Job(PrintSample()));
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QVERIFY(prompt.SaveDialogs.isEmpty());
        QFile pdf(path);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.read(5) == "%PDF-");
    }

    // Qt's own print dialog opens on "Setup"; dismissing it keeps the choice.
    void systemSetupDialogDismissed() {
        ScriptedPrompt prompt;
        TPrinterForm form(prompt);
        const QString before = form.SelectedPrinterLabel->text();
        bool opened = false;
        QTimer::singleShot(0, &form, [&] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                opened = modal != &form;
                if (auto* d = qobject_cast<QDialog*>(modal)) {
                    d->reject();
                }
            }
        });
        form.PrinterSetupButtonClick();
        QVERIFY(opened);
        QCOMPARE(form.SelectedPrinterLabel->text(), before);
    }

    // "Print protocol" hands over the working copy as the analysis makes it,
    // the title from the caption and both solver results; the printed table
    // states what the report states.
    void mainWindowHandsOverTheAnalysedSample() {
        ScriptedPrompt prompt;
        TPaekAnalyserForm main(prompt);
        TPrinterForm printer(prompt);
        AskForPdfFile(printer);
        const QString samplePath = dir.filePath("field 7.vtb");
        QString error;
        QVERIFY(WriteSampleFile(samplePath, PrintSample(), error));
        main.ShowResult(main.Workstation().OpenSample(samplePath));
        // A background of a quarter of the flat level, same size and offset.
        TSampleFile background = FlatSample(1024, 25);
        SetMeasurement(background, 3600, 1);
        main.State().BackgroundSample = background;
        main.BackgroundSubtractionCheckBox->click();
        QVERIFY(main.Workstation().BackgroundSubtraction);
        main.AnalyseSample();

        const QString pdfPath = dir.filePath("field 7.pdf");
        prompt.FileNames = {pdfPath};
        TPrintJob handed;
        ActInModal(printer, [&] {
            handed = printer.Job();
            printer.PrintButton->click();
        });
        main.PrintprotocolClick(printer);
        QCOMPARE(handed.ProtocolName, QString("field 7.vtb"));
        QVERIFY(handed.BackgroundSubtracted);
        QCOMPARE(Count0(handed.SampleFile), Count0(main.LastRun().WorkingCopy));
        QCOMPARE(prompt.SaveDialogs.value(0).FileName, QString("field 7.pdf"));
        if (HavePdfToText()) {
            const QString text = PdfText(pdfPath);
            QCOMPARE(main.LastRun().Peaks.size(), size_t(2));
            QVERIFY(main.LastRun().Peaks[0].Result.Error > 0); // a measured activity
            for (const TPeakReport& peak : main.LastRun().Peaks) {
                const QString statement = FormatActivityStatement(
                    main.Workstation().Uncertainties, false, peak.Result, LocaleDecimalSeparator());
                QVERIFY2(text.contains(statement), qPrintable(statement + "\n" + text));
            }
        }
        // The main window's sample keeps its gross spectrum.
        QCOMPARE(Count0(main.State().MeasuredSample), Count0(PrintSample()));
    }

    // A background that does not fit leaves the copy gross and the flag false.
    void unfittingBackgroundIsNotSubtracted() {
        ScriptedPrompt prompt;
        TPaekAnalyserForm main(prompt);
        TPrinterForm printer(prompt);
        main.State().MeasuredSample = PrintSample();
        TSampleFile background = FlatSample(512, 25);
        SetMeasurement(background, 3600, 1);
        main.State().BackgroundSample = background;
        main.Workstation().BackgroundSubtraction = true;
        TPrintJob handed;
        ActInModal(printer, [&] { handed = printer.Job(); });
        main.PrintprotocolClick(printer);
        QVERIFY(!handed.BackgroundSubtracted);
        QCOMPARE(Count0(handed.SampleFile), Count0(PrintSample()));
        QCOMPARE(handed.ProtocolName, QString("Zel Korda Works 2.0.4"));
    }
};

QTEST_MAIN(PrinterFormTest)
#include "PrinterFormTest.moc"

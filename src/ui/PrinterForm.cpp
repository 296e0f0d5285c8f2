#include "ui/PrinterForm.h"

#include "widgets/WindowStyle.h"

#include <QFileInfo>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>

namespace {

// PDF files are laid out at 600 dots per inch unless the print dialog set
// another resolution.
constexpr int PdfResolution = 600;

} // namespace

TFileDialogOptions PdfSaveDialog(const QString& title) {
    QString name = QFileInfo(title).completeBaseName();
    if (!name.isEmpty()) {
        name += QStringLiteral(".pdf");
    }
    return {QStringLiteral("PDF files (*.pdf)|*.pdf"), QStringLiteral(".pdf"), name};
}

TPrinterForm::TPrinterForm(TPrompt& prompt, QWidget* parent)
    : QDialog(parent), Prompts(prompt),
      CurrentPrinter(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
    setObjectName(QStringLiteral("PrinterForm"));
    setWindowTitle(QStringLiteral("Protocol"));
    ApplyWindowStyle(this);
    setFixedSize(261, 139);

    HasPrinter = !QPrinterInfo::availablePrinterNames().isEmpty();
    if (!HasPrinter) {
        CurrentPrinter->setOutputFormat(QPrinter::PdfFormat);
    }
    if (CurrentPrinter->outputFormat() == QPrinter::PdfFormat) {
        CurrentPrinter->setResolution(PdfResolution);
        CurrentPrinter->setFullPage(true);
    }

    SelectedPrinterLabel = new QLabel(QStringLiteral("Selected Printer"), this);
    SelectedPrinterLabel->setObjectName(QStringLiteral("SelectedPrinterLabel"));
    QFont big = font();
    big.setPointSize(12);
    SelectedPrinterLabel->setFont(big);
    SelectedPrinterLabel->setGeometry(8, 15, 245, 21);

    PrinterSetupButton = new QPushButton(QStringLiteral("Setup"), this);
    PrinterSetupButton->setObjectName(QStringLiteral("PrinterSetupButton"));
    PrinterSetupButton->setFlat(true);
    PrinterSetupButton->setGeometry(8, 40, 129, 34);
    connect(PrinterSetupButton, &QPushButton::clicked, this,
            &TPrinterForm::PrinterSetupButtonClick);

    PrintButton = new QPushButton(QStringLiteral("Print"), this);
    PrintButton->setObjectName(QStringLiteral("PrintButton"));
    PrintButton->setGeometry(8, 88, 129, 34);
    connect(PrintButton, &QPushButton::clicked, this, &TPrinterForm::PrintButtonClick);

    RadioGroup1 = new QGroupBox(QStringLiteral("Type"), this);
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    RadioGroup1->setGeometry(152, 40, 89, 82);
    // The radio buttons are placed in dialog coordinates.
    PrintProtocolRadioButton = new QRadioButton(QStringLiteral("Protocol"), RadioGroup1);
    PrintProtocolRadioButton->setObjectName(QStringLiteral("PrintProtocolRadioButton"));
    PrintProtocolRadioButton->setGeometry(168 - 152, 56 - 40, 65, 17);
    PrintProtocolRadioButton->setChecked(true);
    PrintLabelRadioButton = new QRadioButton(QStringLiteral("Label"), RadioGroup1);
    PrintLabelRadioButton->setObjectName(QStringLiteral("PrintLabelRadioButton"));
    PrintLabelRadioButton->setGeometry(168 - 152, 87 - 40, 65, 17);

    SetupDialog = [](QPrinter& printer, QWidget* owner) {
        QPrintDialog dialog(&printer, owner);
        dialog.exec();
    };
    ShowSelectedPrinter();
}

TPrinterForm::~TPrinterForm() = default;

QString TPrinterForm::SelectedPrinterText() const {
    if (CurrentPrinter->outputFormat() != QPrinter::PdfFormat) {
        return CurrentPrinter->printerName();
    }
    const QString file = QFileInfo(CurrentPrinter->outputFileName()).fileName();
    QString text = HasPrinter ? QStringLiteral("PDF file") : QStringLiteral("No printer: PDF file");
    if (!file.isEmpty()) {
        text += QStringLiteral(" ") + file;
    }
    return text;
}

void TPrinterForm::ShowSelectedPrinter() {
    const QString text = SelectedPrinterText();
    // A long printer or file name keeps its beginning and end in the label;
    // the tool tip names it whole.
    SelectedPrinterLabel->setText(SelectedPrinterLabel->fontMetrics().elidedText(
        text, Qt::ElideMiddle, SelectedPrinterLabel->width()));
    SelectedPrinterLabel->setToolTip(
        CurrentPrinter->outputFileName().isEmpty() ? text : CurrentPrinter->outputFileName());
}

void TPrinterForm::PrintProtocol(const TPrintJob& job) {
    if (job.SampleFile.Valid == 0) {
        return;
    }
    PrintJob = job;
    ShowSelectedPrinter();
    exec();
}

void TPrinterForm::PrinterSetupButtonClick() {
    if (SetupDialog) {
        SetupDialog(*CurrentPrinter, this);
    }
    if (CurrentPrinter->outputFormat() == QPrinter::PdfFormat) {
        // A PDF page is the whole sheet, without margins, at the PDF
        // resolution whichever printer was chosen before.
        CurrentPrinter->setFullPage(true);
        CurrentPrinter->setResolution(PdfResolution);
    }
    ShowSelectedPrinter();
}

void TPrinterForm::PrintButtonClick() {
    const bool label = PrintLabelRadioButton->isChecked();
    const bool printed = CurrentPrinter->outputFormat() == QPrinter::PdfFormat
                             ? PrintIntoPdf(label)
                             : PrintOnPrinter(label);
    if (printed) {
        accept();
    }
}

bool TPrinterForm::PrintIntoPdf(bool label) {
    QString path = CurrentPrinter->outputFileName();
    if (path.isEmpty()) {
        path = Prompts.SaveFileName(PdfSaveDialog(PrintJob.ProtocolName));
        if (path.isEmpty()) {
            return false;
        }
    }
    QString error;
    if (!PrintToPdf(path, PrintJob, label, CurrentPrinter->resolution(),
                    CurrentPrinter->pageLayout().pageSize(), error)) {
        Prompts.ShowMessage(error);
        return false;
    }
    return true;
}

bool TPrinterForm::PrintOnPrinter(bool label) {
    QPainter painter;
    if (!painter.begin(CurrentPrinter.get())) {
        Prompts.ShowMessage(QStringLiteral("The printer ") + CurrentPrinter->printerName() +
                            QStringLiteral(" could not start the print job."));
        return false;
    }
    // The page is the printable area in the printer's device pixels.
    const QRect page(0, 0, CurrentPrinter->width(), CurrentPrinter->height());
    PrintProtocolPage(painter, page, PrintJob, label);
    painter.end();
    return true;
}

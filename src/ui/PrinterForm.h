// The print dialog "Protocol": shows the printer the next print goes to,
// lets the user pick another one (or a PDF file) in Qt's print dialog and the
// form (protocol or label), and prints the job it was given on one page.
//
// A system without any printer prints into a PDF file, whose name is asked
// through the prompt interface at each print; so does a PDF output that the
// print dialog left without a file name. Every PDF is written through
// PrintToPdf, so a failed write leaves an earlier file as it was.
#pragma once

#include "core/Prompt.h"
#include "printing/PrintProtocol.h"

#include <QDialog>

#include <functional>
#include <memory>

class QGroupBox;
class QLabel;
class QPrinter;
class QPushButton;
class QRadioButton;

class TPrinterForm : public QDialog {
    Q_OBJECT
public:
    explicit TPrinterForm(TPrompt& prompt, QWidget* parent = nullptr);
    ~TPrinterForm() override;

    // Keeps `job` for printing, shows the current printer and the dialog
    // modally. A job whose sample is not valid does nothing.
    void PrintProtocol(const TPrintJob& job);

    // "Setup": Qt's print dialog on the current printer; whatever the user
    // does there, the label then names the current choice.
    void PrinterSetupButtonClick();
    // "Print": one page of the kept job (a label when "Label" is chosen) on
    // the current choice; the dialog closes with OK after a print. A cancelled
    // file question or a failed print leaves it open.
    void PrintButtonClick();

    // The printer the next print goes to, with its page and resolution.
    QPrinter& Printer() { return *CurrentPrinter; }
    // Whether the system has at least one printer; without, prints go into
    // a PDF file.
    bool SystemHasPrinter() const { return HasPrinter; }
    // The text of SelectedPrinterLabel for the current choice.
    QString SelectedPrinterText() const;

    // The job of the last print command.
    const TPrintJob& Job() const { return PrintJob; }

    // Shows the print setup dialog on the printer; Qt's QPrintDialog unless
    // replaced (tests replace it so nothing waits for a user).
    std::function<void(QPrinter&, QWidget*)> SetupDialog;

    QLabel* SelectedPrinterLabel;
    QPushButton* PrinterSetupButton;
    QPushButton* PrintButton;
    QGroupBox* RadioGroup1;
    QRadioButton* PrintProtocolRadioButton;
    QRadioButton* PrintLabelRadioButton;

private:
    void ShowSelectedPrinter();
    bool PrintIntoPdf(bool label);
    bool PrintOnPrinter(bool label);

    TPrompt& Prompts;
    std::unique_ptr<QPrinter> CurrentPrinter;
    bool HasPrinter = false;
    TPrintJob PrintJob;
};

// The PDF question's filter and proposed file name: the title's base name
// with ".pdf".
TFileDialogOptions PdfSaveDialog(const QString& title);

#include "ui/PaekAnalyserForm.h"
#include "widgets/Controls.h"
#include "widgets/WindowStyle.h"

#include "calibration/forms/CalibrationToolForm.h"
#include "calibration/forms/EfficiencyForm.h"
#include "core/FileDialogs.h"
#include "core/NumberFormat.h"
#include "instrument/SpecConfig.h"
#include "library/PeakListEditor.h"
#include "plots/DrawRunPlot.h"
#include "plots/Plots.h"
#include "ui/ExchangeBlocker.h"
#include "ui/PrinterForm.h"
#include "widgets/PaintBox.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPainter>
#include <QTextEdit>

#include <algorithm>

namespace {

const QString InitialCaption = QStringLiteral("Zel Korda Works 2.0.4");
const QString InitialDescription = QStringLiteral("Sample description");

QColor ReportColour(TReportColour c) {
    switch (c) {
    case TReportColour::Blue:
        return QColor(0, 0, 255);
    case TReportColour::Red:
        return QColor(255, 0, 0);
    default:
        return QColor(0, 0, 0);
    }
}

} // namespace

void TPortComboBox::showPopup() {
    emit DropDown();
    QComboBox::showPopup();
}

TPaekAnalyserForm::TPaekAnalyserForm(TPrompt& prompt, TInstrumentLink link, QWidget* parent)
    : QMainWindow(parent), Prompts(prompt), Session(std::move(link)) {
    Session.BusyChanged = [this](bool busy) { SetBusy(busy); };
    // Windows repaint while an exchange waits for the instrument's answer.
    Session.Link().Settings().WhileWaiting = [] { TExchangeBlocker::LetWindowsPaint(); };
    setObjectName("PaekAnalyserForm");
    ApplyWindowStyle(this);
    CreateControls();
    CreateMenus();
    // FormCreate: caption; every record not valid; empty origins (the state
    // record starts that way).
    setWindowTitle(InitialCaption);
    AnalyseSample();
}

TPaekAnalyserForm::~TPaekAnalyserForm() = default;

void TPaekAnalyserForm::CreateControls() {
    auto* client = new QWidget(this);
    client->setFixedSize(1046, 643);
    setCentralWidget(client);

    ComPortComboBox = new TPortComboBox(client);
    ComPortComboBox->setGeometry(8, 5, 65, 21);
    ComPortComboBox->setPlaceholderText("Connect");
    ComPortComboBox->setCurrentIndex(-1);
    connect(ComPortComboBox, &TPortComboBox::DropDown, this,
            &TPaekAnalyserForm::ComPortComboBoxDropDown);

    SampleInfoEdit = MakeReadOnlyEdit(client, InitialDescription);
    SampleInfoEdit->setGeometry(79, 5, 466, 21);
    CursorInfoEdit = MakeReadOnlyEdit(client, "keV");
    CursorInfoEdit->setGeometry(551, 5, 153, 21);

    BackgroundSubtractionCheckBox = new QCheckBox("Background Subtraction", client);
    BackgroundSubtractionCheckBox->setGeometry(722, 5, 137, 17);
    connect(BackgroundSubtractionCheckBox, &QCheckBox::clicked, this,
            &TPaekAnalyserForm::BackgroundSubtractionCheckBoxClick);
    LogViewCheckBox = new QCheckBox("Log. View", client);
    LogViewCheckBox->setGeometry(865, 1, 65, 25);
    connect(LogViewCheckBox, &QCheckBox::clicked, this, [this] { AnalyseSample(); });
    DetailedResultsCheckBox = new QCheckBox("Detailed Results", client);
    DetailedResultsCheckBox->setGeometry(936, 5, 97, 17);
    connect(DetailedResultsCheckBox, &QCheckBox::clicked, this, [this] { AnalyseSample(); });

    SpectrumPaintBox = new TPaintBox(client);
    SpectrumPaintBox->setGeometry(8, 32, 1028, 241);
    SpectrumPaintBox->OnPaint = [this](QPainter& p, const QRect& r) {
        DrawRunPlot(Run, Run.SpectrumPlot, p, r);
    };
    connect(SpectrumPaintBox, &TPaintBox::MouseMoved, this,
            &TPaekAnalyserForm::SpectrumPaintBoxMouseMove);
    BackgroundPaintBox = new TPaintBox(client);
    BackgroundPaintBox->setGeometry(8, 279, 1028, 74);
    BackgroundPaintBox->OnPaint = [this](QPainter& p, const QRect& r) {
        DrawRunPlot(Run, Run.BackgroundPlot, p, r);
    };
    connect(BackgroundPaintBox, &TPaintBox::MouseMoved, this,
            &TPaekAnalyserForm::BackgroundPaintBoxMouseMove);
    RoiPaintBox = new TPaintBox(client);
    RoiPaintBox->setGeometry(8, 359, 331, 250);
    RoiPaintBox->OnPaint = [this](QPainter& p, const QRect& r) {
        DrawRunPlot(Run, Run.RoiPlot, p, r);
    };

    PeakSelectionListBox = new QListWidget(client);
    PeakSelectionListBox->setGeometry(345, 359, 153, 186);
    connect(PeakSelectionListBox, &QListWidget::currentRowChanged, this, [this] {
        if (!Refilling) {
            AnalyseSample();
        }
    });

    ResultRichEdit = new QTextEdit(client);
    ResultRichEdit->setGeometry(504, 359, 532, 186);
    ResultRichEdit->setReadOnly(true);
    ResultRichEdit->setFont(font());

    OriginsListBox = new QListWidget(client);
    OriginsListBox->setGeometry(345, 551, 691, 58);

    CommentEdit = new QLineEdit("Add a comment", client);
    CommentEdit->setGeometry(8, 615, 1028, 21);
    CommentEdit->setFocusPolicy(Qt::ClickFocus);
    connect(CommentEdit, &QLineEdit::textEdited, this, &TPaekAnalyserForm::CommentEditChange);
}

void TPaekAnalyserForm::CreateMenus() {
    // Every caption in its order; items are disabled until a handler is bound.
    const QList<QPair<QString, QStringList>> menus = {
        {"Sample",
         {"Read", "Open", "Save", "Import", "Export", "-", "Use as background", "-",
          "Print protocol"}},
        {"Library", {"Edit", "Transfer"}},
        {"Calibration", {"Energy / Peak Width", "Efficiency", "-", "Define uncertainties"}},
        {"Zel-Korda",
         {"Read background sample", "Read Memory", "-", "Clear Memory", "-",
          "Set unique sample ID to zero", "-", "Spectrometer Configuration", "-", "About"}},
        {"Tools",
         {"Solve Doublet", "Trapezoid", "-", "Clip analysis setup", "Use clipped analysis setup"}},
    };
    const QStringList calibrationItems = {"Open", "Save", "Calibrate", "Transfer"};
    for (const auto& [title, items] : menus) {
        QMenu* menu = menuBar()->addMenu(title);
        menu->setObjectName(title);
        for (const QString& item : items) {
            if (item == "-") {
                menu->addSeparator();
            } else if (title == "Calibration" && item != "Define uncertainties") {
                QMenu* sub = menu->addMenu(item);
                sub->setObjectName(item);
                for (const QString& subItem : calibrationItems) {
                    sub->addAction(subItem)->setEnabled(false);
                }
            } else {
                menu->addAction(item)->setEnabled(false);
            }
        }
    }
    BindCommand({"Sample", "Read"}, [this] { ReadSampleClick(); });
    BindCommand({"Sample", "Open"}, [this] { OpenClick(); });
    BindCommand({"Sample", "Save"}, [this] { SaveClick(); });
    BindCommand({"Sample", "Import"}, [this] { ImportClick(); });
    BindCommand({"Sample", "Export"}, [this] { ExportClick(); });
    BindCommand({"Sample", "Use as background"}, [this] { UseAsBackgroundClick(); });
    BindCommand({"Library", "Transfer"}, [this] { TransmitPeakListClick(); });
    BindCommand({"Calibration", "Energy / Peak Width", "Open"}, [this] { OpenEWCalClick(); });
    BindCommand({"Calibration", "Energy / Peak Width", "Save"}, [this] { SaveEWcalClick(); });
    BindCommand({"Calibration", "Energy / Peak Width", "Transfer"},
                [this] { TransmitCalibrationClick(); });
    BindCommand({"Calibration", "Efficiency", "Open"}, [this] { OpenRCalClick(); });
    BindCommand({"Calibration", "Efficiency", "Save"}, [this] { SaveRCalClick(); });
    BindCommand({"Calibration", "Efficiency", "Transfer"}, [this] { TransmitEfficiencyClick(); });
    BindCommand({"Zel-Korda", "Read background sample"}, [this] { ReadbackgroundsampleClick(); });
    BindCommand({"Zel-Korda", "Clear Memory"}, [this] { ClearMemoryClick(); });
    BindCommand({"Zel-Korda", "Set unique sample ID to zero"}, [this] { ResetSampleIDClick(); });
    BindCommand({"Zel-Korda", "About"}, [this] { About1Click(); });
    BindCommand({"Tools", "Clip analysis setup"}, [this] { DefineAnalysisClick(); });
    MenuAction({"Sample", "Open"})->setShortcut(QKeySequence::Open);
    MenuAction({"Sample", "Save"})->setShortcut(QKeySequence::Save);
    MenuAction({"Sample", "Print protocol"})->setShortcut(QKeySequence::Print);
    auto* quit = new QAction(this);
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, this, &QWidget::close);
    addAction(quit);
}

QAction* TPaekAnalyserForm::MenuAction(const QStringList& path) const {
    QList<QAction*> actions = menuBar()->actions();
    QAction* found = nullptr;
    for (const QString& caption : path) {
        found = nullptr;
        for (QAction* a : actions) {
            if (a->text() == caption) {
                found = a;
                break;
            }
        }
        if (!found) {
            return nullptr;
        }
        actions = found->menu() ? found->menu()->actions() : QList<QAction*>{};
    }
    return found;
}

void TPaekAnalyserForm::BindCommand(const QStringList& path, std::function<void()> handler) {
    QAction* action = MenuAction(path);
    if (!action) {
        return;
    }
    action->setEnabled(true);
    connect(action, &QAction::triggered, this, [this, handler] { RunCommand(handler); });
}

void TPaekAnalyserForm::RunCommand(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        // Numerical and conversion errors end the command; the program
        // carries on.
        Prompts.ShowMessage(QString::fromUtf8(e.what()));
    }
}

void TPaekAnalyserForm::SetUncertaintyEditor(std::function<void()> edit) {
    EditUncertainties = std::move(edit);
    BindCommand({"Calibration", "Define uncertainties"}, [this] {
        if (EditUncertainties) {
            EditUncertainties(); // takes effect at the next analysis run
        }
    });
}

QString TPaekAnalyserForm::SelectedPort() const {
    return ComPortComboBox->currentIndex() >= 0 ? ComPortComboBox->currentText() : QString();
}

void TPaekAnalyserForm::SetBusy(bool busy) {
    if (busy) {
        TExchangeBlocker::Begin();
    } else {
        TExchangeBlocker::End();
    }
}

void TPaekAnalyserForm::ShowResult(const TCommandResult& result) {
    if (result.SubtractionChecked && !BackgroundSubtractionCheckBox->isChecked()) {
        BackgroundSubtractionCheckBox->setChecked(true);
    }
    for (const QString& message : result.Messages) {
        Prompts.ShowMessage(message);
    }
    if (result.Caption) {
        setWindowTitle(*result.Caption);
    }
    if (result.Comment) {
        CommentEdit->setText(*result.Comment);
    }
    switch (result.Refresh) {
    case TRefresh::PeakSelection: {
        const TPeakList peakList = Session.State.MeasuredSample.PeakList;
        RefreshPeakSelection(peakList);
        break;
    }
    case TRefresh::Analysis:
        AnalyseSample();
        break;
    case TRefresh::None:
        break;
    }
}

TAnalysisOptions TPaekAnalyserForm::CurrentOptions() const {
    TAnalysisOptions o;
    o.BackgroundSubtraction = Session.BackgroundSubtraction;
    o.DetailedResults = DetailedResultsCheckBox->isChecked();
    o.LogView = LogViewCheckBox->isChecked();
    o.Selected = PeakSelectionListBox->currentRow();
    o.DecimalSeparator = LocaleDecimalSeparator();
    return o;
}

void TPaekAnalyserForm::RefreshPeakSelection(const TPeakList& peakList) {
    Refilling = true;
    PeakSelectionListBox->clear();
    for (int i = 0; i < UsablePeaks(peakList); ++i) {
        const TPeakEntry& p = peakList.Peak[i];
        PeakSelectionListBox->addItem(PeakNameToText(p) + "; " + QString::number(p.Energy) + "keV");
    }
    if (PeakSelectionListBox->count() > 0) {
        PeakSelectionListBox->setCurrentRow(0);
    }
    Refilling = false;
    AnalyseSample();
}

void TPaekAnalyserForm::AddReportLine(const QString& text, TReportColour colour) {
    QTextCursor cursor(ResultRichEdit->document());
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat format;
    format.setForeground(ReportColour(colour));
    format.setFontFamilies({"MS Sans Serif"});
    format.setFontPointSize(8);
    if (!ResultRichEdit->document()->isEmpty()) {
        cursor.insertBlock();
    }
    cursor.insertText(text, format);
}

void TPaekAnalyserForm::AnalyseSample() {
    Run = Session.Analyse(CurrentOptions());
    ResultRichEdit->clear();
    if (Run.SampleValid) {
        SampleInfoEdit->setText(Run.Description);
        for (const TReportLine& line : Run.Lines) {
            AddReportLine(line.Text, line.Colour);
        }
    } else {
        // Without a valid sample nothing of an earlier sample stays on show.
        SampleInfoEdit->setText(InitialDescription);
    }
    OriginsListBox->clear();
    OriginsListBox->addItems(Run.Origins);
    // The repaint removes the old cursor lines.
    SpectrumPaintBox->ClearCursor();
    BackgroundPaintBox->ClearCursor();
    SpectrumPaintBox->update();
    BackgroundPaintBox->update();
    RoiPaintBox->update();
}

void TPaekAnalyserForm::BackgroundSubtractionCheckBoxClick() {
    ShowResult(Session.SetBackgroundSubtraction(BackgroundSubtractionCheckBox->isChecked()));
}

// --- Command handlers: ask, call the operation, show its result ---------------

void TPaekAnalyserForm::OpenClick() {
    const QString path = AskOpenName(Prompts, SampleFileFilter, QStringLiteral(".vtb"));
    if (!path.isEmpty()) {
        ShowResult(Session.OpenSample(path));
    }
}

void TPaekAnalyserForm::SaveClick() {
    const QString path = AskSaveName(Prompts, SampleSaveDialog());
    if (!path.isEmpty()) {
        ShowResult(Session.SaveSample(path));
    }
}

void TPaekAnalyserForm::ImportClick() {
    const QString path = Prompts.OpenFileName(SpectrumTextOpenDialog());
    if (!path.isEmpty()) {
        ShowResult(Session.ImportSpectrum(path, LocaleDecimalSeparator()));
    }
}

void TPaekAnalyserForm::ExportClick() {
    // The chosen name's extension picks the format; any other name is an SPA file.
    const QString path = Prompts.SaveFileName(SpectrumExportDialog());
    if (!path.isEmpty()) {
        ShowResult(
            Session.ExportSpectrumAs(path, LocaleDecimalSeparator(),
                                     ExportFormatOfExtension(path).value_or(TExportFormat::Spa)));
    }
}

void TPaekAnalyserForm::OpenEWCalClick() {
    const QString path = AskOpenName(Prompts, EWCalFileFilter, QStringLiteral(".ewcal"));
    if (!path.isEmpty()) {
        ShowResult(Session.OpenEWCal(path));
    }
}

void TPaekAnalyserForm::SaveEWcalClick() {
    const QString path = AskSaveName(Prompts, EWCalSaveDialog());
    if (!path.isEmpty()) {
        ShowResult(Session.SaveEWCal(path));
    }
}

void TPaekAnalyserForm::OpenRCalClick() {
    const QString path = AskOpenName(Prompts, RCalFileFilter, QStringLiteral(".rcal"));
    if (!path.isEmpty()) {
        ShowResult(Session.OpenRCal(path));
    }
}

void TPaekAnalyserForm::SaveRCalClick() {
    const QString path = AskSaveName(Prompts, RCalSaveDialog());
    if (!path.isEmpty()) {
        ShowResult(Session.SaveRCal(path));
    }
}

void TPaekAnalyserForm::UseAsBackgroundClick() {
    ShowResult(Session.UseAsBackground());
}

void TPaekAnalyserForm::PeakListClick(TPeakListEditor& editor) {
    TPeakList list = Session.State.MeasuredSample.PeakList;
    QString origin = Session.State.PeakListOrigin;
    // A dismissed editor keeps list and origin; the solver results end all the same.
    editor.GetPeakList(list, origin);
    ShowResult(Session.ReplacePeakList(list, origin));
}

void TPaekAnalyserForm::ReadSampleClick() {
    ShowResult(Session.ReadCurrentSample(SelectedPort()));
}

void TPaekAnalyserForm::ReadbackgroundsampleClick() {
    ShowResult(Session.ReadBackgroundSample(SelectedPort()));
}

void TPaekAnalyserForm::ReadMemoryClick(TDownloadProgress& progress) {
    const QString path = Prompts.SaveFileName(SampleSaveDialog());
    if (!path.isEmpty()) {
        ShowResult(Session.DownloadMemory(SelectedPort(), path, progress));
    }
}

void TPaekAnalyserForm::ClearMemoryClick() {
    if (Prompts.Confirm(QStringLiteral("Clear memory"),
                        QStringLiteral("You really want to delete all stored samples?"))) {
        ShowResult(Session.ClearMemory(SelectedPort()));
    }
}

void TPaekAnalyserForm::ResetSampleIDClick() {
    if (Prompts.Confirm(QStringLiteral("Reset sample ID"),
                        QStringLiteral("You really want to reset sample ID?"))) {
        ShowResult(Session.ResetSampleID(SelectedPort()));
    }
}

void TPaekAnalyserForm::SpectrometerConfigurationClick(TSpecConfigEditor& editor) {
    const QString port = SelectedPort();
    TSpecConfig config{};
    TPeakList peakList{};
    const TCommandResult read = Session.ReadSpecConfiguration(port, config, peakList);
    if (!read.Ok()) {
        ShowResult(read);
    } else if (editor.SpectrometerConfig(peakList, config)) {
        ShowResult(Session.WriteSpecConfiguration(port, config));
    }
}

void TPaekAnalyserForm::About1Click() {
    ShowResult(Session.ReadInstrumentInfo(SelectedPort()));
}

void TPaekAnalyserForm::TransmitPeakListClick() {
    ShowResult(Session.TransmitPeakList(SelectedPort()));
}

void TPaekAnalyserForm::TransmitCalibrationClick() {
    ShowResult(Session.TransmitCalibration(SelectedPort()));
}

void TPaekAnalyserForm::TransmitEfficiencyClick() {
    ShowResult(Session.TransmitEfficiency(SelectedPort()));
}

void TPaekAnalyserForm::SolveDoubletClick(TDoubletView& view) {
    ShowResult(Session.SolveDoublets(&view));
}

void TPaekAnalyserForm::TrapezoidClick(TTrapezoidSelector& selector) {
    const TAnalysisState& state = Session.State;
    if (!IsTrue(state.MeasuredSample.Valid)) {
        return;
    }
    QList<bool> checked;
    std::optional<TBoolArray> selection;
    if (selector.SelectPeaks(TrapezoidSelectionLines(state.MeasuredSample.PeakList), checked)) {
        selection = state.TrapezoidSelection;
        for (int i = 0; i < checked.size() && i < SolverEntries; ++i) {
            (*selection)[i] = checked[i];
        }
    }
    ShowResult(Session.SolveTrapezoid(selection));
}

void TPaekAnalyserForm::EW_CalibrationClick(TSampleCalibrator& tool) {
    std::optional<TSampleFile> sample = Session.State.MeasuredSample;
    if (!tool.CalibrateSample(*sample)) {
        sample.reset();
    }
    ShowResult(Session.TakeToolCalibration(sample));
}

void TPaekAnalyserForm::R_CalibrationClick(TEfficiencyEditor& calibrator) {
    std::optional<TSampleFile> sample = Session.State.MeasuredSample;
    if (!calibrator.GetEfficiencyCurveFromSpectrum(*sample)) {
        sample.reset();
    }
    ShowResult(Session.TakeEfficiencyCalibration(sample));
}

void TPaekAnalyserForm::PrintprotocolClick(TPrinterForm& printer) {
    // The title is the caption's file-name part: after "Open" or "Save" the
    // sample file's name.
    const QString caption = windowTitle();
    const qsizetype cut =
        std::max(caption.lastIndexOf(QLatin1Char('/')), caption.lastIndexOf(QLatin1Char('\\')));
    printer.PrintProtocol(MakePrintJob(Session.State, Session.BackgroundSubtraction,
                                       Session.Uncertainties, caption.mid(cut + 1),
                                       LocaleDecimalSeparator()));
}

void TPaekAnalyserForm::DefineAnalysisClick() {
    if (Prompts.Confirm(QStringLiteral("Clip actual analysis setup"),
                        QStringLiteral("Replace clipped analysis setup by actual setup?"))) {
        ShowResult(Session.ClipAnalysisSetup());
    }
}

void TPaekAnalyserForm::UseAnalysisClick(TDoubletView* view) {
    ShowResult(Session.UseClippedAnalysisSetup(view));
}

void TPaekAnalyserForm::SpectrumPaintBoxMouseMove(int x) {
    double energy = -1;
    int channel = 0;
    CursorPosition(Session.State.MeasuredSample, SpectrumPaintBox->width(), x, energy, channel);
    if (IsTrue(Session.State.MeasuredSample.Valid)) {
        SpectrumPaintBox->ShowCursorLine(x);
    }
    CursorInfoEdit->setText(
        CursorReadoutText(Session.State.MeasuredSample, false, energy, channel));
}

void TPaekAnalyserForm::BackgroundPaintBoxMouseMove(int x) {
    double energy = -1;
    int channel = 0;
    CursorPosition(Session.State.BackgroundSample, BackgroundPaintBox->width(), x, energy, channel);
    if (IsTrue(Session.State.BackgroundSample.Valid)) {
        BackgroundPaintBox->ShowCursorLine(x);
    }
    CursorInfoEdit->setText(
        CursorReadoutText(Session.State.BackgroundSample, true, energy, channel));
}

void TPaekAnalyserForm::CommentEditChange(const QString& text) {
    Session.SetComment(text);
}

void TPaekAnalyserForm::ComPortComboBoxDropDown() {
    ComPortComboBox->clear(); // rebuilding clears the selection
    if (PortList) {
        ComPortComboBox->addItems(PortList());
    }
    ComPortComboBox->setCurrentIndex(-1);
}

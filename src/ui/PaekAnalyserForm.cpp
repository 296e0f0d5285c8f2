#include "ui/PaekAnalyserForm.h"
#include "ui/WindowStyle.h"

#include "core/NumberFormat.h"
#include "core/SampleFileCommands.h"
#include "ui/PaintBox.h"
#include "ui/plots/DrawRunPlot.h"
#include "ui/plots/Plots.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPainter>
#include <QTextEdit>

namespace {

const QColor LightGrey(211, 211, 211);
const QString InitialCaption = QStringLiteral("Zel Korda Works 2.0.4");

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

QLineEdit* ReadOnlyEdit(QWidget* parent, const QString& text) {
    auto* edit = new QLineEdit(text, parent);
    edit->setReadOnly(true);
    QPalette pal = edit->palette();
    pal.setColor(QPalette::Base, LightGrey);
    edit->setPalette(pal);
    return edit;
}

} // namespace

void TPortComboBox::showPopup() {
    emit DropDown();
    QComboBox::showPopup();
}

TPaekAnalyserForm::TPaekAnalyserForm(TPrompt& prompt, QWidget* parent)
    : QMainWindow(parent), Prompts(prompt) {
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

    SampleInfoEdit = ReadOnlyEdit(client, "Sample description");
    SampleInfoEdit->setGeometry(79, 5, 466, 21);
    CursorInfoEdit = ReadOnlyEdit(client, "keV");
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
    BindCommand({"Sample", "Open"}, [this] { OpenClick(*this); });
    BindCommand({"Sample", "Save"}, [this] { SaveClick(*this); });
    BindCommand({"Sample", "Use as background"}, [this] { UseAsBackgroundClick(); });
    BindCommand({"Calibration", "Energy / Peak Width", "Open"}, [this] { OpenEWCalClick(*this); });
    BindCommand({"Calibration", "Energy / Peak Width", "Save"}, [this] { SaveEWcalClick(*this); });
    BindCommand({"Calibration", "Efficiency", "Open"}, [this] { OpenRCalClick(*this); });
    BindCommand({"Calibration", "Efficiency", "Save"}, [this] { SaveRCalClick(*this); });
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
    connect(action, &QAction::triggered, this, [handler] { handler(); });
}

void TPaekAnalyserForm::SetUncertaintySource(std::function<const TUncertaintySettings&()> settings,
                                             std::function<void()> edit) {
    Uncertainties = std::move(settings);
    EditUncertainties = std::move(edit);
    BindCommand({"Calibration", "Define uncertainties"}, [this] {
        if (EditUncertainties) {
            EditUncertainties(); // takes effect at the next analysis run
        }
    });
}

void TPaekAnalyserForm::SetCaption(const QString& caption) {
    setWindowTitle(caption);
}

void TPaekAnalyserForm::ShowComment(const QString& comment) {
    CommentEdit->setText(comment);
}

bool TPaekAnalyserForm::BackgroundSubtractionChecked() const {
    return BackgroundSubtractionCheckBox->isChecked();
}

void TPaekAnalyserForm::SetBackgroundSubtractionChecked(bool checked) {
    if (BackgroundSubtractionCheckBox->isChecked() != checked) {
        BackgroundSubtractionCheckBox->setChecked(checked);
        BackgroundSubtractionCheckBoxClick();
    }
}

QString TPaekAnalyserForm::SelectedPort() const {
    return ComPortComboBox->currentIndex() >= 0 ? ComPortComboBox->currentText() : QString();
}

void TPaekAnalyserForm::SetBusy(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

TAnalysisOptions TPaekAnalyserForm::CurrentOptions() const {
    TAnalysisOptions o;
    o.BackgroundSubtraction = BackgroundSubtractionCheckBox->isChecked();
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
    const TUncertaintySettings& settings = Uncertainties ? Uncertainties() : NoSettings;
    Run = ::AnalyseSample(Analysis, CurrentOptions(), settings);
    if (Run.SampleValid) {
        SampleInfoEdit->setText(Run.Description);
        ResultRichEdit->clear();
        for (const TReportLine& line : Run.Lines) {
            AddReportLine(line.Text, line.Colour);
        }
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
    if (BackgroundSubtractionCheckBox->isChecked()) {
        const QString message =
            BackgroundCompatibilityMessage(Analysis.MeasuredSample, Analysis.BackgroundSample);
        if (!message.isEmpty()) {
            Prompts.ShowMessage(message);
        }
    }
    AnalyseSample();
}

void TPaekAnalyserForm::UseAsBackgroundClick() {
    Analysis.BackgroundSample = Analysis.MeasuredSample;
    Analysis.BackgroundOrigin = Analysis.SampleOrigin;
    AnalyseSample();
}

void TPaekAnalyserForm::SpectrumPaintBoxMouseMove(int x) {
    double energy = -1;
    int channel = 0;
    CursorPosition(Analysis.MeasuredSample, SpectrumPaintBox->width(), x, energy, channel);
    if (IsTrue(Analysis.MeasuredSample.Valid)) {
        SpectrumPaintBox->ShowCursorLine(x);
    }
    CursorInfoEdit->setText(CursorReadoutText(Analysis.MeasuredSample, false, energy, channel));
}

void TPaekAnalyserForm::BackgroundPaintBoxMouseMove(int x) {
    double energy = -1;
    int channel = 0;
    CursorPosition(Analysis.BackgroundSample, BackgroundPaintBox->width(), x, energy, channel);
    if (IsTrue(Analysis.BackgroundSample.Valid)) {
        BackgroundPaintBox->ShowCursorLine(x);
    }
    CursorInfoEdit->setText(CursorReadoutText(Analysis.BackgroundSample, true, energy, channel));
}

void TPaekAnalyserForm::CommentEditChange(const QString& text) {
    TextToComment(Analysis.MeasuredSample, text);
}

void TPaekAnalyserForm::ComPortComboBoxDropDown() {
    ComPortComboBox->clear(); // rebuilding clears the selection
    if (PortList) {
        ComPortComboBox->addItems(PortList());
    }
    ComPortComboBox->setCurrentIndex(-1);
}

#include "calibration/forms/EfficiencyForm.h"

#include "plots/EfficiencyPlots.h"
#include "widgets/Controls.h"
#include "widgets/PaintBox.h"
#include "widgets/WindowStyle.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>

#include <exception>

namespace {

constexpr int GridRowHeight = 20;
constexpr int FixedColumns = 2; // name and energy come from the peak list
const QColor FixedCellColour(240, 240, 240);

QLineEdit* MakeCoefficientEdit(QWidget* parent, const char* name, const char* label, int y) {
    MakeLabel(parent, "", QString::fromLatin1(label), QRect(620, y + 3, 40, 17));
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setGeometry(664, y, 120, 21);
    return edit;
}

} // namespace

TEfficiencyForm::TEfficiencyForm(TPrompt& prompt, TPeakListEditor& peakListEditor,
                                 char decimalSeparator, QWidget* parent)
    : QDialog(parent), Prompt(prompt), PeakListEditor(peakListEditor), Cal(decimalSeparator) {
    setObjectName("EfficiencyForm");
    setWindowTitle(QStringLiteral("Efficiency Calibration"));
    ApplyWindowStyle(this);
    setFixedSize(792, 520);
    CreateControls();
}

void TEfficiencyForm::CreateControls() {
    CurvePaintBox = new TPaintBox(this);
    CurvePaintBox->setObjectName("CurvePaintBox");
    CurvePaintBox->setGeometry(8, 8, 600, 320);
    CurvePaintBox->setCursor(Qt::CrossCursor);
    CurvePaintBox->OnPaint = [this](QPainter& p, const QRect& r) {
        DrawEfficiencyCurve(Cal, p, r);
    };

    CalPointStringGrid = new QTableWidget(1, CalGridColumns, this);
    CalPointStringGrid->setObjectName("CalPointStringGrid");
    CalPointStringGrid->setGeometry(8, 336, 600, 176);
    CalPointStringGrid->horizontalHeader()->hide();
    CalPointStringGrid->verticalHeader()->hide();
    CalPointStringGrid->horizontalHeader()->setDefaultSectionSize(116);
    CalPointStringGrid->verticalHeader()->setDefaultSectionSize(GridRowHeight);
    CalPointStringGrid->setWordWrap(false);
    CalPointStringGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    CalPointStringGrid->setEditTriggers(QAbstractItemView::DoubleClicked |
                                        QAbstractItemView::EditKeyPressed |
                                        QAbstractItemView::AnyKeyPressed);

    A1Edit = MakeCoefficientEdit(this, "A1Edit", "A", 8);
    B1Edit = MakeCoefficientEdit(this, "B1Edit", "B", 36);
    EcutEdit = MakeCoefficientEdit(this, "EcutEdit", "Ecut", 64);
    mEdit = MakeCoefficientEdit(this, "mEdit", "m", 92);

    MakeLabel(this, "CursorLabel", QStringLiteral("Cursor"), 620, 128);
    CursorInfoEdit = MakeReadOnlyEdit(this, QString());
    CursorInfoEdit->setObjectName("CursorInfoEdit");
    CursorInfoEdit->setGeometry(620, 146, 164, 21);

    AddButton = MakeButton(this, "AddButton", QStringLiteral("SELECT"), QRect(620, 336, 164, 32));
    CalibrateButton =
        MakeButton(this, "CalibrateButton", QStringLiteral("CALIBRATE"), QRect(620, 376, 164, 32));
    OKButton = MakeButton(this, "OKButton", QStringLiteral("APPLY"), QRect(620, 480, 164, 32));
    QFont bold = OKButton->font();
    bold.setBold(true);
    OKButton->setFont(bold);
    CalibrateButton->setFont(bold);

    // textEdited: only what the user types. The texts the calibrator writes
    // have already gone through its change handling.
    connect(A1Edit, &QLineEdit::textEdited, this, &TEfficiencyForm::A1EditChange);
    connect(B1Edit, &QLineEdit::textEdited, this, &TEfficiencyForm::B1EditChange);
    connect(EcutEdit, &QLineEdit::textEdited, this, &TEfficiencyForm::EcutEditChange);
    connect(mEdit, &QLineEdit::textEdited, this, &TEfficiencyForm::mEditChange);
    connect(AddButton, &QPushButton::clicked, this, &TEfficiencyForm::AddButtonClick);
    connect(CalibrateButton, &QPushButton::clicked, this, &TEfficiencyForm::CalibrateButtonClick);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CalPointStringGrid, &QTableWidget::cellChanged, this,
            &TEfficiencyForm::CalPointStringGridSetEditText);
    connect(CurvePaintBox, &TPaintBox::MouseMoved, this, &TEfficiencyForm::CurvePaintBoxMouseMove);
}

bool TEfficiencyForm::GetEfficiencyCurveFromSpectrum(TSampleFile& sample) {
    Cal.Open(sample);
    QString answer; // the three prompts share one answer text
    if (Cal.IntervalMissing()) {
        Ask(TEfficiencyCalibrator::IntervalPrompt(), answer);
        ShowMessages({Cal.AnswerInterval(answer)});
    }
    if (Cal.WeightMissing()) {
        Ask(TEfficiencyCalibrator::WeightPrompt(), answer);
        ShowMessages({Cal.AnswerWeight(answer)});
    }
    Ask(TEfficiencyCalibrator::ActivityPrompt(), answer);
    ShowMessages({Cal.AnswerActivity(answer)});
    FillPointGrid();
    ShowCoefficients();
    CursorInfoEdit->clear();
    RedrawCurve();
    if (exec() != QDialog::Accepted) {
        return false;
    }
    Cal.ApplyTo(sample);
    return true;
}

void TEfficiencyForm::Ask(const TInputPromptText& prompt, QString& answer) {
    QString value = answer;
    if (Prompt.InputText(prompt.Caption, prompt.Label, value)) {
        answer = value;
    }
}

void TEfficiencyForm::ShowMessages(const QStringList& messages) {
    for (const QString& message : messages) {
        if (!message.isEmpty()) {
            Prompt.ShowMessage(message);
        }
    }
}

// --- Controls from the calibrator ------------------------------------------------

void TEfficiencyForm::FillPointGrid() {
    FillingGrid = true;
    const int rows = static_cast<int>(Cal.GridRows.size());
    CalPointStringGrid->setRowCount(rows + 1);
    const QStringList header = TEfficiencyCalibrator::GridHeader();
    for (int r = 0; r <= rows; ++r) {
        for (int c = 0; c < CalGridColumns; ++c) {
            const bool fixed = r == 0 || c < FixedColumns;
            auto* item = new QTableWidgetItem(r == 0 ? header.value(c) : Cal.GridRows[r - 1][c]);
            item->setFlags(fixed ? Qt::ItemIsEnabled
                                 : Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
            if (fixed) {
                item->setBackground(FixedCellColour);
            }
            CalPointStringGrid->setItem(r, c, item);
        }
    }
    // The first editable cell is current, as in a grid with a fixed header
    // row and fixed name and energy columns.
    if (rows > 0) {
        CalPointStringGrid->setCurrentCell(1, FixedColumns);
    }
    FillingGrid = false;
}

void TEfficiencyForm::ShowCoefficients() {
    const std::array<QLineEdit*, CoefficientEditCount> edits = {A1Edit, B1Edit, EcutEdit, mEdit};
    for (int i = 0; i < CoefficientEditCount; ++i) {
        if (edits[i]->text() != Cal.EditTexts[i]) {
            edits[i]->setText(Cal.EditTexts[i]);
        }
    }
}

void TEfficiencyForm::RedrawCurve() {
    // A repaint of the picture removes the cursor line; the next mouse move
    // draws it again.
    CurvePaintBox->ClearCursor();
    CurvePaintBox->update();
}

// --- Handlers ----------------------------------------------------------------------

void TEfficiencyForm::CoefficientEditChange(TCoefficientEdit edit) {
    const std::array<QLineEdit*, CoefficientEditCount> edits = {A1Edit, B1Edit, EcutEdit, mEdit};
    ShowMessages({Cal.SetEditText(edit, edits[edit]->text())});
    RedrawCurve();
}

void TEfficiencyForm::A1EditChange() {
    CoefficientEditChange(AEdit);
}

void TEfficiencyForm::B1EditChange() {
    CoefficientEditChange(BEdit);
}

void TEfficiencyForm::EcutEditChange() {
    CoefficientEditChange(::EcutEdit); // the enumerator, not the control
}

void TEfficiencyForm::mEditChange() {
    CoefficientEditChange(MEdit);
}

void TEfficiencyForm::AddButtonClick() {
    TPeakList list = Cal.CalSample.PeakList;
    QString origin; // where the editor's list came from does not matter here
    if (PeakListEditor.GetPeakList(list, origin)) {
        Cal.TakeSelectedLines(list);
        FillPointGrid();
    }
    RedrawCurve();
}

void TEfficiencyForm::CalibrateButtonClick() {
    try {
        ShowMessages(Cal.FitEfficiency());
    } catch (const std::exception& e) {
        // The step that failed has written nothing; the edits show the
        // values in force.
        Prompt.ShowMessage(QString::fromUtf8(e.what()));
    }
    ShowCoefficients();
    RedrawCurve();
}

void TEfficiencyForm::CalPointStringGridSetEditText(int row, int column) {
    if (FillingGrid || row < 1) {
        return;
    }
    const QTableWidgetItem* item = CalPointStringGrid->item(row, column);
    Cal.SetCell(row - 1, column, item ? item->text() : QString());
    RedrawCurve();
}

void TEfficiencyForm::CurvePaintBoxMouseMove(int x) {
    CurvePaintBox->ShowCursorLine(x);
    CursorInfoEdit->setText(EfficiencyCursorText(Cal.CalSample.Calibration.RCal, x,
                                                 CurvePaintBox->width(), Cal.DecimalSeparator));
}

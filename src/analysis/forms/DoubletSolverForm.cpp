#include "analysis/forms/DoubletSolverForm.h"
#include "widgets/Controls.h"
#include "widgets/PaintBox.h"
#include "widgets/WindowStyle.h"

#include "plots/Plots.h"

#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPalette>
#include <QPushButton>

#include <functional>

TDoubletSolverForm::TDoubletSolverForm(QWidget* parent) : QDialog(parent) {
    createControls();
}

void TDoubletSolverForm::createControls() {
    setObjectName("DoubletSolverForm");
    setWindowTitle("Doublet Solver");
    setFixedSize(1019, 434);
    ApplyWindowStyle(this);

    Label1 = MakeLabel(this, "Label1", "List of potential doublets", 8, 13);
    Label2 = MakeLabel(this, "Label2", "Results of solved peaks", 190, 13);
    Label3 = MakeLabel(this, "Label3", "Graphic of doublet area", 432, 13);

    DoubletListBox = new QListWidget(this);
    DoubletListBox->setObjectName("DoubletListBox");
    DoubletListBox->setGeometry(9, 32, 172, 349);
    SolvedDoubletsListBox = new QListWidget(this);
    SolvedDoubletsListBox->setObjectName("SolvedDoubletsListBox");
    SolvedDoubletsListBox->setGeometry(185, 32, 241, 349);

    auto* paintBox = new TPaintBox(this);
    paintBox->OnPaint = [this](QPainter& p, const QRect&) { UpdateDoubletView(p); };
    DoubletPaintBox = paintBox;
    DoubletPaintBox->setObjectName("DoubletPaintBox");
    DoubletPaintBox->setGeometry(432, 32, 577, 349);

    OkButton = MakeButton(this, "OkButton", "Use Doublet Solver Results", QRect(835, 390, 176, 36));
    CancelButton =
        MakeButton(this, "CancelButton", "Discard Doublet Solver Results", QRect(5, 390, 176, 36));

    connect(DoubletListBox, &QListWidget::currentRowChanged, this,
            &TDoubletSolverForm::DoubletListBoxClick);
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TDoubletSolverForm::SetDoublets(const QStringList& pairLines, const QStringList& resultLines,
                                     const TDoubletList& pairs, const TSampleFile& sample,
                                     const TDoubletResultList& results) {
    ListOfDoublets = pairs;
    SampleToAnalyse = sample;
    ResultList = results;
    DoubletListBox->clear();
    SolvedDoubletsListBox->clear();
    DoubletListBox->addItems(pairLines);
    SolvedDoubletsListBox->addItems(resultLines);
    if (DoubletListBox->count() > 0) {
        DoubletListBox->setCurrentRow(0);
    }
    DoubletPaintBox->update();
}

bool TDoubletSolverForm::ShowModal() {
    return exec() == QDialog::Accepted;
}

void TDoubletSolverForm::DoubletListBoxClick() {
    DoubletPaintBox->update();
}

void TDoubletSolverForm::UpdateDoubletView(QPainter& painter) {
    const QRect rect(0, 0, DoubletPaintBox->width(), DoubletPaintBox->height());
    const TDoubletPlotChoice choice = ChooseDoubletPlot(
        ListOfDoublets, DoubletListBox->currentRow(), SampleToAnalyse.PeakList, ResultList);
    if (choice.Kind == TDoubletPlotChoice::Plot) {
        DrawDoubletPlot(SampleToAnalyse.Sample.Spectrum, ResultList.Result[choice.Entry], painter,
                        rect);
    } else if (choice.Kind == TDoubletPlotChoice::Message) {
        DrawMessagePlot(painter, rect, "Doublet Peaks could not identified");
    }
}

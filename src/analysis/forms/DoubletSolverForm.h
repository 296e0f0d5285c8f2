// The doublet solver window: the pairs found, the shares of the solved pairs
// and a plot of the selected pair; the user keeps or discards the results.
#pragma once

#include "analysis/DoubletSolver.h"

#include <QDialog>

class QLabel;
class QListWidget;
class QPainter;
class QPushButton;
class QWidget;

class TDoubletSolverForm : public QDialog, public TDoubletView {
    Q_OBJECT

public:
    explicit TDoubletSolverForm(QWidget* parent = nullptr);

    void SetDoublets(const QStringList& pairLines, const QStringList& resultLines,
                     const TDoubletList& pairs, const TSampleFile& sample,
                     const TDoubletResultList& results) override;

    // Shows the window modally; true on "Use Doublet Solver Results".
    bool ShowModal() override;

    // Draws the plot of the selected pair into the paint box's client area.
    void UpdateDoubletView(QPainter& painter);

private slots:
    void DoubletListBoxClick();

private:
    void createControls();

    TDoubletList ListOfDoublets;
    TSampleFile SampleToAnalyse{};
    TDoubletResultList ResultList;

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QListWidget* DoubletListBox = nullptr;
    QListWidget* SolvedDoubletsListBox = nullptr;
    QWidget* DoubletPaintBox = nullptr;
    QPushButton* OkButton = nullptr;
    QPushButton* CancelButton = nullptr;
};

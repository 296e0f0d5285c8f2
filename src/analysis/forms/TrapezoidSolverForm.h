// The selection window of the trapezoid solver: one check box line per peak
// of the peak list; "Apply Selection" hands the checked lines back.
#pragma once

#include "analysis/TrapezoidSolver.h"

#include <QDialog>

class QListWidget;
class QPushButton;

class TTrapezoidSolverForm : public QDialog, public TTrapezoidSelector {
    Q_OBJECT

public:
    explicit TTrapezoidSolverForm(QWidget* parent = nullptr);

    // Refills the list with `lines`, all unchecked, and shows the window
    // modally. Returns true on "Apply Selection", with one flag per line.
    bool SelectPeaks(const QStringList& lines, QList<bool>& checked) override;

private:
    void createControls();

    QListWidget* PeakCheckListBox = nullptr;
    QPushButton* OkButton = nullptr;
    QPushButton* CancelButton = nullptr;
};

#include "analysis/forms/TrapezoidSolverForm.h"
#include "widgets/WindowStyle.h"

#include <QListWidget>
#include <QPalette>
#include <QPushButton>

TTrapezoidSolverForm::TTrapezoidSolverForm(QWidget* parent) : QDialog(parent) {
    createControls();
}

void TTrapezoidSolverForm::createControls() {
    setObjectName("TrapezoidSolverForm");
    setWindowTitle("Trapezoid Solver");
    setFixedSize(202, 284);
    ApplyWindowStyle(this);

    PeakCheckListBox = new QListWidget(this);
    PeakCheckListBox->setObjectName("PeakCheckListBox");
    PeakCheckListBox->setGeometry(8, 8, 184, 226);

    OkButton = new QPushButton("Apply Selection", this);
    OkButton->setObjectName("OkButton");
    OkButton->setGeometry(8, 240, 89, 33);
    CancelButton = new QPushButton("Discard Selection", this);
    CancelButton->setObjectName("CancelButton");
    CancelButton->setGeometry(103, 240, 89, 33);

    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

bool TTrapezoidSolverForm::SelectPeaks(const QStringList& lines, QList<bool>& checked) {
    PeakCheckListBox->clear();
    for (const QString& line : lines) {
        auto* item = new QListWidgetItem(line, PeakCheckListBox);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    if (exec() != QDialog::Accepted) {
        return false;
    }
    checked.clear();
    for (int i = 0; i < PeakCheckListBox->count(); ++i) {
        checked << (PeakCheckListBox->item(i)->checkState() == Qt::Checked);
    }
    return true;
}

#include "calibration/forms/EfficiencyForm.h"

TEfficiencyForm::TEfficiencyForm(QWidget* parent) : QDialog(parent) {
    setObjectName("EfficiencyForm");
    setWindowTitle("Efficiency calibration");
}

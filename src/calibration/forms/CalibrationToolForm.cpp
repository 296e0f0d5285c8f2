#include "calibration/forms/CalibrationToolForm.h"

TCalibrationToolForm::TCalibrationToolForm(QWidget* parent) : QDialog(parent) {
    setObjectName("CalibrationToolForm");
    setWindowTitle("Calibration tool");
}

// The energy and peak-width calibration tool window. Created once at program
// start; its calibration work is not available in this version, so the menu
// command that shows it stays disabled.
#pragma once

#include <QDialog>

class TCalibrationToolForm : public QDialog {
public:
    explicit TCalibrationToolForm(QWidget* parent = nullptr);
};

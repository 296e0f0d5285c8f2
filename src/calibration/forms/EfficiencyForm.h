// The efficiency calibration window. Created once at program start; its
// calibration work is not available in this version, so the menu command
// that shows it stays disabled.
#pragma once

#include <QDialog>

class TEfficiencyForm : public QDialog {
public:
    explicit TEfficiencyForm(QWidget* parent = nullptr);
};

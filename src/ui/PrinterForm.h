// The print dialog. Created once at program start; printing is not available
// in this version, so "Sample" -> "Print protocol" stays disabled.
#pragma once

#include <QDialog>

class TPrinterForm : public QDialog {
public:
    explicit TPrinterForm(QWidget* parent = nullptr);
};

#include "ui/PrinterForm.h"

TPrinterForm::TPrinterForm(QWidget* parent) : QDialog(parent) {
    setObjectName("PrinterForm");
    setWindowTitle("Print");
}

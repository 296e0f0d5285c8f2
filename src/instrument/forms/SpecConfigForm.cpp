#include "instrument/forms/SpecConfigForm.h"
#include "widgets/WindowStyle.h"

#include "core/NumberFormat.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TSpecConfigForm::TSpecConfigForm(TPrompt& prompt, QWidget* parent)
    : QDialog(parent), Prompt(prompt) {
    setWindowTitle(QStringLiteral("Zel-Korda"));
    ApplyWindowStyle(this);
    setFixedSize(250, 140);

    PeakThresholdLabel = new QLabel(QStringLiteral("Peak Threshold [mV]"), this);
    PeakThresholdLabel->setGeometry(16, 16, 130, 16);
    PeakThresholdEdit = new QLineEdit(this);
    PeakThresholdEdit->setObjectName(QStringLiteral("PeakThresholdEdit"));
    PeakThresholdEdit->setGeometry(152, 13, 80, 21);

    TimeToPeakLabel = new QLabel(QString::fromUtf8("Time To Peak [\u00B5s]"), this);
    TimeToPeakLabel->setGeometry(16, 44, 130, 16);
    TimeToPeakEdit = new QLineEdit(this);
    TimeToPeakEdit->setObjectName(QStringLiteral("TimeToPeakEdit"));
    TimeToPeakEdit->setGeometry(152, 41, 80, 21);

    SubtractBackgroundCheckBox =
        new QCheckBox(QStringLiteral("Subtract background spectrum "), this);
    SubtractBackgroundCheckBox->setObjectName(QStringLiteral("SubtractBackgroundCheckBox"));
    SubtractBackgroundCheckBox->setGeometry(16, 72, 216, 17);

    PeakListComboBox = new QComboBox(this);
    PeakListComboBox->setObjectName(QStringLiteral("PeakListComboBox"));
    PeakListComboBox->setGeometry(16, 96, 120, 21);
    PeakListComboBox->hide();

    DetectionLimitEdit = new QLineEdit(QStringLiteral("DetectionLimitEdit"), this);
    DetectionLimitEdit->setObjectName(QStringLiteral("DetectionLimitEdit"));
    DetectionLimitEdit->setGeometry(140, 96, 80, 21);
    DetectionLimitEdit->hide();

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(88, 104, 75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

bool TSpecConfigForm::SpectrometerConfig(const TPeakList& peakList, TSpecConfig& config) {
    return RunSpecConfigDialog(*this, Prompt, peakList, config, Fields, LocaleDecimalSeparator());
}

bool TSpecConfigForm::Execute(TSpecConfigFields& fields) {
    PeakThresholdEdit->setText(fields.PeakThreshold);
    TimeToPeakEdit->setText(fields.TimeToPeak);
    SubtractBackgroundCheckBox->setChecked(fields.SubtractBackground);
    PeakListComboBox->clear();
    PeakListComboBox->addItems(fields.PeakItems);
    PeakListComboBox->setCurrentIndex(fields.PeakIndex);
    PeakThresholdEdit->setFocus();
    const bool confirmed = exec() == QDialog::Accepted;
    fields.PeakThreshold = PeakThresholdEdit->text();
    fields.TimeToPeak = TimeToPeakEdit->text();
    fields.SubtractBackground = SubtractBackgroundCheckBox->isChecked();
    fields.PeakIndex = PeakListComboBox->currentIndex();
    fields.DetectionLimit = DetectionLimitEdit->text();
    return confirmed;
}

// The spectrometer configuration dialog: peak threshold, time to peak and
// the background subtraction flag of the instrument. The peak list box and
// the detection limit edit are hidden. The rules that turn its texts into a
// configuration live in instrument/SpecConfig.
#pragma once

#include "core/Prompt.h"
#include "instrument/SpecConfig.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TSpecConfigForm : public QDialog, public TSpecConfigView, public TSpecConfigEditor {
    Q_OBJECT
public:
    // `prompt` shows the dialog's "Invalid input values" message.
    explicit TSpecConfigForm(TPrompt& prompt, QWidget* parent = nullptr);

    // Shows the dialog modally for a configuration and the instrument's peak
    // list; true when `config` now holds values to send.
    bool SpectrometerConfig(const TPeakList& peakList, TSpecConfig& config) override;

    // Fills the controls from `fields`, runs the dialog, and reads them back.
    bool Execute(TSpecConfigFields& fields) override;

    QLabel* PeakThresholdLabel = nullptr;
    QLineEdit* PeakThresholdEdit = nullptr;
    QLabel* TimeToPeakLabel = nullptr;
    QLineEdit* TimeToPeakEdit = nullptr;
    QCheckBox* SubtractBackgroundCheckBox = nullptr;
    QComboBox* PeakListComboBox = nullptr;
    QLineEdit* DetectionLimitEdit = nullptr;
    QPushButton* OKButton = nullptr;

private:
    TPrompt& Prompt;
    TSpecConfigFields Fields;
};

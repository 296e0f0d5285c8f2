// The rules of the spectrometer configuration dialog, apart from its widgets.
//
// The dialog shows a TSpecConfig and the instrument's peak list as texts,
// and turns the confirmed texts back into a configuration. The window
// (TSpecConfigForm) only moves these fields in and out of its controls.
#pragma once

#include "core/Prompt.h"
#include "core/sample_types.h"

#include <QString>
#include <QStringList>

// What the dialog's controls hold.
struct TSpecConfigFields {
    QString PeakThreshold;           // PeakThresholdEdit
    QString TimeToPeak;              // TimeToPeakEdit
    bool SubtractBackground = false; // SubtractBackgroundCheckBox
    QStringList PeakItems;           // PeakListComboBox (hidden)
    int PeakIndex = -1;              // its selected entry, -1 for none
    QString DetectionLimit = QStringLiteral("DetectionLimitEdit"); // hidden edit, never changed
};

// The modal dialog itself: shows `fields`, lets the user edit them, and
// returns true only when it was closed through its OK button.
class TSpecConfigView {
public:
    virtual ~TSpecConfigView() = default;
    virtual bool Execute(TSpecConfigFields& fields) = 0;
};

// Edits a configuration for the instrument; true when `config` now holds
// values to send. Implemented by the configuration window.
class TSpecConfigEditor {
public:
    virtual ~TSpecConfigEditor() = default;
    virtual bool SpectrometerConfig(const TPeakList& peakList, TSpecConfig& config) = 0;
};

// A peak's entry in the list: name, ", ", energy and "keV" ("Cs137, 662keV").
QString SpecConfigPeakItem(const TPeakEntry& peak);

// Fills the fields from a configuration: threshold and time to peak in the
// shortest general form, the check box from bit 0 of Mode, one item per peak
// of the list, the selection PeakIndexDL when it indexes an item, else none.
// DetectionLimit is left as it is.
void FillSpecConfigFields(const TSpecConfig& config, const TPeakList& peakList,
                          char decimalSeparator, TSpecConfigFields& fields);

// Reads confirmed fields into `config`: the threshold is the whole number
// typed (anything else, also a number with decimals, reads as 0), the time
// to peak the whole number's low 16 bits, RequestedDL the detection limit
// text or 100 when it is no number, bit 0 of Mode the check box (other bits
// kept), PeakIndexDL the selection. Returns false and leaves `config`
// unchanged when the threshold or the time to peak reads as 0.
bool ReadSpecConfigFields(const TSpecConfigFields& fields, char decimalSeparator,
                          TSpecConfig& config);

// The whole dialog: fill, show, read back. Not confirmed: false, `config`
// unchanged. Invalid input: the message "Invalid input values", false,
// `config` unchanged.
bool RunSpecConfigDialog(TSpecConfigView& view, TPrompt& prompt, const TPeakList& peakList,
                         TSpecConfig& config, TSpecConfigFields& fields, char decimalSeparator);

// The modal dialog "Define uncertainties": four edits for the laboratory's
// uncertainty figures and the button that saves them. The one instance of
// the program holds the figures in force for the whole run; program start
// calls LoadUncertainties() once, right after creating it.
#pragma once

#include "analysis/UncertaintySettings.h"
#include "core/Prompt.h"

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

class TUncertaintiesForm : public QDialog {
    Q_OBJECT

public:
    // `filePath` is the settings file, resolved against the working directory
    // at each load and save.
    explicit TUncertaintiesForm(TPrompt& prompt, QWidget* parent = nullptr,
                                const QString& filePath = UncertaintyFileName);
    // The same, editing `settings` (the workstation session's) instead of
    // figures of its own.
    TUncertaintiesForm(TPrompt& prompt, TUncertaintySettings& settings, QWidget* parent = nullptr,
                       const QString& filePath = UncertaintyFileName);

    // Reads the settings file; shows the "No valid uncertainty settings
    // found! ..." message when it cannot be opened, or the input/output error
    // when it is short. Returns whether the settings are now valid.
    bool LoadUncertainties();

    // Shows the dialog modally with the figures in force (empty edits without
    // valid settings). Returns true when it was closed through the Save
    // button; the settings are then valid unless they were not valid before
    // and the user declined to overwrite the file (no figures were taken).
    bool EditUncertainties();

    const TUncertaintySettings& Settings() const { return FSettings; }

    // The steps of EditUncertainties around the modal loop, so that a test
    // can drive the dialog without exec(): PrepareFields() fills the edits,
    // FinishEditing() takes the dialog's result.
    void PrepareFields();
    bool FinishEditing(int dialogResult);

private slots:
    void SaveButtonClick();

private:
    void createControls();
    void StoreFieldValues();

    TPrompt& FPrompt;
    QString FFilePath;
    TUncertaintySettings FOwnSettings;
    TUncertaintySettings& FSettings;
    bool FFieldsTaken = false; // the Save button took the edits' figures

    QLineEdit* uScaleEdit = nullptr;
    QLineEdit* uEfficiencyEdit = nullptr;
    QLineEdit* uCurveEdit = nullptr;
    QLineEdit* uFactorEdit = nullptr;
    QPushButton* SaveButton = nullptr;
};

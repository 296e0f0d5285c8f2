#include "analysis/forms/UncertaintiesForm.h"
#include "widgets/WindowStyle.h"

#include "core/NumberFormat.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>

namespace {

constexpr int ClientWidth = 330;
constexpr int ClientHeight = 230;
constexpr int RowHeight = 44;

} // namespace

TUncertaintiesForm::TUncertaintiesForm(TPrompt& prompt, QWidget* parent, const QString& filePath)
    : QDialog(parent), FPrompt(prompt), FFilePath(filePath), FSettings(FOwnSettings) {
    createControls();
}

TUncertaintiesForm::TUncertaintiesForm(TPrompt& prompt, TUncertaintySettings& settings,
                                       QWidget* parent, const QString& filePath)
    : QDialog(parent), FPrompt(prompt), FFilePath(filePath), FSettings(settings) {
    createControls();
}

void TUncertaintiesForm::createControls() {
    setWindowTitle("Define uncertainties");
    setFixedSize(ClientWidth, ClientHeight);
    ApplyWindowStyle(this);

    const auto addRow = [this](int row, const char* caption, const char* name) {
        auto* label = new QLabel(caption, this);
        label->setGeometry(12, 8 + row * RowHeight, ClientWidth - 24, 16);
        auto* edit = new QLineEdit(this);
        edit->setObjectName(name);
        edit->setGeometry(12, 24 + row * RowHeight, 100, 21);
        label->setBuddy(edit);
        return edit;
    };
    uScaleEdit = addRow(0, "Rel. Standard Uncertainty Scale [%]", "uScaleEdit");
    uEfficiencyEdit =
        addRow(1, "Rel- Standard Uncertainty Efficiency Calibration [%]", "uEfficiencyEdit");
    uCurveEdit = addRow(2, "Maximum Efficiency Curve Deviation [%]", "uCurveEdit");
    uFactorEdit = addRow(3, "Uncertainty Extention Factor", "uFactorEdit");

    SaveButton = new QPushButton("Save Uncertainties", this);
    SaveButton->setObjectName("SaveButton");
    SaveButton->setGeometry((ClientWidth - 130) / 2, ClientHeight - 37, 130, 25);
    SaveButton->setDefault(true);
    connect(SaveButton, &QPushButton::clicked, this, &TUncertaintiesForm::SaveButtonClick);
}

bool TUncertaintiesForm::LoadUncertainties() {
    QString error;
    switch (LoadUncertaintySettings(FSettings, error, FFilePath)) {
    case TUncertaintyLoadStatus::Loaded:
        return true;
    case TUncertaintyLoadStatus::NotFound:
        FPrompt.ShowMessage(NoUncertaintySettingsMessage);
        return false;
    case TUncertaintyLoadStatus::ReadError:
        FPrompt.ShowMessage(error);
        return false;
    }
    return false;
}

void TUncertaintiesForm::PrepareFields() {
    if (FSettings.UncertaintySetupValid) {
        const TUncertaintyTexts texts =
            UncertaintiesToTexts(FSettings.UncertaintySetup, LocaleDecimalSeparator());
        uScaleEdit->setText(texts.Scale);
        uEfficiencyEdit->setText(texts.Efficiency);
        uCurveEdit->setText(texts.Curve);
        uFactorEdit->setText(texts.Factor);
    } else {
        uScaleEdit->clear();
        uEfficiencyEdit->clear();
        uCurveEdit->clear();
        uFactorEdit->clear();
    }
}

bool TUncertaintiesForm::FinishEditing(int dialogResult) {
    const bool taken = FFieldsTaken;
    FFieldsTaken = false;
    if (dialogResult != QDialog::Accepted) {
        return false;
    }
    // A declined overwrite takes no figures: settings that were not valid
    // must not become valid as all zeros.
    if (taken) {
        FSettings.UncertaintySetupValid = true;
    }
    return true;
}

bool TUncertaintiesForm::EditUncertainties() {
    FFieldsTaken = false;
    PrepareFields();
    return FinishEditing(exec());
}

void TUncertaintiesForm::StoreFieldValues() {
    const TUncertaintyTexts texts{uScaleEdit->text(), uEfficiencyEdit->text(), uCurveEdit->text(),
                                  uFactorEdit->text()};
    FSettings.UncertaintySetup = TextsToUncertainties(texts, LocaleDecimalSeparator());
    FFieldsTaken = true;
}

void TUncertaintiesForm::SaveButtonClick() {
    // The Save button closes the dialog with its OK result on every path.
    const auto save = [this]() {
        if (QFile::exists(FFilePath) &&
            !FPrompt.Confirm("Uncertainty settings", "Overwrite previous settings?")) {
            return;
        }
        StoreFieldValues();
        if (HasZeroUncertainty(FSettings.UncertaintySetup) &&
            !FPrompt.Confirm("Attention!", "One or more values zero or invalid! Continue?")) {
            return;
        }
        QString error;
        if (!SaveUncertaintySettings(FSettings.UncertaintySetup, error, FFilePath)) {
            FPrompt.ShowMessage(error);
        }
    };
    save();
    accept();
}

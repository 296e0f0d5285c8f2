// The efficiency calibration window: the efficiency curve with the
// calibration points and their deviations, the grid of calibration lines,
// the four coefficient edits, the cursor readout, SELECT, CALIBRATE and
// APPLY.
//
// The window is created once at program start and holds one
// TEfficiencyCalibrator, which every opening refills. Each handler passes
// its control's text to the calibrator, shows the messages it returns
// through the prompt and redraws the curve; a fit error raised by CALIBRATE
// is shown through the prompt and the window stays usable.
#pragma once

#include "calibration/EfficiencyCalibration.h"
#include "core/NumberFormat.h"
#include "core/Prompt.h"
#include "library/PeakListEditor.h"

#include <QDialog>

#include <array>

class QLineEdit;
class QPushButton;
class QTableWidget;
class TPaintBox;

// The efficiency calibration as the main window's command sees it.
class TEfficiencyEditor {
public:
    virtual ~TEfficiencyEditor() = default;
    // Asks for a missing interval and weight and for the reference activity,
    // takes the lines of `sample` with a positive area as calibration lines
    // and shows the window modally. True when the user applied the
    // calibration: `sample` is then the working sample (calibration lines as
    // peak list and results, corrected interval and weight, the efficiency
    // curve in force). False when the window was closed otherwise; `sample`
    // is then unchanged.
    virtual bool GetEfficiencyCurveFromSpectrum(TSampleFile& sample) = 0;
};

class TEfficiencyForm : public QDialog, public TEfficiencyEditor {
    Q_OBJECT

public:
    // `peakListEditor` chooses the calibration lines for SELECT.
    TEfficiencyForm(TPrompt& prompt, TPeakListEditor& peakListEditor,
                    char decimalSeparator = LocaleDecimalSeparator(), QWidget* parent = nullptr);

    bool GetEfficiencyCurveFromSpectrum(TSampleFile& sample) override;

    const TEfficiencyCalibrator& Calibrator() const { return Cal; }

private slots:
    void A1EditChange();
    void B1EditChange();
    void EcutEditChange();
    void mEditChange();
    void AddButtonClick();
    void CalibrateButtonClick();
    void CalPointStringGridSetEditText(int row, int column);
    void CurvePaintBoxMouseMove(int x);

private:
    void CreateControls();
    // Asks one of the opening prompts with the shared answer text; a cancel
    // keeps the text shown.
    void Ask(const TInputPromptText& prompt, QString& answer);
    void ShowMessages(const QStringList& messages);
    void CoefficientEditChange(TCoefficientEdit edit);
    // The controls from the calibrator: the grid, the edit texts, the curve.
    void FillPointGrid();
    void ShowCoefficients();
    // Repaints the curve; the cursor line goes with the old picture.
    void RedrawCurve();

    TPrompt& Prompt;
    TPeakListEditor& PeakListEditor;
    TEfficiencyCalibrator Cal;
    bool FillingGrid = false;

    TPaintBox* CurvePaintBox = nullptr;
    QTableWidget* CalPointStringGrid = nullptr;
    QLineEdit* A1Edit = nullptr;
    QLineEdit* B1Edit = nullptr;
    QLineEdit* EcutEdit = nullptr;
    QLineEdit* mEdit = nullptr;
    QLineEdit* CursorInfoEdit = nullptr;
    QPushButton* AddButton = nullptr;
    QPushButton* CalibrateButton = nullptr;
    QPushButton* OKButton = nullptr;
};

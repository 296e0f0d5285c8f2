// The energy and peak-width calibration tool window: the spectrum view with
// its region of interest (ROI) and ROI buttons, the peak view with the
// located peak, the candidate lines, the calibration points, the results memo,
// the regression view and OK.
//
// The window is created once at program start and keeps its TCalibrationTool
// (spectrum, ROI, candidate lines, points, fits) from one opening to the next.
// Each handler reads its control, calls the tool, and refills the controls
// and redraws the views from the tool's fields. A numerical or conversion
// error raised in a handler (a singular fit, a bad spectrum text file) is
// shown through the prompt; the handler ends there and the window stays
// usable.
//
// Its texts are translated in the context "TCalibrationToolForm"; without a
// translation they read as the window has always shown them.
#pragma once

#include "calibration/CalibrationTool.h"
#include "core/NumberFormat.h"
#include "core/Prompt.h"

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QCoreApplication;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class TPaintBox;

// The calibration tool as the main window's command sees it.
class TSampleCalibrator {
public:
    virtual ~TSampleCalibrator() = default;
    // Shows the tool modally on the spectrum and peak list of `sample`. True
    // when the user confirmed with OK: the sample's energy and peak-width
    // calibration have then been replaced by the tool's fits. False when the
    // window was closed otherwise; the sample is then unchanged.
    virtual bool CalibrateSample(TSampleFile& sample) = 0;
};

class TCalibrationToolForm : public QDialog, public TSampleCalibrator {
    Q_OBJECT

public:
    explicit TCalibrationToolForm(TPrompt& prompt, char decimalSeparator = LocaleDecimalSeparator(),
                                  QWidget* parent = nullptr);

    // Loads the sample's spectrum and its peak list as candidate lines,
    // writes its present calibration into the memo and shows the window
    // modally; on OK applies the fits to `sample`.
    bool CalibrateSample(TSampleFile& sample) override;

    const TCalibrationTool& Tool() const { return CalTool; }
    // The point selected in the points grid (0 is the first point), -1 when
    // none is.
    int SelectedPoint() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void OpenSpectrumButtonClick();
    void LinLogCheckBoxClick();
    void RoiShiftLeftButtonClick();
    void RoiShiftRightButtonClick();
    void BiggerRoiButtonClick();
    void SmallerRoiButtonClick();
    void OpenLibButtonClick();
    void LibListBoxDblClick();
    void CalPointsStringGridClick();
    void CalPointsStringGridDblClick();
    void ClearCalPointsButtonClick();
    void ApplyButtonClick();

private:
    void CreateControls();
    void SpectrumPaintBoxMouseDown(Qt::MouseButton button, int x);
    // Runs a handler's call into the tool; an error it raises is shown through
    // the prompt. The controls follow the tool's fields afterwards either way.
    template <typename F> void RunHandler(F call);
    void ShowCandidates();
    void ShowPoints();
    void ShowState();

    TPrompt& Prompt;
    TCalibrationTool CalTool;

    QPushButton* OpenSpectrumButton = nullptr;
    QPushButton* OpenLibButton = nullptr;
    QPushButton* ClearCalPointsButton = nullptr;
    QPushButton* ApplyButton = nullptr;
    QCheckBox* LinLogCheckBox = nullptr;
    QPushButton* RoiShiftLeftButton = nullptr;
    QPushButton* RoiShiftRightButton = nullptr;
    QPushButton* BiggerRoiButton = nullptr;
    QPushButton* SmallerRoiButton = nullptr;
    TPaintBox* SpectrumPaintBox = nullptr;
    TPaintBox* PeakPaintBox = nullptr;
    TPaintBox* RegressionPaintBox = nullptr;
    QLineEdit* PeakPositionEdit = nullptr;
    QLineEdit* PeakWidthEdit = nullptr;
    QLineEdit* FWHMEdit = nullptr;
    QListWidget* LibListBox = nullptr;
    QTableWidget* CalPointsStringGrid = nullptr;
    QPlainTextEdit* ResultsMemo = nullptr;
};

// The resource path of the compiled catalogue of the program's German texts.
inline constexpr const char* GermanCatalogue = ":/translations/zkworks_de.qm";

// Installs the German catalogue into `app` when the first of `uiLanguages`
// (the user's interface languages, most preferred first, as
// QLocale::uiLanguages() reports them) is German. Returns whether it did; any
// other language leaves the texts untranslated.
bool InstallTranslation(QCoreApplication& app, const QStringList& uiLanguages);

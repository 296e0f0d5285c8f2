// The main window: three plot areas, the peak selection list, the coloured
// report, the origins list, the sample description and cursor readouts, the
// comment line and the menus. It owns the workstation session (the analysis
// state for the whole run). Each command handler asks its questions, calls
// the session's operation and shows its result; the paint events draw the
// last analysis run.
#pragma once

#include "analysis/AnalysisRun.h"
#include "core/Prompt.h"
#include "workstation/Workstation.h"

#include <QComboBox>
#include <QMainWindow>

#include <functional>

class QAction;
class QCheckBox;
class QLineEdit;
class QListWidget;
class QTextEdit;
class TPaintBox;

// A drop-down list that tells before it drops down, so the port list can be
// rebuilt each time.
class TPortComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void showPopup() override;
signals:
    void DropDown();
};

class TPeakListEditor;
class TPrinterForm;
class TEfficiencyEditor;
class TSampleCalibrator;
class TSpecConfigEditor;

class TPaekAnalyserForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TPaekAnalyserForm(TPrompt& prompt, TInstrumentLink link = TInstrumentLink(),
                               QWidget* parent = nullptr);
    ~TPaekAnalyserForm() override;

    TWorkstation& Workstation() { return Session; }
    TAnalysisState& State() { return Session.State; }
    TPrompt& Prompt() { return Prompts; }

    // Shows an operation's result: checks "Background Subtraction" when the
    // operation did, shows its messages, sets caption and comment, and
    // refreshes the peak selection or runs the analysis.
    void ShowResult(const TCommandResult& result);

    // Refills the peak selection list from `peakList`, selects its first entry
    // and runs the analysis.
    void RefreshPeakSelection(const TPeakList& peakList);
    // Runs the analysis on the current state and shows its result.
    void AnalyseSample();
    // The name of the selected serial port; empty when none is selected.
    QString SelectedPort() const;

    // Command handlers: ask, call the operation, show its result.
    void OpenClick();
    void SaveClick();
    void ImportClick();
    void ExportClick();
    void OpenEWCalClick();
    void SaveEWcalClick();
    void OpenRCalClick();
    void SaveRCalClick();
    void UseAsBackgroundClick();
    void PeakListClick(TPeakListEditor& editor);
    void ReadSampleClick();
    void ReadbackgroundsampleClick();
    void ReadMemoryClick(TDownloadProgress& progress);
    void ClearMemoryClick();
    void ResetSampleIDClick();
    void SpectrometerConfigurationClick(TSpecConfigEditor& editor);
    void About1Click();
    void TransmitPeakListClick();
    void TransmitCalibrationClick();
    void TransmitEfficiencyClick();
    void SolveDoubletClick(TDoubletView& view);
    void TrapezoidClick(TTrapezoidSelector& selector);
    // The calibration tool on a copy of the measured sample, then the
    // operation that takes its result.
    void EW_CalibrationClick(TSampleCalibrator& tool);
    // The efficiency calibration on a copy of the measured sample, then the
    // operation that takes its result.
    void R_CalibrationClick(TEfficiencyEditor& calibrator);
    // "Sample" -> "Print protocol": hands the print dialog a job of the
    // working copy (background subtracted as the analysis does), both solver
    // results and the file-name part of the caption as title.
    void PrintprotocolClick(TPrinterForm& printer);
    void DefineAnalysisClick();
    void UseAnalysisClick(TDoubletView* view);

    // The "Define uncertainties" dialog, which edits Workstation().Uncertainties.
    void SetUncertaintyEditor(std::function<void()> edit);

    // Binds a menu command to its handler and enables it. `path` is the
    // captions from the menu bar down, e.g. {"Library", "Edit"}. An exception
    // that the handler lets through (a numerical or conversion error) ends the
    // command with its message; the program carries on.
    void BindCommand(const QStringList& path, std::function<void()> handler);
    QAction* MenuAction(const QStringList& path) const;
    // Runs a command handler; an exception it lets through ends the command
    // with its message shown.
    void RunCommand(const std::function<void()>& handler);

    // Fills the port box (called before it drops down).
    void SetPortListProvider(std::function<QStringList()> provider) { PortList = provider; }

    const TAnalysisRun& LastRun() const { return Run; }

    // Controls, by their names, for the tests and for other subjects' windows.
    TPortComboBox* ComPortComboBox;
    QLineEdit* SampleInfoEdit;
    QLineEdit* CursorInfoEdit;
    QCheckBox* BackgroundSubtractionCheckBox;
    QCheckBox* LogViewCheckBox;
    QCheckBox* DetailedResultsCheckBox;
    TPaintBox* SpectrumPaintBox;
    TPaintBox* BackgroundPaintBox;
    TPaintBox* RoiPaintBox;
    QListWidget* PeakSelectionListBox;
    QTextEdit* ResultRichEdit;
    QListWidget* OriginsListBox;
    QLineEdit* CommentEdit;

private slots:
    void BackgroundSubtractionCheckBoxClick();
    void SpectrumPaintBoxMouseMove(int x);
    void BackgroundPaintBoxMouseMove(int x);
    void CommentEditChange(const QString& text);
    void ComPortComboBoxDropDown();

private:
    void CreateControls();
    void CreateMenus();
    void AddReportLine(const QString& text, TReportColour colour);
    TAnalysisOptions CurrentOptions() const;

    void SetBusy(bool busy);

    TPrompt& Prompts;
    TWorkstation Session;
    TAnalysisRun Run;
    std::function<void()> EditUncertainties;
    std::function<QStringList()> PortList;
    bool Refilling = false;
};

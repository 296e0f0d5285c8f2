// The main window: three plot areas, the peak selection list, the coloured
// report, the origins list, the sample description and cursor readouts, the
// comment line and the menus. It owns the analysis state for the whole run;
// its handlers change that state through the commands of each subject and
// re-run the analysis, whose last result the paint events draw.
#pragma once

#include "analysis/AnalysisRun.h"
#include "core/CommandHost.h"

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

class TPaekAnalyserForm : public QMainWindow, public TCommandHost {
    Q_OBJECT
public:
    explicit TPaekAnalyserForm(TPrompt& prompt, QWidget* parent = nullptr);
    ~TPaekAnalyserForm() override;

    // TCommandHost
    TAnalysisState& State() override { return Analysis; }
    TPrompt& Prompt() override { return Prompts; }
    void SetCaption(const QString& caption) override;
    void ShowComment(const QString& comment) override;
    bool BackgroundSubtractionChecked() const override;
    void SetBackgroundSubtractionChecked(bool checked) override;
    void RefreshPeakSelection(const TPeakList& peakList) override;
    void AnalyseSample() override;
    QString SelectedPort() const override;
    void SetBusy(bool busy) override;

    // The uncertainty settings in force and the "Define uncertainties" dialog.
    void SetUncertaintySource(std::function<const TUncertaintySettings&()> settings,
                              std::function<void()> edit);

    // Binds a menu command of another subject to its handler and enables it.
    // `path` is the captions from the menu bar down, e.g. {"Library", "Edit"}.
    void BindCommand(const QStringList& path, std::function<void()> handler);
    QAction* MenuAction(const QStringList& path) const;

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
    void UseAsBackgroundClick();
    void SpectrumPaintBoxMouseMove(int x);
    void BackgroundPaintBoxMouseMove(int x);
    void CommentEditChange(const QString& text);
    void ComPortComboBoxDropDown();

private:
    void CreateControls();
    void CreateMenus();
    void AddReportLine(const QString& text, TReportColour colour);
    TAnalysisOptions CurrentOptions() const;

    TPrompt& Prompts;
    TAnalysisState Analysis;
    TAnalysisRun Run;
    TUncertaintySettings NoSettings;
    std::function<const TUncertaintySettings&()> Uncertainties;
    std::function<void()> EditUncertainties;
    std::function<QStringList()> PortList;
    bool Refilling = false;
};

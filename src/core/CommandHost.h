// What a menu command needs from the main window besides the analysis state.
//
// Commands of every subject (files, instrument, library, solvers) are free
// functions taking a TCommandHost&: the main window implements it, the
// command-line tool and the tests implement it without any window.
#pragma once

#include "core/Prompt.h"
#include "core/sample_types.h"

#include <QString>

class TCommandHost {
public:
    virtual ~TCommandHost() = default;

    virtual TAnalysisState& State() = 0;
    virtual TPrompt& Prompt() = 0;

    // The main window's caption.
    virtual void SetCaption(const QString& caption) = 0;

    // Shows a comment text in the comment edit (without changing the sample).
    virtual void ShowComment(const QString& comment) = 0;

    // "Background Subtraction" check box. Setting it runs its click handling
    // (compatibility messages and a new analysis run) when the state changes.
    virtual bool BackgroundSubtractionChecked() const = 0;
    virtual void SetBackgroundSubtractionChecked(bool checked) = 0;

    // Refills the peak selection list from `peakList`, selects its first entry
    // and runs the analysis.
    virtual void RefreshPeakSelection(const TPeakList& peakList) = 0;

    // Runs the analysis on the current state and shows its result.
    virtual void AnalyseSample() = 0;

    // The name of the selected serial port; empty when none is selected.
    virtual QString SelectedPort() const = 0;

    // Shows or hides a busy cursor while blocking exchanges run.
    virtual void SetBusy(bool busy) { (void)busy; }
};

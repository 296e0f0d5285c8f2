// Program start: the windows of the program, created once in a fixed order
// and living to the end, and the binding of every menu command to its
// handler.
#pragma once

#include "core/Prompt.h"
#include "instrument/SerialPort.h"

#include <QStringList>

#include <memory>

class TPaekAnalyserForm;
class TLibraryForm;
class TEfficiencyForm;
class TDownloadStatusForm;
class TSpecConfigForm;
class TPrinterForm;
class TCalibrationToolForm;
class TDoubletSolverForm;
class TTrapezoidSolverForm;
class TUncertaintiesForm;

struct TProgramWindows {
    explicit TProgramWindows(TPrompt& prompt);
    ~TProgramWindows();

    TPrompt& Prompt;
    // The main window owns the others (they are its child dialogs).
    std::unique_ptr<TPaekAnalyserForm> Main;
    TLibraryForm* Library = nullptr;
    TEfficiencyForm* Efficiency = nullptr;
    TDownloadStatusForm* DownloadStatus = nullptr;
    TSpecConfigForm* SpecConfig = nullptr;
    TPrinterForm* Printer = nullptr;
    TCalibrationToolForm* CalibrationTool = nullptr;
    TDoubletSolverForm* DoubletSolver = nullptr;
    TTrapezoidSolverForm* TrapezoidSolver = nullptr;
    TUncertaintiesForm* Uncertainties = nullptr;
    QStringList CreationOrder; // class names, in the order created
};

// Creates the ten windows in their order (the uncertainty settings are loaded
// when their dialog is created) and binds the menu commands.
std::unique_ptr<TProgramWindows> CreateProgramWindows(TPrompt& prompt,
                                                      TInstrumentLink link = TInstrumentLink());

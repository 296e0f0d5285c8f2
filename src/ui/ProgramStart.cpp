#include "ui/ProgramStart.h"

#include "analysis/forms/DoubletSolverForm.h"
#include "analysis/forms/TrapezoidSolverForm.h"
#include "analysis/forms/UncertaintiesForm.h"
#include "calibration/forms/CalibrationToolForm.h"
#include "calibration/forms/EfficiencyForm.h"
#include "instrument/InstrumentOperations.h"
#include "instrument/forms/DownloadStatusForm.h"
#include "instrument/forms/SpecConfigForm.h"
#include "library/PeakListEditor.h"
#include "library/forms/LibraryForm.h"
#include "ui/PaekAnalyserForm.h"
#include "ui/PrinterForm.h"
#include "ui/WindowFonts.h"

namespace {

// Binds the menu commands whose handlers need the other windows.
void BindCommands(TProgramWindows& w) {
    TPaekAnalyserForm& main = *w.Main;
    const TInstrumentLink& link = main.Workstation().Link();

    main.SetUncertaintyEditor([u = w.Uncertainties] { u->EditUncertainties(); });
    main.SetPortListProvider([&link] { return ComPortComboBoxDropDown(link); });

    main.BindCommand({"Library", "Edit"}, [&main, lib = w.Library] { main.PeakListClick(*lib); });
    main.BindCommand({"Zel-Korda", "Read Memory"},
                     [&main, p = w.DownloadStatus] { main.ReadMemoryClick(*p); });
    main.BindCommand({"Zel-Korda", "Spectrometer Configuration"},
                     [&main, c = w.SpecConfig] { main.SpectrometerConfigurationClick(*c); });
    main.BindCommand({"Calibration", "Energy / Peak Width", "Calibrate"},
                     [&main, c = w.CalibrationTool] { main.EW_CalibrationClick(*c); });
    main.BindCommand({"Calibration", "Efficiency", "Calibrate"},
                     [&main, e = w.Efficiency] { main.R_CalibrationClick(*e); });
    main.BindCommand({"Sample", "Print protocol"},
                     [&main, p = w.Printer] { main.PrintprotocolClick(*p); });
    main.BindCommand({"Tools", "Solve Doublet"},
                     [&main, d = w.DoubletSolver] { main.SolveDoubletClick(*d); });
    main.BindCommand({"Tools", "Trapezoid"},
                     [&main, t = w.TrapezoidSolver] { main.TrapezoidClick(*t); });
    main.BindCommand({"Tools", "Use clipped analysis setup"},
                     [&main, d = w.DoubletSolver] { main.UseAnalysisClick(d); });
}

} // namespace

TProgramWindows::TProgramWindows(TPrompt& prompt) : Prompt(prompt) {}

TProgramWindows::~TProgramWindows() = default;

std::unique_ptr<TProgramWindows> CreateProgramWindows(TPrompt& prompt, TInstrumentLink link) {
    LoadWindowFonts();
    auto w = std::make_unique<TProgramWindows>(prompt);
    w->Main = std::make_unique<TPaekAnalyserForm>(prompt, std::move(link));
    QWidget* parent = w->Main.get();
    w->CreationOrder << "TPaekAnalyserForm";
    w->Library = new TLibraryForm(prompt, LocaleDecimalSeparator(), parent);
    w->CreationOrder << "TLibraryForm";
    w->Efficiency = new TEfficiencyForm(prompt, *w->Library, LocaleDecimalSeparator(), parent);
    w->CreationOrder << "TEfficiencyForm";
    w->DownloadStatus = new TDownloadStatusForm(parent);
    w->CreationOrder << "TDownloadStatusForm";
    w->SpecConfig = new TSpecConfigForm(prompt, parent);
    w->CreationOrder << "TSpecConfigForm";
    w->Printer = new TPrinterForm(prompt, parent);
    w->CreationOrder << "TPrinterForm";
    w->CalibrationTool = new TCalibrationToolForm(prompt, LocaleDecimalSeparator(), parent);
    w->CreationOrder << "TCalibrationToolForm";
    w->DoubletSolver = new TDoubletSolverForm(parent);
    w->CreationOrder << "TDoubletSolverForm";
    w->TrapezoidSolver = new TTrapezoidSolverForm(parent);
    w->CreationOrder << "TTrapezoidSolverForm";
    w->Uncertainties = new TUncertaintiesForm(prompt, w->Main->Workstation().Uncertainties, parent);
    w->CreationOrder << "TUncertaintiesForm";
    w->Uncertainties->LoadUncertainties();
    BindCommands(*w);
    return w;
}

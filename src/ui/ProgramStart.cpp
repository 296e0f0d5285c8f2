#include "ui/ProgramStart.h"

#include "analysis/ClippedSetup.h"
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

void BindCommands(TProgramWindows& w) {
    TPaekAnalyserForm& main = *w.Main;
    TCommandHost& host = main;
    const TInstrumentLink& link = w.Link;

    main.SetUncertaintySource(
        [u = w.Uncertainties]() -> const TUncertaintySettings& { return u->Settings(); },
        [u = w.Uncertainties] { u->EditUncertainties(); });
    main.SetPortListProvider([&link] { return ComPortComboBoxDropDown(link); });

    main.BindCommand({"Sample", "Read"}, [&host, &link] { ReadSampleClick(host, link); });
    main.BindCommand({"Library", "Edit"}, [&host, lib = w.Library] { PeakListClick(host, *lib); });
    main.BindCommand({"Library", "Transfer"},
                     [&host, &link] { TransmitPeakListClick(host, link); });
    main.BindCommand({"Calibration", "Energy / Peak Width", "Transfer"},
                     [&host, &link] { TransmitCalibrationClick(host, link); });
    main.BindCommand({"Calibration", "Efficiency", "Transfer"},
                     [&host, &link] { TransmitEfficiencyClick(host, link); });
    main.BindCommand({"Zel-Korda", "Read background sample"},
                     [&host, &link] { ReadbackgroundsampleClick(host, link); });
    main.BindCommand({"Zel-Korda", "Read Memory"},
                     [&host, &link, p = w.DownloadStatus] { ReadMemoryClick(host, link, *p); });
    main.BindCommand({"Zel-Korda", "Spectrometer Configuration"}, [&host, &link, c = w.SpecConfig] {
        SpectrometerConfigurationClick(host, link, *c);
    });
    main.BindCommand({"Zel-Korda", "Clear Memory"},
                     [&host, &link] { ClearMemoryClick(host, link); });
    main.BindCommand({"Zel-Korda", "Set unique sample ID to zero"},
                     [&host, &link] { ResetSampleIDClick(host, link); });
    main.BindCommand({"Zel-Korda", "About"}, [&host, &link] { About1Click(host, link); });
    main.BindCommand({"Tools", "Solve Doublet"},
                     [&host, d = w.DoubletSolver] { SolveDoubletClick(host, *d); });
    main.BindCommand({"Tools", "Trapezoid"},
                     [&host, t = w.TrapezoidSolver] { TrapezoidClick(host, *t); });
    main.BindCommand({"Tools", "Clip analysis setup"}, [&host] { DefineAnalysisClick(host); });
    main.BindCommand(
        {"Tools", "Use clipped analysis setup"},
        [&host, d = w.DoubletSolver, t = w.TrapezoidSolver] { UseAnalysisClick(host, d, t); });
}

} // namespace

TProgramWindows::TProgramWindows(TPrompt& prompt, TInstrumentLink link)
    : Prompt(prompt), Link(std::move(link)) {}

TProgramWindows::~TProgramWindows() = default;

std::unique_ptr<TProgramWindows> CreateProgramWindows(TPrompt& prompt, TInstrumentLink link) {
    LoadWindowFonts();
    auto w = std::make_unique<TProgramWindows>(prompt, std::move(link));
    w->Main = std::make_unique<TPaekAnalyserForm>(prompt);
    QWidget* parent = w->Main.get();
    w->CreationOrder << "TPaekAnalyserForm";
    w->Library = new TLibraryForm(prompt, LocaleDecimalSeparator(), parent);
    w->CreationOrder << "TLibraryForm";
    w->Efficiency = new TEfficiencyForm(parent);
    w->CreationOrder << "TEfficiencyForm";
    w->DownloadStatus = new TDownloadStatusForm(parent);
    w->CreationOrder << "TDownloadStatusForm";
    w->SpecConfig = new TSpecConfigForm(prompt, parent);
    w->CreationOrder << "TSpecConfigForm";
    w->Printer = new TPrinterForm(parent);
    w->CreationOrder << "TPrinterForm";
    w->CalibrationTool = new TCalibrationToolForm(parent);
    w->CreationOrder << "TCalibrationToolForm";
    w->DoubletSolver = new TDoubletSolverForm(parent);
    w->CreationOrder << "TDoubletSolverForm";
    w->TrapezoidSolver = new TTrapezoidSolverForm(parent);
    w->CreationOrder << "TTrapezoidSolverForm";
    w->Uncertainties = new TUncertaintiesForm(prompt, parent);
    w->CreationOrder << "TUncertaintiesForm";
    w->Uncertainties->LoadUncertainties();
    BindCommands(*w);
    return w;
}

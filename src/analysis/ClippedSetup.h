// The clipped analysis setup and the solver commands of the main window.
//
// A laboratory that analyses a series of samples the same way clips the
// calibrations, peak list, origins and solver steps of the current sample and
// applies them to each further sample with one command; applying re-runs the
// solvers that had valid results when the setup was clipped, without their
// windows.
#pragma once

#include "analysis/DoubletSolver.h"
#include "analysis/TrapezoidSolver.h"
#include "core/CommandHost.h"

// "Tools" -> "Clip analysis setup": after a Yes to "Replace clipped analysis
// setup by actual setup?", copies the measured sample's calibration and peak
// list, the three origins, whether each solver's results are valid and the
// trapezoid selection into the setup. A No changes nothing.
void DefineAnalysisClick(TCommandHost& host);

// "Tools" -> "Use clipped analysis setup": without a clipped setup (any of
// its three origins empty) shows "Currently no analysis setup clipped!" and
// changes nothing. Otherwise the measured sample takes the setup's
// calibration and peak list and the main window its origins; with a valid
// sample the clipped solver steps run in mode 0 on the prepared working copy
// (the doublet view, when given, is filled but not shown) and the peak
// selection is refreshed.
void UseAnalysisClick(TCommandHost& host, TDoubletView* doubletView,
                      TTrapezoidSelector* trapezoidSelector);

// "Tools" -> "Solve Doublet": with a valid measured sample, runs the doublet
// solver with its window on the prepared working copy, then the analysis.
void SolveDoubletClick(TCommandHost& host, TDoubletView& view);

// "Tools" -> "Trapezoid": with a valid measured sample, asks for the peaks
// and runs the trapezoid solver on the prepared working copy, then the
// analysis.
void TrapezoidClick(TCommandHost& host, TTrapezoidSelector& selector);

#include "workstation/Workstation.h"

#include "library/PeakListEditor.h"

TCommandResult
TWorkstation::TakeEfficiencyCalibration(const std::optional<TSampleFile>& calibrated) {
    if (calibrated) {
        State.MeasuredSample = *calibrated;
    }
    // Applied or not, a pass through the window counts as an edit of the
    // efficiency calibration by the user.
    State.EfficiencyOrigin = EditedByUserOrigin;
    InvalidateSolverResults();
    TCommandResult result;
    result.Refresh = TRefresh::PeakSelection;
    return result;
}

#include "workstation/Workstation.h"

#include "library/PeakListEditor.h"

TCommandResult TWorkstation::TakeToolCalibration(const std::optional<TSampleFile>& calibrated) {
    if (calibrated) {
        TSampleFile& measured = State.MeasuredSample;
        measured.Calibration.ECal = calibrated->Calibration.ECal;
        measured.Calibration.WCal = calibrated->Calibration.WCal;
        measured.CalibrationType = calibrated->CalibrationType;
    }
    // Confirmed or not, a pass through the tool counts as an edit of the
    // calibration by the user.
    State.EWCalOrigin = EditedByUserOrigin;
    InvalidateSolverResults();
    TCommandResult result;
    result.Refresh = TRefresh::PeakSelection;
    return result;
}

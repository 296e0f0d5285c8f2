#include "calibration/CalibrationTool.h"

TCalibrationTool::TCalibrationTool(char decimalSeparator) : DecimalSeparator(decimalSeparator) {}

void TCalibrationTool::LoadSampleSpectrum(const TSampleFile&) {}
void TCalibrationTool::ChooseZoom() {}
QString TCalibrationTool::TakeTextSpectrum(TTextLayout) {
    return {};
}
void TCalibrationTool::MouseDown(TMouseButton, int) {}
bool TCalibrationTool::ShiftRoiLeft() {
    return false;
}
bool TCalibrationTool::ShiftRoiRight() {
    return false;
}
bool TCalibrationTool::BiggerRoi() {
    return false;
}
bool TCalibrationTool::SmallerRoi() {
    return false;
}
void TCalibrationTool::UpdateRoi() {}
QString TCalibrationTool::PositionText() const {
    return {};
}
QString TCalibrationTool::SigmaText() const {
    return {};
}
std::optional<QString> TCalibrationTool::FwhmText() const {
    return std::nullopt;
}
void TCalibrationTool::TakeCandidates(const TPeakList&) {}
void TCalibrationTool::TakeLibraryText(const QByteArray&) {}
QStringList TCalibrationTool::GridHeader() {
    return {};
}
QStringList TCalibrationTool::PresentCalibrationMemo(const TSampleFile&) const {
    return {};
}
void TCalibrationTool::AddPoint(int) {}
void TCalibrationTool::RemovePoint(int) {}
void TCalibrationTool::ClearPoints() {}
void TCalibrationTool::RecomputeRegressions() {}
int TCalibrationTool::Terms(TRegression) const {
    return 0;
}
void TCalibrationTool::ApplyTo(TSampleFile&) const {}

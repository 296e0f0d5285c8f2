// The efficiency curve of the efficiency calibration window: the curve
// EfficiencyAt over 0 .. 3000 keV as a filled area, the calibration points as
// red crosses and each point's deviation from the curve in percent.
//
// Draws with the painter it is given (a widget, an image) into `rect`, keeps
// no state and draws without antialiasing. Coordinates run from (0, 0) at
// rect's top-left corner to (W, H) = (rect.width(), rect.height()); nothing
// is drawn outside `rect`. A value that is not finite (an Ecut of 0 with a
// negative B0 makes the efficiency at 0 keV infinite) is left out of the
// scale and draws no pixel.
#pragma once

#include "calibration/EfficiencyCalibration.h"

#include <QPainter>
#include <QRect>
#include <QString>

// The energy axis of the curve runs from 0 to this many keV over the width.
inline constexpr double CurveEnergySpan = 3000.0;

// The curve view: a white box with a black outline; for every pixel column x
// a black line from the curve's height at x * 3000 / W keV down to the
// bottom; then for each point (the power-law points first, then the
// straight-line points) a red cross 3 pixels wide with its deviation text,
// black on white, above it, or below it when the text would leave the top
// edge. The scale
// puts the largest of the curve's column values and the points' efficiencies
// at the top (1 when that is not above 0).
// The curve is that of calibrator.CalSample's coefficients in force, the
// points and texts those of calibrator.CurvePoints().
void DrawEfficiencyCurve(const TEfficiencyCalibrator& calibrator, QPainter& canvas,
                         const QRect& rect);

// The cursor readout for the pixel column x of a view `width` pixels wide:
// the whole keV E = round(x * 3000 / width), then "E keV; " and the
// efficiency at E fixed (precision 4, 4 decimals) with " cps/(Bq/kg)".
QString EfficiencyCursorText(const TEfficiencyCalibration& rcal, int x, int width,
                             char decimalSeparator);

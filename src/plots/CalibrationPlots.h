// The three views of the energy and peak-width calibration tool: the
// spectrum with its region of interest (ROI) and the calibration points, the
// peak located in the ROI, and the energy and relative FWHM of the points
// against channel with the fitted curves.
//
// Each view draws from a const TCalibrationTool with the painter it is given
// (a widget, an image) into `rect`, keeps no state and draws without
// antialiasing. Coordinates inside a view run from (0, 0) at rect's top-left
// corner to (W, H) = (rect.width(), rect.height()), exclusive, and nothing is
// drawn outside `rect`. A rectangle "from (x1, y1) to (x2, y2)" covers the
// pixels x1 <= x < x2, y1 <= y < y2, its outline on its border pixels.
//
// No view divides by zero or reads outside an array: a spectrum without a
// positive count, a ROI whose largest count is 0, points whose sigmas are all
// 0 or a spectrum of size 0 leave the parts that would need them undrawn.
#pragma once

#include "calibration/CalibrationTool.h"

#include <QPainter>
#include <QRect>

// The spectrum view. White box with a grey frame; the ROI band (channels
// Marker1 .. Marker2 at Zoom pixels each) in silver; one bar per channel
// from the bottom, scaled to the largest count (log10 of the counts with
// `logView`, where counts below 2 draw no bar); one vertical line per point
// at its position, red and 2 pixels wide for point `selectedPoint` (0 is the
// first point; -1 for none), blue and 1 pixel for the others. A spectrum
// without a positive count draws neither bars nor point lines.
void DrawToolSpectrum(const TCalibrationTool& tool, bool logView, int selectedPoint,
                      QPainter& canvas, const QRect& rect);

// True when the peak view has a peak to show: the ROI holds channels and
// its net counts have a positive maximum. Otherwise the peak view stays an
// empty white box and the window keeps the texts of its three peak edits.
bool ToolPeakShown(const TCalibrationTool& tool);

// The peak view. For each ROI channel a grey bar of its gross count (scaled
// to the largest gross count; none when that is not positive) with the blue
// bar of its net count over it (scaled to the largest net count), W div
// ROI-size pixels wide, outlined black when at least 4 pixels wide; a red
// line at the peak position Mean and the fitted Gaussian (red, 2 pixels)
// over +-2.5 Sigma, scaled to its height at Mean.
void DrawToolPeak(const TCalibrationTool& tool, QPainter& canvas, const QRect& rect);

// The regression view. Each point as a circle at its energy (scale 1.5 times
// the largest energy) and a square at its relative FWHM S * 235.5 / Ch in
// percent (scale 1.2 times the largest), at x = W * (Ch - Offset) / Size;
// red and 2 pixels for `selectedPoint`, blue for the others. From two points
// on, the energy-versus-channel and sigma-versus-channel fits as black curves
// over the spectrum's channels. A point at position 0 has no relative FWHM
// and gets no square; a spectrum of size 0 or below gives no x axis, so only
// the box is drawn.
void DrawRegression(const TCalibrationTool& tool, int selectedPoint, QPainter& canvas,
                    const QRect& rect);

// The plots of the workstation: the spectrum with its peak markers, the
// region of interest (ROI) of one peak, the trapezoid and doublet results, and
// a crossed-out frame with a message that stands in for a plot.
//
// Every plot draws with the painter it is given (a widget, an image or a
// printer page) into `rect`, keeps no state, and draws without antialiasing
// so that pixels are exact. Coordinates follow one convention: Left =
// rect.left(), Top = rect.top(), Right = Left + rect.width() and Bottom =
// Top + rect.height() are exclusive, so a plot covers exactly the pixels of
// `rect`. Every plot starts by filling `rect` white and outlining it with a
// black 1-pixel line; none draws axes or scale labels.
#pragma once

#include "analysis/RoiEvaluation.h"
#include "core/sample_types.h"

#include <QColor>
#include <QPainter>
#include <QRect>
#include <QString>

// The colour of peak-list index 0..15 (red, blue, green, fuchsia, maroon,
// aqua, lime, money green, navy, olive, purple, sky blue, teal, yellow, gray,
// black); any other index gives black.
QColor PeakColor(int index);

// The white, black-framed rectangle crossed by both diagonals, with `text`
// centred horizontally one text height below the top (in the painter's
// current font, black). An empty text leaves just the crossed frame.
void DrawMessagePlot(QPainter& canvas, const QRect& rect, const QString& text);

// The spectrum of a valid sample as one white, black-outlined bar per channel,
// scaled from the smallest to the largest value (log10 of them with
// `logView`), and a vertical marker at the calibrated channel of every peak of
// the peak list whose channel lies inside the spectrum.
// markerMode 1: each marker in PeakColor(i), rect.width() / 600 pixels wide
// (at least 1). Any other mode: the marker of peak `selected` red, 2 pixels,
// the others green, 1 pixel (selected -1 makes them all green).
// Bars are Floor(width / channels) pixels wide; a spectrum with more channels
// than pixels is drawn compressed (channel i at Left + Floor(i * width /
// channels), 1 pixel per bar, so each column shows its highest channel).
// An invalid sample draws nothing; a flat spectrum or one without channels
// draws the message plot "Invalid spectrum". In log view a largest value
// below 1 (or exactly 1) sets the top of the scale to 1.
void DrawSpectrumPlot(const TSampleFile& sample, int selected, int markerMode, bool logView,
                      const QRect& rect, QPainter& canvas);

// The ROI of one peak, from the first `count` points (clamped to 0..24) of
// the three arrays: the counts as silver bars, the smoothed counts as red
// 2-pixel lines, the second derivative on a scale of its own as blue 2-pixel
// lines from its blue zero line, and the expected peak position (green, 2
// pixels) with the expected extent of +-1.25 widths (green, 1 pixel).
// centreOffset and expectedWidth are in ROI points. A flat extract (or count
// 0) draws the message plot "No valid ROI". A flat second derivative draws
// only its zero line, at mid-height. sigmaFound and peak do not change the
// drawing.
void DrawRoiPlot(const TRoiArray& extract, const TRoiArray& smoothed,
                 const TRoiArray& secondDerivative, const QRect& rect, QPainter& canvas,
                 double sigmaFound, double expectedWidth, double centreOffset,
                 const TPeakEntry& peak, int count);

// A trapezoid result over channels centre +-Round(5 sigma): the silver
// background windows, and polylines of the spectrum (black), the fitted
// Gaussian from zero (red), Gaussian plus baseline (green) and the baseline
// (maroon). Channels of the range outside the spectrum have no spectrum point.
void DrawTrapezoidPlot(const TSpectrum& spectrum, const TTrapezoidResult& result, QPainter& canvas,
                       const QRect& rect);

// A doublet result from the lower centre - Round(4 sigma) to the upper centre
// + Round(4 sigma): polylines of the spectrum (black), the two Gaussians from
// zero (A red, B blue), their sum with the baseline (green) and the baseline
// (maroon), and a vertical line with the peak name at each centre (A red, B
// blue). The line of the result's own peak (PairIndex 0: A, 1: B) is 3 pixels
// wide, the partner's 1 pixel.
void DrawDoubletPlot(const TSpectrum& spectrum, const TDoubletResult& result, QPainter& canvas,
                     const QRect& rect);

// The channel range that the trapezoid and doublet plots span (first and
// last channel, inclusive). A width that is not a positive finite number
// counts as 0 (and its Gaussian is drawn as 0); the half-range is capped at
// 4096 channels and the range clipped to channels -4096..8191, which no
// result of a spectrum of at most 4096 channels leaves. Both plots scale the
// vertical axis by H / Round(1.1 * (max - min)); when that divisor is 0 or
// less (flat data) they use 1, so flat curves lie along the bottom.
struct TPlotRange {
    int First = 0;
    int Last = 0;
};
TPlotRange TrapezoidPlotRange(const TTrapezoidResult& result);
TPlotRange DoubletPlotRange(const TDoubletResult& result);

// The channel and energy under horizontal position x of a spectrum box
// `boxWidth` pixels wide showing `sample`, on the bar grid of
// DrawSpectrumPlot: channel := Round(x / bar width) (Round(x * channels /
// boxWidth) for a compressed spectrum), energy from the energy calibration
// in keV. Energy is -1 when the sample is not valid, when no channel can be
// produced (no channels, a box without width), or when the energy cannot be
// found. Channel is 0 for a sample that is not valid and -1 when no channel
// can be produced.
void CursorPosition(const TSampleFile& sample, int boxWidth, int x, double& energy, int& channel);

// The cursor read-out text of the spectrum box (backgroundBox false):
// "out of range" or "662 keV", extended by ", [661], 1234 cts" with the
// rounded count of the channel when the channel is below Size + Offset and is
// one of the spectrum's channels; of the background box: "662 keV [661]", or
// "out of range" when the energy is below 0 or the channel not below Size +
// Offset. Energies are rounded to whole keV, halves to even.
QString CursorReadoutText(const TSampleFile& sample, bool backgroundBox, double energy,
                          int channel);

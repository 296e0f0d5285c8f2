// The one-page protocol and label of the current sample, laid out on any
// QPainter (a printer, a PDF writer, an image) whose page is `page`, in the
// page's device pixels. The main window's "Print" and `zkcli print` both draw
// through PrintProtocolPage, so a PDF made from the command line shows what
// the printer prints.
//
// Rectangles follow the convention of the plots: Left = rect.left(), Top =
// rect.top(), Right = Left + rect.width(), Bottom = Top + rect.height(), with
// Right and Bottom exclusive. Rounding is to the nearest integer with halves
// to the even neighbour. Font heights are cell heights (ascent + descent) in
// device pixels, in the painter's default typeface; a text is placed by the
// top left corner of its cell.
#pragma once

#include "analysis/UncertaintySettings.h"
#include "core/sample_types.h"

#include <QDateTime>
#include <QPageSize>
#include <QRect>
#include <QString>

#include <optional>

class QPainter;

// What one print draws; the dialog keeps it from one print command to the
// next. The sample is the analysed working copy: background subtracted when
// BackgroundSubtracted is true. Printing evaluates the peaks on its own copy
// of it, never on the main window's sample.
struct TPrintJob {
    QString ProtocolName; // the title printed in the footer after "File: "
    TSampleFile SampleFile{};
    TSample Background{};
    bool BackgroundSubtracted = false;
    TTrapezoidResultList TrapezoidResults{};
    TDoubletResultList DoubletResults{};
    TUncertaintySettings Uncertainties{}; // for the activity statements
    char DecimalSeparator = '.';
    // The moment the footer states; the current time when none is given.
    std::optional<QDateTime> Moment;
};

// The job that "Sample" -> "Print protocol" hands to the dialog: a working
// copy of the measured sample, background subtracted when `subtractionChecked`
// and the subtraction could be carried out (an unfitting background leaves the
// copy gross and BackgroundSubtracted false), the background sample, both
// solver result lists, the uncertainty settings and `title`.
TPrintJob MakePrintJob(const TAnalysisState& state, bool subtractionChecked,
                       const TUncertaintySettings& uncertainties, const QString& title,
                       char decimalSeparator);

// --- Layout -------------------------------------------------------------------

// The usable area of a page of pw x ph device pixels.
struct TPrintFrame {
    int X0 = 0, Y0 = 0, W = 0, H = 0;
};
TPrintFrame PrintFrame(bool label, int pw, int ph);

// The blocks of the page, from X0 to X0 + W.
QRect HeaderRect(bool label, const TPrintFrame& frame);
QRect SpectrumRect(bool label, const TPrintFrame& frame);
QRect ResultsRect(bool label, const TPrintFrame& frame);

// The tile of peak `index` among `count` peaks in the protocol frame: four
// per row, at least two rows. For an index outside 0..count-1, `rect` is left
// as it was.
void TileRect(const TPrintFrame& frame, int count, int index, QRect& rect);

// "Cs-137 (662 keV)": the peak's name and its energy in whole keV.
QString PeakCaption(const TPeakEntry& peak);

// --- Drawing steps --------------------------------------------------------------
// Each step draws with `painter` into the frame of a page; none draws outside
// the rectangle or frame it is given.

// The outlined description box with `text` cut anywhere into lines of at most
// 0.96 of the box's width: four lines under the bold title "SAMPLE
// DESCRIPTION" in the protocol, two lines without title on the label.
void PrintDescription(QPainter& painter, bool label, const QString& text, const QRect& rect);

// "Zel Korda SN: ..., Sample Weight: ... kg, Sample Time: ... sec., ID: ..."
// in bold, one and a half text heights above (x, y). The weight has at most
// four significant digits, written with the given decimal separator.
void PrintSampleLine(QPainter& painter, bool label, const TPrintFrame& frame,
                     const TSampleParameter& parameter, int x, int y, char decimalSeparator = '.');
QString SampleLineText(const TSampleParameter& parameter, char decimalSeparator = '.');

// The peak's caption with its coloured dot above the tile and the status line
// below it: the diagnosis of status 1..5, otherwise the rounded area + " counts".
void PrintTileCaption(QPainter& painter, const TPrintFrame& frame, int index,
                      const TPeakEntry& peak, const TPeakResult& result, const QRect& tile,
                      int status);
QString TileStatusText(int status, const TPeakResult& result);

// The table of every peak with its activity statement (bold for a measured
// activity): peaks 0..7 in the left half, 8..15 in the right; dots in the
// protocol only, and no uncertainties on the label.
void PrintResultsTable(QPainter& painter, bool label, const TPrintJob& job, const QRect& rect);

// The result a peak's tile and table line state: a significant trapezoid
// result, else a solved doublet result, else the sample's own result.
TPeakResult PrintedResult(const TPrintJob& job, int index);

// "<short date>, <long time>, File: <title>" in bold italic at the bottom of
// the frame.
void PrintFooter(QPainter& painter, bool label, const TPrintFrame& frame, const TPrintJob& job);
QString FooterText(const TPrintJob& job);

// --- Whole page -----------------------------------------------------------------

// Draws the protocol (or label) of `job` onto `painter`, whose page spans
// `page` (usually 0,0 to the device's width and height). A job whose sample is
// not valid draws nothing and returns false. The tiles evaluate the peaks on
// the job's copy of the sample, which is why `job` is taken by value.
bool PrintProtocolPage(QPainter& painter, const QRect& page, TPrintJob job, bool label);

// The one-page PDF of `job`: the whole sheet of `pageSize` without margins at
// `dpi` dots per inch (A4 at 600 gives 4960 x 7016 pixels), all text as text.
// The file is replaced atomically: on failure `error` says why, false is
// returned and an earlier file at `path` is left as it was. A job whose sample
// is not valid writes nothing and gives "The sample is not valid." as error.
bool PrintToPdf(const QString& path, const TPrintJob& job, bool label, int dpi,
                const QPageSize& pageSize, QString& error);

// The same PDF as bytes in memory (empty for a job whose sample is not valid).
QByteArray PrintToPdfBytes(const TPrintJob& job, bool label, int dpi, const QPageSize& pageSize);

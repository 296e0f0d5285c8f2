#include "printing/PrintProtocol.h"

#include "analysis/BackgroundSubtraction.h"
#include "analysis/RoiEvaluation.h"
#include "core/NumberFormat.h"
#include "plots/Plots.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetrics>
#include <QLocale>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/AtomicWrite.h"

namespace {

// Round to a pixel coordinate; values beyond the int range saturate.
int Px(double x) {
    const std::int64_t r = Round(x);
    return static_cast<int>(std::clamp<std::int64_t>(r, std::numeric_limits<int>::min() / 2,
                                                     std::numeric_limits<int>::max() / 2));
}

QRect Span(const TPrintFrame& f, int top, int bottom) {
    return QRect(f.X0, top, f.W, bottom - top);
}

// Sets the painter's font to the default typeface with a cell height of `height`
// device pixels (at least 1).
void SetFont(QPainter& painter, int height, bool bold, bool italic = false) {
    QFont font;
    font.setBold(bold);
    font.setItalic(italic);
    const int wanted = std::max(1, height);
    font.setPixelSize(wanted);
    const int cell = QFontMetrics(font, painter.device()).height();
    if (cell > 0 && cell != wanted)
        font.setPixelSize(std::max(1, Px(static_cast<double>(wanted) * wanted / cell)));
    painter.setFont(font);
}

int TextHeight(const QPainter& painter) {
    return QFontMetrics(painter.font(), painter.device()).height();
}

int TextWidth(const QPainter& painter, const QString& text) {
    return QFontMetrics(painter.font(), painter.device()).horizontalAdvance(text);
}

// Writes `text` with the top left corner of its cell at (x, y), in black.
void WriteText(QPainter& painter, int x, int y, const QString& text) {
    QPen pen = painter.pen();
    pen.setColor(Qt::black);
    pen.setStyle(Qt::SolidLine);
    painter.setPen(pen);
    const int ascent = QFontMetrics(painter.font(), painter.device()).ascent();
    painter.drawText(QPoint(x, y + ascent), text);
}

// A black outline in the pen width left by the preceding drawing.
void BlackPen(QPainter& painter) {
    QPen pen = painter.pen();
    pen.setColor(Qt::black);
    pen.setStyle(Qt::SolidLine);
    painter.setPen(pen);
}

// The outline of `rect` on its own border pixels, so that a block reaching
// the page's edge keeps its right and bottom lines.
void Outline(QPainter& painter, const QRect& rect) {
    BlackPen(painter);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(rect.left(), rect.top(), rect.width() - 1, rect.height() - 1));
}

void Dot(QPainter& painter, int index, int x, int y, int size) {
    BlackPen(painter);
    painter.setBrush(PeakColor(index));
    painter.drawEllipse(QRect(x, y, size, size));
    painter.setBrush(Qt::NoBrush);
}

int PeakCount(const TSampleFile& sample) {
    return std::min<int>(sample.PeakList.Size, MaxPeaks);
}

bool SignificantTrapezoid(const TPrintJob& job, int i) {
    return job.TrapezoidResults.Valid && i >= 0 && i < SolverEntries &&
           job.TrapezoidResults.Result[i].Significant;
}

bool SolvedDoublet(const TPrintJob& job, int i) {
    return job.DoubletResults.Valid && i >= 0 && i < SolverEntries &&
           job.DoubletResults.Result[i].Solved;
}

} // namespace

TPrintJob MakePrintJob(const TAnalysisState& state, bool subtractionChecked,
                       const TUncertaintySettings& uncertainties, const QString& title,
                       char decimalSeparator) {
    TPrintJob job;
    job.ProtocolName = title;
    TSampleFile background = state.BackgroundSample;
    job.SampleFile = PrepareWorkingCopy(state.MeasuredSample, background, subtractionChecked,
                                        job.BackgroundSubtracted);
    job.Background = state.BackgroundSample.Sample;
    job.TrapezoidResults = state.TrapezoidResults;
    job.DoubletResults = state.DoubletResults;
    job.Uncertainties = uncertainties;
    job.DecimalSeparator = decimalSeparator;
    return job;
}

TPrintFrame PrintFrame(bool label, int pw, int ph) {
    if (label)
        return {0, 0, pw, ph};
    return {Px(0.1 * pw), Px(0.025 * ph), Px(0.85 * pw), Px(0.95 * ph)};
}

QRect HeaderRect(bool label, const TPrintFrame& f) {
    return Span(f, f.Y0, f.Y0 + Px((label ? 0.13 : 0.1) * f.H));
}

QRect SpectrumRect(bool label, const TPrintFrame& f) {
    return label ? Span(f, f.Y0 + Px(0.2 * f.H), f.Y0 + Px(0.45 * f.H))
                 : Span(f, f.Y0 + Px(0.15 * f.H), f.Y0 + Px(0.3 * f.H));
}

QRect ResultsRect(bool label, const TPrintFrame& f) {
    return label ? Span(f, f.Y0 + Px(0.45 * f.H), f.Y0 + Px(0.95 * f.H))
                 : Span(f, f.Y0 + Px(0.8 * f.H), f.Y0 + Px(0.95 * f.H));
}

void TileRect(const TPrintFrame& f, int count, int index, QRect& rect) {
    if (index < 0 || index >= count)
        return;
    const int rows = std::max(2, (count - 1) / 4 + 1);
    const int gap = Px(0.025 * f.W);
    const int tw = (f.W - 3 * gap) / 4;
    const int vg = Px(0.05 * f.H);
    const int th = (Px(0.4 * f.H) - (rows - 1) * vg) / rows;
    const int left = f.X0 + (index % 4) * (tw + gap);
    const int top = f.Y0 + Px(0.35 * f.H) + (index / 4) * (th + vg);
    rect = QRect(left, top, tw, th);
}

QString PeakCaption(const TPeakEntry& peak) {
    return PeakNameToText(peak) + QStringLiteral(" (") + QString::number(peak.Energy) +
           QStringLiteral(" keV)");
}

void PrintDescription(QPainter& painter, bool label, const QString& text, const QRect& rect) {
    const int w = rect.width();
    Outline(painter, rect);
    painter.setBackgroundMode(Qt::TransparentMode);

    const int lh = rect.height() / (label ? 2 : 5);
    const int fontHeight = Px(0.9 * lh);
    const int x = rect.left() + Px(0.02 * w);
    int line = 0;
    int lastLine = 1;
    if (!label) {
        SetFont(painter, fontHeight, true);
        WriteText(painter, x, rect.top() + lh - TextHeight(painter),
                  QStringLiteral("SAMPLE DESCRIPTION"));
        line = 1;
        lastLine = 4;
    }
    SetFont(painter, fontHeight, false);
    const double limit = 0.96 * w;
    QString rest = text;
    for (; line <= lastLine && !rest.isEmpty(); ++line) {
        int take = 0;
        while (take < rest.size() && TextWidth(painter, rest.left(take + 1)) <= limit)
            ++take;
        if (take == 0)
            break; // not even one character fits
        WriteText(painter, x, rect.top() + line * lh, rest.left(take));
        rest.remove(0, take);
    }
}

QString SampleLineText(const TSampleParameter& p, char decimalSeparator) {
    return QStringLiteral("Zel Korda SN: ") + QString::number(p.SerialNumber) +
           QStringLiteral(", Sample Weight: ") +
           QString::fromStdString(FormatGeneral(p.Weight, decimalSeparator, 4)) +
           QStringLiteral(" kg") + QStringLiteral(", Sample Time: ") +
           QString::number(p.SampleInterval) + QStringLiteral(" sec., ID: ") +
           QString::number(p.SampleID);
}

void PrintSampleLine(QPainter& painter, bool label, const TPrintFrame& frame,
                     const TSampleParameter& parameter, int x, int y, char decimalSeparator) {
    SetFont(painter, Px((label ? 0.04 : 0.012) * frame.H), true);
    WriteText(painter, x, y - Px(1.5 * TextHeight(painter)),
              SampleLineText(parameter, decimalSeparator));
}

QString TileStatusText(int status, const TPeakResult& result) {
    switch (status) {
    case 1:
        return QStringLiteral("ROI outside spectrum!");
    case 2:
        return QStringLiteral("No maximum found!");
    case 3:
        return QStringLiteral("No inflection point found!");
    case 4:
        return QStringLiteral("Wrong Sigma!");
    case 5:
        return QStringLiteral("Peak not significant!");
    default:
        return QString::number(Round(result.Area)) + QStringLiteral(" counts");
    }
}

void PrintTileCaption(QPainter& painter, const TPrintFrame& frame, int index,
                      const TPeakEntry& peak, const TPeakResult& result, const QRect& tile,
                      int status) {
    const int pad = Px(0.005 * frame.H);
    const QString caption = PeakCaption(peak);
    SetFont(painter, Px(0.012 * frame.H), true);
    const int height = TextHeight(painter);
    const int top = tile.top() - pad - height;
    WriteText(painter, tile.left(), top, caption);
    Dot(painter, index, tile.left() + TextWidth(painter, caption) + pad, top, height);
    SetFont(painter, Px(0.012 * frame.H), false);
    WriteText(painter, tile.left(), tile.top() + tile.height() + pad,
              TileStatusText(status, result));
}

TPeakResult PrintedResult(const TPrintJob& job, int index) {
    if (SignificantTrapezoid(job, index))
        return job.TrapezoidResults.Result[index].AsResult();
    if (SolvedDoublet(job, index))
        return job.DoubletResults.Result[index].AsResult();
    if (index >= 0 && index < MaxPeaks)
        return job.SampleFile.Results.Result[index];
    return {0, 0, 0};
}

void PrintResultsTable(QPainter& painter, bool label, const TPrintJob& job, const QRect& rect) {
    painter.fillRect(rect, Qt::white);
    Outline(painter, rect);

    const int rh = rect.height() / 8;
    const int fh = Px(0.6 * rh);
    const int d = label ? 0 : Px(0.05 * rect.height());
    const int yo = (rh - fh) / 2;
    const int w = rect.width();
    const int c1 = rect.left() + Px(0.02 * w), c2 = rect.left() + Px(0.23 * w);
    const int c3 = rect.left() + Px(0.52 * w), c4 = rect.left() + Px(0.73 * w);

    for (int i = 0; i < PeakCount(job.SampleFile); ++i) {
        const bool left = i < 8;
        const int captionX = left ? c1 : c3;
        const int statementX = left ? c2 : c4;
        const int y = rect.top() + yo + (left ? i : i - 8) * rh;
        if (!label)
            Dot(painter, i, captionX, y + (fh - d) / 2, d);
        const TPeakResult result = PrintedResult(job, i);
        SetFont(painter, fh, result.Error > 0);
        WriteText(painter, captionX + Px(1.5 * d), y, PeakCaption(job.SampleFile.PeakList.Peak[i]));
        WriteText(painter, statementX, y,
                  FormatActivityStatement(job.Uncertainties, label, result, job.DecimalSeparator));
    }
}

QString FooterText(const TPrintJob& job) {
    const QDateTime moment = job.Moment.value_or(QDateTime::currentDateTime());
    const QLocale locale;
    return locale.toString(moment.date(), QLocale::ShortFormat) + QStringLiteral(", ") +
           locale.toString(moment.time(), QLocale::LongFormat) + QStringLiteral(", File: ") +
           job.ProtocolName;
}

void PrintFooter(QPainter& painter, bool label, const TPrintFrame& frame, const TPrintJob& job) {
    SetFont(painter, Px((label ? 0.04 : 0.012) * frame.H), true, true);
    WriteText(painter, frame.X0, frame.Y0 + frame.H - TextHeight(painter), FooterText(job));
}

bool PrintProtocolPage(QPainter& painter, const QRect& page, TPrintJob job, bool label) {
    if (!IsTrue(job.SampleFile.Valid) || page.width() <= 0 || page.height() <= 0)
        return false;
    painter.save();
    painter.setClipRect(page);
    painter.translate(page.topLeft());
    const TPrintFrame frame = PrintFrame(label, page.width(), page.height());

    PrintDescription(painter, label, CommentToText(job.SampleFile), HeaderRect(label, frame));
    const QRect spectrum = SpectrumRect(label, frame);
    DrawSpectrumPlot(job.SampleFile, 0, 1, true, spectrum, painter);
    PrintSampleLine(painter, label, frame, job.SampleFile.Sample.Parameter, spectrum.left(),
                    spectrum.top(), job.DecimalSeparator);

    if (!label) {
        const int count = PeakCount(job.SampleFile);
        QRect tile;
        for (int i = 0; i < count; ++i) {
            TileRect(frame, count, i, tile);
            const TPeakEntry& peak = job.SampleFile.PeakList.Peak[i];
            if (SignificantTrapezoid(job, i)) {
                const TTrapezoidResult& result = job.TrapezoidResults.Result[i];
                DrawTrapezoidPlot(job.SampleFile.Sample.Spectrum, result, painter, tile);
                PrintTileCaption(painter, frame, i, peak, result.AsResult(), tile, 0);
            } else if (SolvedDoublet(job, i)) {
                const TDoubletResult& result = job.DoubletResults.Result[i];
                DrawDoubletPlot(job.SampleFile.Sample.Spectrum, result, painter, tile);
                PrintTileCaption(painter, frame, i, peak, result.AsResult(), tile, 0);
            } else {
                // An evaluation that stopped before extracting a ROI has no
                // points, so its tile is the crossed frame "No valid ROI".
                const TRoiEvaluation roi =
                    EvaluatePeak(job.SampleFile, job.Background, i, job.BackgroundSubtracted);
                DrawRoiPlot(roi.Extract, roi.Smoothed, roi.SecondDerivative, tile, painter,
                            roi.SigmaFound, roi.ExpectedWidth, roi.CentreOffset, peak,
                            roi.HasRoi ? roi.Count : 0);
                PrintTileCaption(painter, frame, i, peak, job.SampleFile.Results.Result[i], tile,
                                 roi.Code);
            }
        }
    }
    PrintResultsTable(painter, label, job, ResultsRect(label, frame));
    PrintFooter(painter, label, frame, job);
    painter.restore();
    return true;
}

QByteArray PrintToPdfBytes(const TPrintJob& job, bool label, int dpi, const QPageSize& pageSize) {
    if (!IsTrue(job.SampleFile.Valid))
        return {};
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(dpi);
        writer.setPageSize(pageSize);
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setTitle(job.ProtocolName);
        writer.setCreator(QStringLiteral("Zel Korda Works"));
        QPainter painter(&writer);
        PrintProtocolPage(painter, QRect(0, 0, writer.width(), writer.height()), job, label);
        painter.end();
    }
    return buffer.data();
}

bool PrintToPdf(const QString& path, const TPrintJob& job, bool label, int dpi,
                const QPageSize& pageSize, QString& error) {
    if (!IsTrue(job.SampleFile.Valid)) {
        error = QStringLiteral("The sample is not valid.");
        return false;
    }
    return WriteFileAtomically(path, PrintToPdfBytes(job, label, dpi, pageSize), error,
                               QStringLiteral("PDF file"));
}

#include "calibration/CalibrationTool.h"

#include "calibration/CalibrationToolMath.h"
#include "calibration/CurveFit.h"
#include "core/Ansi.h"
#include "core/Errors.h"
#include "core/NumberFormat.h"
#include "core/Single.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr const char* Context = "TCalibrationToolForm";
constexpr int MaxFittedPoints = 9;
const QString Separator = QStringLiteral("---------------------------------");
const QString Stars = QStringLiteral("*******************");

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

// A double as a marker or integer field: rounded half-even, saturated.
std::int32_t ToInt32(double value) {
    return ToCount(value);
}

// Candidate line text: "Cs137 - (662keV)".
QString CandidateLine(const TNuclide& n) {
    return n.Name + QStringLiteral(" - (") + QString::number(n.Energy) +
           QCoreApplication::translate(Context, "keV)");
}

// The memo heading of each regression; the first one is never translated.
QString Heading(TRegression r) {
    switch (r) {
    case EvsCh:
        return QStringLiteral("Energy [keV] vs. Channels");
    case SvsCh:
        return QCoreApplication::translate(Context, "Sigma [ch] vs. Channels");
    case ChvsE:
        return QCoreApplication::translate(Context, "Channel [ch] vs. Energy [keV]");
    case EvsV:
        return QCoreApplication::translate(Context, "Energy [keV] vs. Voltage [mV]");
    case VvsE:
        return QCoreApplication::translate(Context, "Voltage [mV] vs. Energy [keV]");
    default:
        return QCoreApplication::translate(Context, "Sigma rel [keV] vs. Energy [keV]");
    }
}

// A grid cell as a number, read with the tool's separator.
double CellValue(const QString& cell, char separator, int row, const QString& column) {
    double value = 0;
    if (!TryParseNumber(cell.toStdString(), separator, value)) {
        // A cell from a file may be long; the message shows its beginning.
        constexpr int Shown = 40;
        const QString shown = cell.size() > Shown ? cell.left(Shown) + QStringLiteral("...") : cell;
        throw EConversionError(QStringLiteral("Calibration point %1: %2 '%3' is not a valid number")
                                   .arg(row)
                                   .arg(column, shown));
    }
    return value;
}

// The terms of a fit through n points: a line for two, a parabola for three,
// a cubic from four on; the sigma fits at most a parabola.
int TermsFor(TRegression r, int points) {
    const int terms = std::min(points, 4);
    return r == SvsCh || r == SvsE ? std::min(terms, 3) : terms;
}

// One field of a library line: the text before the next tab, or the whole
// remaining text when no tab is left (it then serves again for later fields).
QString NextField(QString& rest) {
    const qsizetype tab = rest.indexOf(QLatin1Char('\t'));
    if (tab < 0) {
        return rest;
    }
    QString field = rest.left(tab);
    rest.remove(0, tab + 1);
    return field;
}

// A library number rounded, or -1 when the field is not a number.
std::int32_t LibraryNumber(const QString& field, char separator) {
    double value = 0;
    if (!TryParseNumber(field.toStdString(), separator, value)) {
        return -1;
    }
    return ToInt32(value);
}

} // namespace

TCalibrationTool::TCalibrationTool(char decimalSeparator) : DecimalSeparator(decimalSeparator) {}

// --- Spectrum and ROI ---------------------------------------------------------

void TCalibrationTool::LoadSampleSpectrum(const TSampleFile& sample) {
    const TSpectrum& source = sample.Sample.Spectrum;
    // The record's 16-bit Size may claim more than the 4096 channels it holds.
    const int size = std::min<int>(source.Size, MaxChannels);
    Spectrum.Size = size;
    Spectrum.Offset = source.Offset;
    Spectrum.AdcResolution = 256;
    Spectrum.RefVoltage = 2000;
    const std::uint32_t seconds =
        sample.Sample.Parameter.SampleInterval; // copied out of the packed record
    Spectrum.LifeTime = static_cast<std::int32_t>(
        std::min<std::uint32_t>(seconds, std::numeric_limits<std::int32_t>::max()));
    for (int i = 0; i < size; ++i) {
        const float count = source.Channel[i]; // copied out of the packed record
        Spectrum.Channels[i] = ToCount(static_cast<double>(count));
    }
    ChooseZoom();
}

void TCalibrationTool::ChooseZoom() {
    // The tests run in this order; the last one that holds wins.
    if (Spectrum.Size <= 1024) {
        Zoom = 1;
    }
    if (Spectrum.Size <= 512) {
        Zoom = 2;
    }
    if (Spectrum.Size <= 256) {
        Zoom = 4;
    }
    if (Spectrum.Size <= 128) {
        Zoom = 8;
    }
}

QString TCalibrationTool::TakeTextSpectrum(TTextLayout layout) {
    switch (layout) {
    case TTextLayout::Zema:
        ChooseZoom();
        return QCoreApplication::translate(Context, "Calibration - ZEMA");
    case TTextLayout::Vintrava:
        Zoom = 5.0;
        return QCoreApplication::translate(Context, "Calibration - Vintrava");
    case TTextLayout::Heliomat:
        // A file may declare no channels; the view then keeps the zoom rule
        // of small spectra instead of dividing by zero.
        if (Spectrum.Size > 0) {
            Zoom = 1024.0 / Spectrum.Size;
        } else {
            ChooseZoom();
        }
        return QCoreApplication::translate(Context, "Calibration - HELIOMAT7xx");
    case TTextLayout::Spe:
        ChooseZoom();
        return QCoreApplication::translate(Context, "Calibration - SPE");
    case TTextLayout::Csv:
        ChooseZoom();
        return QCoreApplication::translate(Context, "Calibration - CSV");
    case TTextLayout::N42:
        ChooseZoom();
        return QCoreApplication::translate(Context, "Calibration - N42");
    default:
        return {};
    }
}

void TCalibrationTool::MouseDown(TMouseButton button, int x) {
    const std::int32_t old1 = Marker1;
    const std::int32_t old2 = Marker2;
    // A click inside the view gives a channel within the array; anything else
    // is held to it, so no marker can run far outside.
    const auto channelAt = [&](int pixel) {
        const double zoom = Zoom > 0 && std::isfinite(Zoom) ? Zoom : 1.0;
        return std::clamp(ToInt32(pixel / zoom), 0, CalChannels);
    };
    if (button == TMouseButton::Left) {
        Marker1 = channelAt(x);
    } else if (button == TMouseButton::Right) {
        Marker2 = channelAt(x);
    }
    if (Marker1 > Marker2) {
        Marker1 = old1;
        Marker2 = old2;
    }
    UpdateRoi();
}

bool TCalibrationTool::ShiftRoiLeft() {
    if (Marker1 <= 0) {
        return false;
    }
    --Marker1;
    --Marker2;
    UpdateRoi();
    return true;
}

bool TCalibrationTool::ShiftRoiRight() {
    if (Marker2 >= Spectrum.Size - 1) {
        return false;
    }
    ++Marker1;
    ++Marker2;
    UpdateRoi();
    return true;
}

bool TCalibrationTool::BiggerRoi() {
    if (Marker2 >= Spectrum.Size - 1) {
        return false;
    }
    ++Marker2;
    UpdateRoi();
    return true;
}

bool TCalibrationTool::SmallerRoi() {
    if (Marker1 >= Marker2 - 1) {
        return false;
    }
    ++Marker1;
    UpdateRoi();
    return true;
}

void TCalibrationTool::UpdateRoi() {
    // CopyRoiChannels reads channels outside Channels[0 .. 4096] as 0: before
    // the first click both markers are -1, and "<>" then gives a ROI that
    // starts one channel before the spectrum, its first count 0.
    CopyRoiChannels(Marker1, Marker2, Spectrum, Roi);
    SubtractRoiBaseline(Roi, NetRoi);
    const TPeakLocation peak = PeakMeanSigma(NetRoi);
    Mean = peak.Mean;
    Sigma = peak.Sigma;
}

QString TCalibrationTool::PositionText() const {
    return Text(FormatGeneral(Position(), DecimalSeparator));
}

QString TCalibrationTool::SigmaText() const {
    return Text(FormatGeneral(Sigma, DecimalSeparator));
}

std::optional<QString> TCalibrationTool::FwhmText() const {
    // The width relative to the position means nothing at or below channel 0
    // (a ROI at the start of the spectrum without a net peak): no number.
    const double position = Position();
    if (!(position > 0)) {
        return std::nullopt;
    }
    return Text(FormatGeneral(Sigma * 235.5 / position, DecimalSeparator));
}

// --- Candidate lines ----------------------------------------------------------

void TCalibrationTool::TakeCandidates(const TPeakList& peakList) {
    Candidates.clear();
    CandidateLines.clear();
    const int size = std::min<int>(peakList.Size, MaxPeaks);
    for (int i = 0; i < size; ++i) {
        const TPeakEntry entry = peakList.Peak[i];
        const float probability = entry.Probability;
        TNuclide n;
        n.Name = PeakNameToText(entry);
        n.Energy = entry.Energy;
        n.Probability = ToInt32(static_cast<double>(probability));
        Candidates.push_back(n);
        CandidateLines.append(CandidateLine(n));
    }
}

void TCalibrationTool::TakeLibraryText(const QByteArray& text) {
    Candidates.clear();
    CandidateLines.clear();
    // Line by line, so a long file is decoded only as far as it is read.
    const char* const data = text.constData();
    const qsizetype size = text.size();
    qsizetype start = 0;
    while (start < size && static_cast<int>(Candidates.size()) < MaxCandidateLines) {
        // A line ends at CR LF, LF or a lone CR.
        qsizetype end = start;
        while (end < size && data[end] != '\n' && data[end] != '\r') {
            ++end;
        }
        QString rest = AnsiToText(std::string_view(data + start, end - start));
        start = end;
        if (start < size && data[start] == '\r') {
            ++start;
        }
        if (start < size && data[start] == '\n') {
            ++start;
        }
        TNuclide n;
        n.Name = NextField(rest).left(5);
        n.Energy = LibraryNumber(NextField(rest), DecimalSeparator);
        n.Probability = LibraryNumber(NextField(rest), DecimalSeparator);
        if (n.Energy == -1 || n.Probability == -1 || n.Name.isEmpty()) {
            continue;
        }
        Candidates.push_back(n);
        CandidateLines.append(CandidateLine(n));
    }
}

// --- Calibration points and regressions ----------------------------------------

QStringList TCalibrationTool::GridHeader() {
    return {QCoreApplication::translate(Context, "Name"),
            QCoreApplication::translate(Context, "Energy"),
            QCoreApplication::translate(Context, "Position"),
            QCoreApplication::translate(Context, "Sigma")};
}

QStringList TCalibrationTool::PresentCalibrationMemo(const TSampleFile& sample) const {
    const TEnergyCalibration e = sample.Calibration.ECal;
    const TPeakWidthCalibration w = sample.Calibration.WCal;
    const auto fixed = [&](float v) {
        return Text(FormatFixed(static_cast<double>(v), 6, 6, DecimalSeparator));
    };
    return {QCoreApplication::translate(Context, "Energy calibration"),
            Stars,
            QStringLiteral("C0: ") + fixed(e.C0),
            QStringLiteral("C1: ") + fixed(e.C1),
            QStringLiteral("C2: ") + fixed(e.C2),
            QStringLiteral("C3: ") + fixed(e.C3),
            QCoreApplication::translate(Context, "Peak width calibration"),
            Stars,
            QStringLiteral("W0: ") + fixed(w.W0),
            QStringLiteral("W1: ") + fixed(w.W1),
            QStringLiteral("W2: ") + fixed(w.W2)};
}

void TCalibrationTool::AddPoint(int index) {
    HeaderShown = true;
    if (index < 0 || index >= static_cast<int>(Candidates.size())) {
        return;
    }
    // A located peak at or below channel 0 has no relative width, and its
    // point could not be fitted: it is not added.
    if (!(Position() > 0)) {
        return;
    }
    const TNuclide& n = Candidates[index];
    Points.push_back({n.Name, QString::number(n.Energy), PositionText(), SigmaText()});
    RecomputeRegressions();
}

void TCalibrationTool::RemovePoint(int row) {
    if (row <= 0 || row > static_cast<int>(Points.size())) {
        return;
    }
    Points.erase(Points.begin() + (row - 1));
    RecomputeRegressions();
}

void TCalibrationTool::ClearPoints() {
    Points.clear();
    RecomputeRegressions();
}

int TCalibrationTool::Terms(TRegression regression) const {
    const int n = std::min(static_cast<int>(Points.size()), MaxFittedPoints);
    return n < 2 ? 0 : TermsFor(regression, n);
}

void TCalibrationTool::RecomputeRegressions() {
    // OK stays disabled until the fits have all succeeded, so it never
    // applies coefficients left from an earlier set of points.
    OkEnabled = false;
    Memo.clear();
    const int total = static_cast<int>(Points.size());
    if (total < 2) {
        return;
    }
    const int n = std::min(total, MaxFittedPoints);

    std::array<double, MaxFittedPoints> e{}, ch{}, s{}, v{}, srel{};
    const QStringList header = GridHeader();
    for (int i = 0; i < n; ++i) {
        const TCalPoint& p = Points[i];
        e[i] = CellValue(p.Energy, DecimalSeparator, i + 1, header[1]);
        ch[i] = CellValue(p.Position, DecimalSeparator, i + 1, header[2]);
        s[i] = CellValue(p.Sigma, DecimalSeparator, i + 1, header[3]);
        // The peak width in keV is relative to the position: a point at or
        // below channel 0 has none.
        if (!(ch[i] > 0)) {
            throw EMathError(
                QStringLiteral("Calibration point %1 lies at channel %2: its peak width in keV "
                               "is undefined")
                    .arg(i + 1)
                    .arg(p.Position));
        }
        v[i] =
            Spectrum.AdcResolution < 1 ? 0 : Spectrum.RefVoltage * ch[i] / Spectrum.AdcResolution;
        srel[i] = e[i] * s[i] / ch[i];
    }

    struct TFit {
        const std::array<double, MaxFittedPoints>& X;
        const std::array<double, MaxFittedPoints>& Y;
    };
    const std::array<TFit, RegressionCount> fits{
        {{ch, e}, {ch, s}, {e, ch}, {v, e}, {e, v}, {e, srel}}};
    for (int r = 0; r < RegressionCount; ++r) {
        const int terms = TermsFor(TRegression(r), n);
        TPolynomCoefficients& coef = Coefficients[r];
        PolyFit(std::span<const double>(fits[r].X.data(), n),
                std::span<const double>(fits[r].Y.data(), n), coef, Correlations[r], n, terms);
        std::fill(coef.begin() + terms, coef.end(), 0.0);
    }

    QStringList memo;
    memo << QStringLiteral("ADC:") + QString::number(Spectrum.AdcResolution) +
                QStringLiteral("ch; Vref:") +
                Text(FormatGeneral(Spectrum.RefVoltage, DecimalSeparator)) + QStringLiteral("mV;");
    memo << QStringLiteral("Size:") + QString::number(Spectrum.Size) +
                QStringLiteral("ch; Offset:") +
                Text(FormatGeneral(Spectrum.Offset, DecimalSeparator)) + QStringLiteral("ch;");
    for (int r = 0; r < RegressionCount; ++r) {
        memo << Separator << Heading(TRegression(r));
        const int terms = TermsFor(TRegression(r), n);
        for (int j = 0; j < terms; ++j) {
            memo << QStringLiteral("x^") + QString::number(j) + QStringLiteral(" ->  ") +
                        Text(FormatScientific(Coefficients[r][j], DecimalSeparator));
        }
        memo << QCoreApplication::translate(Context, "Correlation = ") +
                    Text(FormatFixed(Correlations[r], 15, 6, DecimalSeparator));
    }
    Memo = memo;
    OkEnabled = true;
}

void TCalibrationTool::ApplyTo(TSampleFile& sample) const {
    const TPolynomCoefficients& c = Coefficients[ChvsE];
    const TPolynomCoefficients& w = Coefficients[SvsCh];
    sample.Calibration.ECal = {ToSingle(c[0]), ToSingle(c[1]), ToSingle(c[2]), ToSingle(c[3])};
    sample.Calibration.WCal = {ToSingle(w[0]), ToSingle(w[1]), ToSingle(w[2])};
    sample.CalibrationType = 0;
}

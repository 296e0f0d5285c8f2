// The records of one measurement and of the analysis state.
//
// The packed records are a file and wire format: their layout is fixed byte
// for byte and checked below. Never bind a reference or pointer to a member of
// a packed record (its address may be misaligned); copy values in and out.
#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <type_traits>

inline constexpr int MaxChannels = 4096;
inline constexpr int MaxPeaks = 16;
inline constexpr int MaxCommentLength = 255;

#pragma pack(push, 1)

struct TSampleParameter {
    std::uint8_t SampleType;      // instrument's sample type code, carried only
    std::uint32_t SampleInterval; // measuring time in seconds
    float Volume;                 // carried and exported, not analysed
    float Weight;                 // sample mass in kg
    std::uint16_t SerialNumber;   // serial number of the measuring instrument
    std::uint32_t SampleID;       // instrument's unique sample number
};

struct TSpectrum {
    std::uint16_t Size;   // channels in use, at most 4096
    std::uint16_t Offset; // channel offset as delivered
    float Channel[MaxChannels];
};

struct TSample {
    TSampleParameter Parameter;
    TSpectrum Spectrum;
};

// Maps an energy in keV to a channel: C3*E^3 + C2*E^2 + C1*E + C0.
struct TEnergyCalibration {
    float C0, C1, C2, C3;
};

// Peak width (one standard deviation): W2*x^2 + W1*x + W0.
struct TPeakWidthCalibration {
    float W0, W1, W2;
};

// Efficiency: A0*E^B0 above Ecut, a straight line of slope m below.
struct TEfficiencyCalibration {
    float A0, B0, Ecut, m;
};

struct TDetectorCalibration {
    TEnergyCalibration ECal;
    TPeakWidthCalibration WCal;
    TEfficiencyCalibration RCal;
};

struct TPeakEntry {
    char Name[16];        // ANSI, ends at the first zero byte or after 16 characters
    std::uint16_t Energy; // keV
    float Probability;    // emission probability in percent
    float Limit;          // Bq/kg; 0 or below means no limit
};

struct TPeakList {
    std::uint8_t Size;
    TPeakEntry Peak[MaxPeaks];
};

// Error -1 marks a detection limit; (0, 0, 0) marks "no result".
struct TPeakResult {
    float Activity; // Bq/kg
    float Error;    // percent at 1.96 standard deviations
    float Area;     // net counts
};

struct TResultList {
    std::uint8_t Size;
    TPeakResult Result[MaxPeaks];
};

struct TSampleFile {
    std::uint8_t Valid; // 1: the record holds a sample
    TSample Sample;
    TDetectorCalibration Calibration;
    TPeakList PeakList;
    TResultList Results;
    std::uint8_t CalibrationType; // 0: width in channels vs channel; 1: keV vs energy
    std::uint8_t Comment[256];    // length byte, then up to 255 ANSI characters
};

// The instrument's measuring configuration.
struct TSpecConfig {
    float PeakThreshold;      // mV
    std::uint16_t TimeToPeak; // µs
    std::uint8_t Mode;        // bit 0: the instrument subtracts its background
    float RequestedDL;        // travels little-endian on the line
    std::int8_t PeakIndexDL;  // -1 for none
};

#pragma pack(pop)

// Binding layout of the packed records.
static_assert(sizeof(TSampleParameter) == 19);
static_assert(offsetof(TSampleParameter, SampleType) == 0);
static_assert(offsetof(TSampleParameter, SampleInterval) == 1);
static_assert(offsetof(TSampleParameter, Volume) == 5);
static_assert(offsetof(TSampleParameter, Weight) == 9);
static_assert(offsetof(TSampleParameter, SerialNumber) == 13);
static_assert(offsetof(TSampleParameter, SampleID) == 15);

static_assert(sizeof(TSpectrum) == 16388);
static_assert(offsetof(TSpectrum, Size) == 0);
static_assert(offsetof(TSpectrum, Offset) == 2);
static_assert(offsetof(TSpectrum, Channel) == 4);

static_assert(sizeof(TSample) == 16407);
static_assert(offsetof(TSample, Parameter) == 0);
static_assert(offsetof(TSample, Spectrum) == 19);

static_assert(sizeof(TEnergyCalibration) == 16);
static_assert(offsetof(TEnergyCalibration, C0) == 0);
static_assert(offsetof(TEnergyCalibration, C1) == 4);
static_assert(offsetof(TEnergyCalibration, C2) == 8);
static_assert(offsetof(TEnergyCalibration, C3) == 12);
static_assert(sizeof(TPeakWidthCalibration) == 12);
static_assert(offsetof(TPeakWidthCalibration, W0) == 0);
static_assert(offsetof(TPeakWidthCalibration, W1) == 4);
static_assert(offsetof(TPeakWidthCalibration, W2) == 8);
static_assert(sizeof(TEfficiencyCalibration) == 16);
static_assert(offsetof(TEfficiencyCalibration, A0) == 0);
static_assert(offsetof(TEfficiencyCalibration, B0) == 4);
static_assert(offsetof(TEfficiencyCalibration, Ecut) == 8);
static_assert(offsetof(TEfficiencyCalibration, m) == 12);
static_assert(sizeof(TDetectorCalibration) == 44);
static_assert(offsetof(TDetectorCalibration, ECal) == 0);
static_assert(offsetof(TDetectorCalibration, WCal) == 16);
static_assert(offsetof(TDetectorCalibration, RCal) == 28);

static_assert(sizeof(TPeakEntry) == 26);
static_assert(offsetof(TPeakEntry, Name) == 0);
static_assert(offsetof(TPeakEntry, Energy) == 16);
static_assert(offsetof(TPeakEntry, Probability) == 18);
static_assert(offsetof(TPeakEntry, Limit) == 22);
static_assert(sizeof(TPeakList) == 417);
static_assert(offsetof(TPeakList, Size) == 0);
static_assert(offsetof(TPeakList, Peak) == 1);

static_assert(sizeof(TPeakResult) == 12);
static_assert(offsetof(TPeakResult, Activity) == 0);
static_assert(offsetof(TPeakResult, Error) == 4);
static_assert(offsetof(TPeakResult, Area) == 8);
static_assert(sizeof(TResultList) == 193);
static_assert(offsetof(TResultList, Size) == 0);
static_assert(offsetof(TResultList, Result) == 1);

static_assert(sizeof(TSampleFile) == 17319);
static_assert(offsetof(TSampleFile, Valid) == 0);
static_assert(offsetof(TSampleFile, Sample) == 1);
static_assert(offsetof(TSampleFile, Sample) + offsetof(TSample, Spectrum) +
                  offsetof(TSpectrum, Channel) ==
              24);
static_assert(offsetof(TSampleFile, Calibration) == 16408);
static_assert(offsetof(TSampleFile, PeakList) == 16452);
static_assert(offsetof(TSampleFile, Results) == 16869);
static_assert(offsetof(TSampleFile, CalibrationType) == 17062);
static_assert(offsetof(TSampleFile, Comment) == 17063);

static_assert(sizeof(TSpecConfig) == 12);
static_assert(offsetof(TSpecConfig, PeakThreshold) == 0);
static_assert(offsetof(TSpecConfig, TimeToPeak) == 4);
static_assert(offsetof(TSpecConfig, Mode) == 6);
static_assert(offsetof(TSpecConfig, RequestedDL) == 7);
static_assert(offsetof(TSpecConfig, PeakIndexDL) == 11);

static_assert(std::is_trivially_copyable_v<TSampleFile>);
static_assert(std::is_trivially_copyable_v<TPeakList>);
static_assert(std::is_trivially_copyable_v<TSpecConfig>);

// --- Solver results: in memory only, layout free ---------------------------

inline constexpr int SolverEntries = 17; // indexed like the peak list; 0..15 used

struct TDoubletSolution {
    double Slope = 0;     // baseline counts per channel
    double Intercept = 0; // baseline value at channel 0
    std::int32_t CenterA = 0, CenterB = 0;
    double SigmaA = 0, SigmaB = 0;
    double AreaA = 0, AreaB = 0;               // net counts, or detection limit
    double UncertaintyA = 0, UncertaintyB = 0; // counts at 1.96 sd, -1 if not significant
};

struct TDoubletResult {
    bool Solved = false;
    TPeakEntry Peak{};
    TPeakEntry Partner{};
    float Activity = 0, Error = 0, Area = 0; // a TPeakResult
    TDoubletSolution Solution{};
    std::int32_t PairIndex = 0; // 0: PeakA of the pair, 1: PeakB

    TPeakResult AsResult() const { return {Activity, Error, Area}; }
};

struct TDoubletResultList {
    bool Valid = false;
    std::int32_t Size = 0;
    TDoubletResult Result[SolverEntries]{};
};

struct TTrapezoidGeometry {
    std::int32_t CenterChannel = 0, PeakFirst = 0, PeakLast = 0, LeftLast = 0, LeftFirst = 0,
                 RightLast = 0, RightFirst = 0;
    double Sigma = 0, Slope = 0, Intercept = 0, NetArea = 0, LimitArea = 0, BackgroundArea = 0;
};

struct TTrapezoidResult {
    bool Significant = false;
    TTrapezoidGeometry Geometry{};
    float Activity = 0, Error = 0, Area = 0; // a TPeakResult

    TPeakResult AsResult() const { return {Activity, Error, Area}; }
};

struct TTrapezoidResultList {
    bool Valid = false;
    std::int32_t Size = 0;
    TTrapezoidResult Result[SolverEntries]{};
};

// Peaks selected for the trapezoid solver, indexed like the peak list.
struct TBoolArray {
    bool Flag[SolverEntries]{};
    bool& operator[](int i) { return Flag[i]; }
    bool operator[](int i) const { return Flag[i]; }
};

// The clipped analysis setup.
struct TPostAnalysis {
    TDetectorCalibration Calibration{};
    TPeakList PeakList{};
    QString EWCalOrigin, EfficiencyOrigin, PeakListOrigin;
    bool SolveDoublets = false;
    bool SolveTrapezoid = false;
    TBoolArray TrapezoidSelection{};
};

// Everything the main window owns for the whole run of the program.
struct TAnalysisState {
    TSampleFile MeasuredSample{};
    TSampleFile BackgroundSample{};
    TDoubletResultList DoubletResults{};
    TTrapezoidResultList TrapezoidResults{};
    TBoolArray TrapezoidSelection{};
    TPostAnalysis PostAnalysis{};
    QString EWCalOrigin, EfficiencyOrigin, PeakListOrigin, SampleOrigin, BackgroundOrigin;
};

// --- Conversions --------------------------------------------------------------

// True when a stored Boolean byte holds the value 1.
inline bool IsTrue(std::uint8_t b) {
    return b == 1;
}

// The comment's characters 1..n, converted from Windows-1252.
QString CommentToText(const TSampleFile& sample);

// Converts to Windows-1252 (unmappable characters become '?'), cuts to 255
// characters and sets the length byte. Bytes after the text are left as they are.
void TextToComment(TSampleFile& sample, const QString& text);

// The name up to the first zero byte, at most 16 characters, from Windows-1252.
QString PeakNameToText(const TPeakEntry& peak);

// Stores a name converted to Windows-1252, cut to 16 bytes, zero-filled.
void SetPeakName(TPeakEntry& peak, const QString& name);

// Number of channels that may be read safely: Size clamped to 0..4096.
inline int UsableChannels(const TSpectrum& s) {
    return s.Size > MaxChannels ? MaxChannels : s.Size;
}

// Number of peaks that may be read safely: Size clamped to 0..16.
inline int UsablePeaks(const TPeakList& l) {
    return l.Size > MaxPeaks ? MaxPeaks : l.Size;
}

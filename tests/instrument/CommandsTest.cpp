// The command functions against the simulated instrument in the same
// process: frames and byte order as the simulator received them, answers
// and their conversion, and the status of every injected fault.
#include "InstrumentFixtures.h"

#include "instrument/ByteOrder.h"
#include "instrument/InstrumentCommands.h"
#include "zksim/SimPort.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cstring>
#include <functional>

namespace {

// For every test of this executable.
[[maybe_unused]] auto* const QtEnvironment =
    ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

using TCommand = std::function<TComStatus(const QString& port, const TInstrumentLink& link)>;

// Any name opens a port of the simulator.
const QString Port = QStringLiteral("COM1");

QString Hex(const std::uint8_t* p, int n) {
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(p), n).toHex().toUpper());
}

TEST(ByteOrderTest, SwapsAndBigEndianValues) {
    std::uint8_t b32[4] = {0x00, 0x00, 0x00, 0x01};
    SwapBytes32(b32);
    std::uint32_t v = 0;
    std::memcpy(&v, b32, 4);
    EXPECT_EQ(v, 1u);
    std::uint8_t b16[2] = {0x02, 0x96};
    EXPECT_EQ(ReadBE16(b16), 662);
    SwapBytes16(b16);
    std::uint16_t w = 0;
    std::memcpy(&w, b16, 2);
    EXPECT_EQ(w, 662);
    std::uint8_t out[4];
    WriteBE32(out, 0x3F800000u);
    EXPECT_EQ(Hex(out, 4), "3F800000");
}

// --- Frames as they leave the workstation ---------------------------------

struct TFrameCase {
    const char* Name;
    TCommand Command;
    const char* Codes;   // the frames sent, in order
    const char* Payload; // the 26 data bytes of frame number `Frame`
    int Frame = 0;
};

void PrintTo(const TFrameCase& c, std::ostream* os) {
    *os << c.Name;
}

// Calibration values whose big-endian bytes the frame table spells out.
TDetectorCalibration OneCalibration() {
    TDetectorCalibration c{};
    c.ECal = {1.0f, 2.0f, 0.0f, -1.0f};
    c.WCal = {0.5f, 0.0f, 0.0f};
    c.RCal = {1.0f, 0.0f, 0.0f, 0.0f};
    return c;
}

TPeakList ThreePeaks() {
    TPeakList list{};
    for (int i = 0; i < 3; ++i) {
        AddPeak(list, PeakLine("Cs137", 662, 1.0f, -1.0f));
    }
    return list;
}

class FrameTest : public ::testing::TestWithParam<TFrameCase> {};

TEST_P(FrameTest, SendsFramesInOrderWithBigEndianPayload) {
    TSimulator sim(TSimMemory::Demo()); // six stored samples to select from
    const TFrameCase& c = GetParam();
    EXPECT_EQ(c.Command(Port, sim.Link()), ComStatus::Ok);
    EXPECT_EQ(sim.Codes(), c.Codes);
    EXPECT_EQ(sim.Payload(c.Frame), c.Payload);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, FrameTest,
    ::testing::Values(
        TFrameCase{.Name = "SelectSampleFive",
                   .Command =
                       [](const QString& p, const TInstrumentLink& l) {
                           const TComStatus s = ComBeginDownload(p, l);
                           return s != 0 ? s : ComSelectSample(p, 5, l);
                       },
                   .Codes = "21 23",
                   .Payload = "0000000500000000000000000000000000000000000000000000",
                   .Frame = 1},
        TFrameCase{.Name = "EnergyCalibrationSingles",
                   .Command =
                       [](const QString& p, const TInstrumentLink& l) {
                           return ComWriteEWCalibration(p, OneCalibration(), l);
                       },
                   .Codes = "2 3 1",
                   .Payload = "3F8000004000000000000000BF800000"
                              "00000000000000000000"},
        TFrameCase{.Name = "EfficiencyCalibration",
                   .Command =
                       [](const QString& p, const TInstrumentLink& l) {
                           return ComWriteEfficiency(p, OneCalibration(), l);
                       },
                   .Codes = "4 1",
                   .Payload = "3F800000000000000000000000000000000000000000000000"
                              "00"},
        TFrameCase{.Name = "PeakListOfThree",
                   .Command =
                       [](const QString& p, const TInstrumentLink& l) {
                           return ComWritePeakList(p, ThreePeaks(), l);
                       },
                   .Codes = "8 9 9 1",
                   // Name as is, Energy 662 = 02 96, 1.0 = 3F800000, -1.0 = BF800000.
                   .Payload = "4373313337000000000000000000000002963F800000BF800000"},
        TFrameCase{
            .Name = "EmptyPeakList",
            .Command = [](const QString& p,
                          const TInstrumentLink& l) { return ComWritePeakList(p, TPeakList{}, l); },
            .Codes = "1",
            .Payload = "0000000000000000000000000000000000000000000000000000"},
        TFrameCase{.Name = "SpecConfigDetectionLimitLittleEndian",
                   .Command =
                       [](const QString& p, const TInstrumentLink& l) {
                           return ComWriteSpecConfig(p, TSpecConfig{100.0f, 2, 5, 100.0f, -1}, l);
                       },
                   .Codes = "25 1",
                   .Payload = "42C800000002050000C842FF0000000000000000000000000000"},
        TFrameCase{.Name = "ReadInfoHasNoPayload",
                   .Command =
                       [](const QString& p, const TInstrumentLink& l) {
                           TInstrumentInfo info{};
                           return ComReadInstrumentInfo(p, info, l);
                       },
                   .Codes = "27",
                   .Payload = "0000000000000000000000000000000000000000000000000000"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(WriteTest, WritesDoNotChangeTheCallersRecord) {
    TSimulator sim(TSimMemory{});
    const TDetectorCalibration cal = OneCalibration();
    TDetectorCalibration copy = cal;
    ASSERT_EQ(ComWriteEWCalibration(Port, copy, sim.Link()), ComStatus::Ok);
    EXPECT_EQ(std::memcmp(&copy, &cal, sizeof cal), 0);
}

// --- Faults ------------------------------------------------------------------

struct TFaultCase {
    const char* Name;
    const char* Fault; // as zksim --fault
    TCommand Command;
    TComStatus Status;
    const char* Codes; // frames sent
};

void PrintTo(const TFaultCase& c, std::ostream* os) {
    *os << c.Name;
}

TComStatus ReadSpectrum(const QString& p, const TInstrumentLink& l) {
    auto s = std::make_unique<TSpectrum>();
    return ComReadSpectrum(p, *s, l);
}

class FaultTest : public ::testing::TestWithParam<TFaultCase> {};

TEST_P(FaultTest, GivesItsStatusAndStopsTheSequence) {
    const TFaultCase& c = GetParam();
    TSimulator sim(TSimMemory{});
    ASSERT_TRUE(sim.AddFault(QString::fromLatin1(c.Fault)));
    EXPECT_EQ(c.Command(Port, sim.Link()), c.Status);
    EXPECT_EQ(sim.Codes(), c.Codes);
}

const TCommand BeginDownload = [](const QString& p, const TInstrumentLink& l) {
    return ComBeginDownload(p, l);
};

INSTANTIATE_TEST_SUITE_P(
    Statuses, FaultTest,
    ::testing::Values(TFaultCase{"StatusByteDone", "busy:22", BeginDownload, 0, "21"},
                      TFaultCase{"StatusByteMemoryFailed", "memfail:21", BeginDownload, 3, "21"},
                      TFaultCase{"StatusByteBusy", "busy:21", BeginDownload, 4, "21"},
                      TFaultCase{"StatusByteUnexpected", "unexpected:21", BeginDownload, 5, "21"},
                      TFaultCase{"StatusByteMissing", "silent:21", BeginDownload, 2, "21"},
                      TFaultCase{"AckValueIgnored", "unexpected:19",
                                 [](const QString& p, const TInstrumentLink& l) {
                                     return ComResetSampleID(p, l);
                                 },
                                 0, "19"},
                      TFaultCase{"ShortInfo", "short:27",
                                 [](const QString& p, const TInstrumentLink& l) {
                                     TInstrumentInfo i{};
                                     return ComReadInstrumentInfo(p, i, l);
                                 },
                                 2, "27"},
                      TFaultCase{"ShortCountAnswer", "short:17",
                                 [](const QString& p, const TInstrumentLink& l) {
                                     std::uint32_t n = 0;
                                     return ComGetSampleCount(p, n, l);
                                 },
                                 2, "17"},
                      TFaultCase{"CalibrationStopsAtShortPart", "short:6",
                                 [](const QString& p, const TInstrumentLink& l) {
                                     TDetectorCalibration c{};
                                     return ComReadCalibration(p, c, l);
                                 },
                                 2, "5 6"},
                      TFaultCase{"MissingAckEndsWithoutClosingFrame", "silent:9:1",
                                 [](const QString& p, const TInstrumentLink& l) {
                                     return ComWritePeakList(p, ThreePeaks(), l);
                                 },
                                 2, "8 9"},
                      TFaultCase{"MissingAckOfConfiguration", "silent:25",
                                 [](const QString& p, const TInstrumentLink& l) {
                                     return ComWriteSpecConfig(p, TSpecConfig{}, l);
                                 },
                                 2, "25"},
                      TFaultCase{"PeakListSizeAbove16", "oversize:10",
                                 [](const QString& p, const TInstrumentLink& l) {
                                     TPeakList list{};
                                     return ComReadPeakList(p, list, l);
                                 },
                                 5, "10"},
                      TFaultCase{"ResultListSizeAbove16", "oversize:13",
                                 [](const QString& p, const TInstrumentLink& l) {
                                     TResultList r{};
                                     return ComReadResults(p, r, l);
                                 },
                                 5, "13"},
                      TFaultCase{"SpectrumBlockAbove16388", "oversize:20", ReadSpectrum, 5, "20"},
                      TFaultCase{"SpectrumCountBeyondBlock", "overcount:11", ReadSpectrum, 5,
                                 "20 11"},
                      TFaultCase{"SpectrumBlockShort", "short:11", ReadSpectrum, 2, "20 11"},
                      TFaultCase{"SpectrumLengthMissing", "silent:20", ReadSpectrum, 2, "20"}),
    [](const auto& info) { return std::string(info.param.Name); });

// --- Answers and their conversion -------------------------------------------

// A simulator whose current sample is `current`; identity and configuration
// as the instrument's defaults (serial number 1234, threshold 100, time to
// peak 2, detection limit 100, peak index -1).
TSimMemory MemoryWith(const TSampleFile& current) {
    TSimMemory memory;
    memory.Current = current;
    return memory;
}

TEST(AnswerTest, SampleFileIsReadInFiveOpeningsAndConverted) {
    auto stored = MakeTestSample(4096, 4711);
    TSimulator sim(MemoryWith(*stored));

    auto sample = std::make_unique<TSampleFile>();
    sample->CalibrationType = 1;
    TextToComment(*sample, QStringLiteral("kept"));
    ASSERT_EQ(ComReadSampleFile(Port, *sample, sim.Link()), ComStatus::Ok);
    EXPECT_EQ(sim.Codes(), "5 6 7 10 12 20 11 13");
    EXPECT_EQ(sim.Openings(), 5);
    EXPECT_EQ(sim.Closings(), 5);
    EXPECT_EQ(Copy(sample->Valid), 1);
    EXPECT_EQ(Copy(sample->CalibrationType), 1);
    EXPECT_EQ(CommentToText(*sample), "kept");
    // Everything else arrives byte for byte as stored in the instrument.
    auto expected = std::make_unique<TSampleFile>(*stored);
    expected->CalibrationType = 1;
    std::memcpy(expected->Comment, sample->Comment, sizeof expected->Comment);
    EXPECT_EQ(std::memcmp(sample.get(), expected.get(), sizeof(TSampleFile)), 0);
}

TEST(AnswerTest, ShortSpectrumBlockFillsItsChannelsOnlyAndKeepsSign) {
    auto stored = MakeTestSample(100, 1);
    stored->Sample.Spectrum.Channel[5] = -1.0f;
    stored->Sample.Spectrum.Channel[6] = 16777217.0f; // stored as the nearest Single
    TSimulator sim(MemoryWith(*stored));

    auto spectrum = std::make_unique<TSpectrum>();
    for (float& c : spectrum->Channel) {
        c = 42.0f;
    }
    ASSERT_EQ(ComReadSpectrum(Port, *spectrum, sim.Link()), ComStatus::Ok);
    EXPECT_EQ(Copy(spectrum->Size), 100);
    EXPECT_EQ(Copy(spectrum->Offset), 7);
    EXPECT_EQ(Copy(spectrum->Channel[0]), 1.0f);
    EXPECT_EQ(Copy(spectrum->Channel[5]), -1.0f);
    EXPECT_EQ(Copy(spectrum->Channel[99]), 298.0f);
    EXPECT_EQ(Copy(spectrum->Channel[100]), 42.0f);
    EXPECT_EQ(Copy(spectrum->Channel[4095]), 42.0f);
}

TEST(AnswerTest, FailedReadsKeepWhatTheirRulesKeep) {
    TSimulator sim(MemoryWith(*MakeTestSample(64, 99)));
    for (const char* fault : {"short:27", "short:26", "short:12", "overcount:11", "short:10"}) {
        ASSERT_TRUE(sim.AddFault(QString::fromLatin1(fault)));
    }
    const TInstrumentLink link = sim.Link();
    // Info: SerialNumber converted although the answer is one byte short.
    TInstrumentInfo info{};
    info.UpdateYear = 77;
    EXPECT_EQ(ComReadInstrumentInfo(Port, info, link), ComStatus::TimeOut);
    EXPECT_EQ(Copy(info.SerialNumber), 1234);
    EXPECT_EQ(Copy(info.UpdateYear), 77);
    // Configuration: threshold and time to peak converted even when short.
    TSpecConfig config{};
    EXPECT_EQ(ComReadSpecConfig(Port, config, link), ComStatus::TimeOut);
    EXPECT_EQ(Copy(config.PeakThreshold), 100.0f);
    EXPECT_EQ(Copy(config.TimeToPeak), 2);
    // Parameters: the received bytes stay unconverted.
    TSampleParameter parameter{};
    EXPECT_EQ(ComReadParameter(Port, parameter, link), ComStatus::TimeOut);
    std::uint8_t raw[sizeof parameter];
    std::memcpy(raw, &parameter, sizeof raw);
    EXPECT_EQ(Hex(raw + 13, 2), "04D2"); // 1234, as it travelled
    // Spectrum and peak list: the destination is unchanged.
    auto spectrum = std::make_unique<TSpectrum>();
    spectrum->Size = 3;
    EXPECT_EQ(ComReadSpectrum(Port, *spectrum, link), ComStatus::Unexpected);
    EXPECT_EQ(Copy(spectrum->Size), 3);
    EXPECT_EQ(Copy(spectrum->Channel[0]), 0.0f);
    TPeakList list{};
    list.Size = 9;
    EXPECT_EQ(ComReadPeakList(Port, list, link), ComStatus::TimeOut);
    EXPECT_EQ(Copy(list.Size), 9);
}

TEST(AnswerTest, SampleReadFailingPartWayKeepsPartsReadAndValidity) {
    TSimulator sim(MemoryWith(*MakeTestSample(128, 5)));
    ASSERT_TRUE(sim.AddFault(QStringLiteral("silent:12")));
    auto sample = std::make_unique<TSampleFile>();
    ASSERT_EQ(ComReadSampleFile(Port, *sample, sim.Link()), ComStatus::TimeOut);
    EXPECT_EQ(sim.Codes(), "5 6 7 10 12");
    EXPECT_EQ(sim.Openings(), 3);
    EXPECT_EQ(sim.Closings(), 3);
    EXPECT_EQ(Copy(sample->Valid), 0);
    EXPECT_EQ(Copy(sample->PeakList.Size), 2);
    EXPECT_EQ(Copy(sample->Calibration.ECal.C1), 0.75f);
    EXPECT_EQ(Copy(sample->Sample.Spectrum.Size), 0);
}

TEST(AnswerTest, WritesReachTheInstrumentsMemory) {
    TSimulator sim(TSimMemory{});
    const TInstrumentLink link = sim.Link();
    ASSERT_EQ(ComWriteEWCalibration(Port, OneCalibration(), link), ComStatus::Ok);
    ASSERT_EQ(ComWritePeakList(Port, ThreePeaks(), link), ComStatus::Ok);
    ASSERT_EQ(ComWriteSpecConfig(Port, TSpecConfig{250.0f, 4, 1, 80.0f, 3}, link), ComStatus::Ok);
    // Read back through the same commands: the round trip converts both ways.
    TDetectorCalibration calibration{};
    ASSERT_EQ(ComReadCalibration(Port, calibration, link), ComStatus::Ok);
    EXPECT_EQ(Copy(calibration.ECal.C3), -1.0f);
    EXPECT_EQ(Copy(calibration.WCal.W0), 0.5f);
    TPeakList list{};
    ASSERT_EQ(ComReadPeakList(Port, list, link), ComStatus::Ok);
    EXPECT_EQ(Copy(list.Size), 3);
    EXPECT_EQ(Copy(list.Peak[2].Energy), 662);
    EXPECT_EQ(Copy(list.Peak[2].Limit), -1.0f);
    TSpecConfig config{};
    ASSERT_EQ(ComReadSpecConfig(Port, config, link), ComStatus::Ok);
    EXPECT_EQ(Copy(config.PeakThreshold), 250.0f);
    EXPECT_EQ(Copy(config.TimeToPeak), 4);
    EXPECT_EQ(Copy(config.Mode), 1);
    EXPECT_EQ(Copy(config.RequestedDL), 80.0f);
    EXPECT_EQ(Copy(config.PeakIndexDL), 3);
}

// --- The line between two openings ------------------------------------------

TEST(LinkTest, LateBytesOfAnEarlierAnswerAreDroppedAtTheNextOpening) {
    TSimulator sim(TSimMemory{});
    ASSERT_TRUE(sim.AddFault(QStringLiteral("late:27")));
    const TInstrumentLink link = sim.Link();
    TInstrumentInfo info{};
    ASSERT_EQ(ComReadInstrumentInfo(Port, info, link), ComStatus::Ok);
    EXPECT_EQ(sim.Queued(), 4); // waiting on the line after the port closed
    TSpecConfig config{};
    ASSERT_EQ(ComReadSpecConfig(Port, config, link), ComStatus::Ok);
    EXPECT_EQ(Copy(config.PeakThreshold), 100.0f);
    EXPECT_EQ(Copy(config.TimeToPeak), 2);
    EXPECT_EQ(Copy(config.RequestedDL), 100.0f);
    EXPECT_EQ(Copy(config.PeakIndexDL), -1);
}

TEST(LinkTest, PortInUseOrOfAnotherNameSendsNothing) {
    TSimulator sim(TSimMemory{});
    sim.SetPortName(QStringLiteral("COM3"));
    const TInstrumentLink link = sim.Link();
    TInstrumentInfo info{};
    EXPECT_EQ(ComReadInstrumentInfo(QStringLiteral("COM4"), info, link),
              ComStatus::PortNotAvailable);
    EXPECT_EQ(ComReadInstrumentInfo(QString(), info, link), ComStatus::PortNotAvailable);
    sim.SetHeld(true);
    EXPECT_EQ(ComClearMemory(QStringLiteral("COM3"), link), ComStatus::PortNotAvailable);
    EXPECT_EQ(sim.Codes(), "");
    EXPECT_EQ(sim.Openings(), 0);
    sim.SetHeld(false);
    EXPECT_EQ(ComReadInstrumentInfo(QStringLiteral("COM3"), info, link), ComStatus::Ok);
    EXPECT_EQ(Copy(info.SerialNumber), 1234);
}

// Mean counts per channel over [center - half, center + half].
double MeanAround(const TSpectrum& s, double center, int half) {
    double sum = 0;
    for (int i = static_cast<int>(center) - half; i <= static_cast<int>(center) + half; ++i) {
        sum += Copy(s.Channel[i]);
    }
    return sum / (2 * half + 1);
}

TEST(DemoMemoryTest, StoredSamplesOfBothSizesWithPeaksOnAFallingContinuum) {
    TSimulator sim(TSimMemory::Demo());
    const TInstrumentLink link = sim.Link();
    std::uint32_t count = 0;
    ASSERT_EQ(ComBeginDownload(Port, link), ComStatus::Ok);
    ASSERT_EQ(ComGetSampleCount(Port, count, link), ComStatus::Ok);
    EXPECT_EQ(count, 6u);
    for (std::uint32_t i = 0; i < 2; ++i) {
        auto sample = std::make_unique<TSampleFile>();
        ASSERT_EQ(ComSelectSample(Port, i, link), ComStatus::Ok);
        ASSERT_EQ(ComReadSampleFile(Port, *sample, link), ComStatus::Ok);
        const TSpectrum& s = sample->Sample.Spectrum;
        const int channels = Copy(s.Size);
        EXPECT_EQ(channels, i == 0 ? 1024 : 4096);
        const double perKeV = Copy(sample->Calibration.ECal.C1);
        // K-40 and Cs-137 stand out of their surroundings; the continuum falls.
        for (double energy : {1460.8, 661.7}) {
            EXPECT_GT(MeanAround(s, energy * perKeV, 2),
                      1.3 * MeanAround(s, (energy + 150) * perKeV, 2))
                << energy;
        }
        EXPECT_GT(MeanAround(s, 300 * perKeV, 3), 5 * MeanAround(s, 2000 * perKeV, 3));
        EXPECT_EQ(Copy(sample->PeakList.Size), 7);
    }
    EXPECT_EQ(ComEndDownload(Port, link), ComStatus::Ok);
    EXPECT_FALSE(sim.Instrument().Downloading());
}

} // namespace

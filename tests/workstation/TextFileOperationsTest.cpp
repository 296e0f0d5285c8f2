// "Sample" -> "Import" and "Export" as operations of the workstation session.
#include "SampleFixtures.h"
#include "TestHelpers.h"

#include "analysis/CalibrationFunctions.h"
#include "core/SpectrumTextFile.h"
#include "workstation/Workstation.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstring>
#include <memory>
#include <ostream>
#include <string>

namespace {

constexpr char Sep = '?';

std::string Join(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\r\n";
    }
    return text;
}

// A ZEMA file of three channels, 3000 mV over `adc` ADC channels, the
// voltage 1.5 + 0.75 E + 0.001 E^2.
std::string ZemaFile(const std::string& adc = "4096 ch", int counts = 3) {
    std::vector<std::string> lines(23, "x");
    lines[0] = "ZEMA";
    lines[4] = "U\t3000";
    lines[5] = "ADC\t" + adc;
    lines[6] = "Offset\t-2";
    lines[8] = "C\t1?5";
    lines[9] = "C\t0?75";
    lines[10] = "C\t0?001";
    lines[11] = "C\t0";
    lines[19] = "Time\tSPECTRUM";
    lines[22] = "x\t900";
    for (int i = 0; i < counts; ++i) {
        lines[22] += "\t" + std::to_string(10 + i);
    }
    return Join(lines);
}

std::string VintravaFile() {
    return Join({"[INFO]", "Device\tVintrava", "[CHANNELDATA]", "4", "5", "6"});
}

std::string HeliomatFile(const std::string& eMin = "100", const std::string& size = "4") {
    return Join({"ADR", "", "", "", "", "", "E_min\t" + eMin, "E_max\t300", "SAMPLE\t77",
                 "SIZE\t" + size, "", "", "1\t99", "2\t4", "3\t5", "4\t6", "5\t7"});
}

class TextFileOperations : public ::testing::Test {
protected:
    QTemporaryDir Dir;
    TWorkstation Session;

    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        // A sample of its own before the import: its peak list, results,
        // comment and calibration show what the import keeps.
        Session.State.MeasuredSample = *MakeTestSample(1024, 5);
        TextToComment(Session.State.MeasuredSample, "kept");
        Session.State.MeasuredSample.CalibrationType = 0;
        Session.State.DoubletResults.Valid = true;
        Session.State.TrapezoidResults.Valid = true;
        Session.State.SampleOrigin = "soil.vtb";
        Session.State.PeakListOrigin = "list.gpl";
    }

    QString Write(const QString& name, const std::string& text) {
        const QString path = Dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.data(), static_cast<qint64>(text.size()));
        return path;
    }

    QByteArray ReadBack(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

// --- Import ---------------------------------------------------------------------

struct ImportCase {
    const char* Name;
    std::string Text;
    std::uint16_t Size, Offset;
    std::uint32_t SampleInterval;
    std::vector<float> Channels; // the first ones
    bool SetsCalibration;
    TEnergyCalibration ECal; // when SetsCalibration
};

void PrintTo(const ImportCase& c, std::ostream* os) {
    *os << c.Name;
}

class ImportTest : public TextFileOperations, public ::testing::WithParamInterface<ImportCase> {};

TEST_P(ImportTest, MakesTheFileTheMeasuredSample) {
    const ImportCase& c = GetParam();
    const TSampleFile before = Session.State.MeasuredSample;
    const QString path = Write("spectrum.txt", c.Text);
    const TCommandResult r = Session.ImportSpectrum(path, Sep);
    ASSERT_TRUE(r.Ok()) << r.MessageText().toStdString();
    EXPECT_TRUE(r.Messages.isEmpty());
    EXPECT_EQ(r.Caption,
              "Imported from " + QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
    EXPECT_FALSE(r.Comment.has_value());
    EXPECT_EQ(r.Refresh, TRefresh::Analysis);

    const TAnalysisState& st = Session.State;
    const TSampleFile& s = st.MeasuredSample;
    EXPECT_EQ(+s.Valid, 1);
    EXPECT_EQ(+s.Sample.Spectrum.Size, c.Size);
    EXPECT_EQ(+s.Sample.Spectrum.Offset, c.Offset);
    for (std::size_t i = 0; i < c.Channels.size(); ++i) {
        EXPECT_EQ(+s.Sample.Spectrum.Channel[i], c.Channels[i]) << i;
    }
    // Channels beyond the imported ones keep what the sample had.
    EXPECT_EQ(+s.Sample.Spectrum.Channel[c.Size + 1], +before.Sample.Spectrum.Channel[c.Size + 1]);
    const TSampleParameter p = s.Sample.Parameter;
    EXPECT_EQ(+p.SampleInterval, c.SampleInterval);
    EXPECT_EQ(+p.SampleType, 0);
    EXPECT_EQ(+p.Volume, 1.0f);
    EXPECT_EQ(+p.Weight, 1.0f);
    EXPECT_EQ(+p.SerialNumber, 0);
    EXPECT_EQ(+p.SampleID, 0u);

    const TDetectorCalibration cal = s.Calibration;
    if (c.SetsCalibration) {
        EXPECT_NEAR_REL(cal.ECal.C0, c.ECal.C0, 1e-6);
        EXPECT_NEAR_REL(cal.ECal.C1, c.ECal.C1, 1e-6);
        EXPECT_NEAR_REL(cal.ECal.C2, c.ECal.C2, 1e-6);
        EXPECT_EQ(+cal.ECal.C3, +c.ECal.C3);
        EXPECT_EQ(+cal.WCal.W0, 0.26128f);
        EXPECT_EQ(+cal.WCal.W1, 0.039008f);
        EXPECT_EQ(+cal.WCal.W2, -0.0000096308f);
        EXPECT_EQ(+cal.RCal.A0, -0.00103f);
        EXPECT_EQ(+cal.RCal.B0, 0.02f);
        EXPECT_EQ(+cal.RCal.Ecut, 662.0f);
        EXPECT_EQ(+cal.RCal.m, 1.0f);
        EXPECT_EQ(+s.CalibrationType, 1);
    } else {
        EXPECT_EQ(std::memcmp(&s.Calibration, &before.Calibration, sizeof cal), 0);
        EXPECT_EQ(+s.CalibrationType, 0);
    }
    EXPECT_EQ(std::memcmp(&s.PeakList, &before.PeakList, sizeof s.PeakList), 0);
    EXPECT_EQ(std::memcmp(&s.Results, &before.Results, sizeof s.Results), 0);
    EXPECT_EQ(CommentToText(s), "kept");
    EXPECT_EQ(st.EWCalOrigin, "spectrum.txt");
    EXPECT_EQ(st.EfficiencyOrigin, "spectrum.txt");
    EXPECT_EQ(st.SampleOrigin, "soil.vtb");
    EXPECT_EQ(st.PeakListOrigin, "list.gpl");
    EXPECT_FALSE(st.DoubletResults.Valid);
    EXPECT_FALSE(st.TrapezoidResults.Valid);
}

constexpr double MvPerChannel = 3000.0 / 4096;

INSTANTIATE_TEST_SUITE_P(
    Table, ImportTest,
    ::testing::Values(
        ImportCase{"Zema",
                   ZemaFile(),
                   3,
                   65534,
                   900,
                   {10, 11, 12},
                   true,
                   TEnergyCalibration{float(1.5 / MvPerChannel), float(0.75 / MvPerChannel),
                                      float(0.001 / MvPerChannel), 0}},
        ImportCase{
            "VintravaKeepsTheCalibration", VintravaFile(), 256, 0, 0, {4, 5, 6, 0}, false, {}},
        ImportCase{"Heliomat",
                   HeliomatFile(),
                   4,
                   0,
                   77,
                   {0, 4, 5, 6},
                   true,
                   TEnergyCalibration{-2, 0.02f, 0.000001f, 0}}),
    [](const auto& info) { return info.param.Name; });

struct RefusalCase {
    const char* Name;
    std::string Text;
    int Status;
    const char* Message; // after "<path>"; empty for none
};

void PrintTo(const RefusalCase& c, std::ostream* os) {
    *os << c.Name;
}

class RefusalTest : public TextFileOperations, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusalTest, ChangesNothing) {
    const RefusalCase& c = GetParam();
    const auto before = std::make_unique<TSampleFile>(Session.State.MeasuredSample);
    const QString path = Write("bad.txt", c.Text);
    TTextSpectrum read;
    const TCommandResult r = Session.ImportSpectrum(path, Sep, &read);
    EXPECT_EQ(r.Status, c.Status);
    if (*c.Message) {
        EXPECT_EQ(r.MessageText(), QDir::toNativeSeparators(path) + c.Message);
    } else {
        EXPECT_TRUE(r.Messages.isEmpty());
    }
    EXPECT_FALSE(r.Caption.has_value());
    EXPECT_EQ(r.Refresh, TRefresh::None);
    EXPECT_EQ(std::memcmp(before.get(), &Session.State.MeasuredSample, sizeof(TSampleFile)), 0);
    EXPECT_TRUE(Session.State.DoubletResults.Valid);
    EXPECT_TRUE(Session.State.EWCalOrigin.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, RefusalTest,
    ::testing::Values(
        RefusalCase{"Unrecognised", "ZEM\r\n", CommandNotRun, ""},
        RefusalCase{"ConversionError", HeliomatFile("1.5"), CommandFailed,
                    ", line 7: '1.5' is not a valid integer"},
        RefusalCase{"ZemaAdcResolutionZero", ZemaFile("0 ch"), CommandFailed,
                    ": the ADC resolution (0) and reference voltage give no millivolts per "
                    "channel, so the energy calibration cannot be converted to channels"},
        RefusalCase{"ZemaMoreChannelsThanASample", ZemaFile("4096 ch", 4097), CommandFailed,
                    ": a spectrum of 4097 channels; a sample holds at most 4096"}),
    [](const auto& info) { return info.param.Name; });

TEST_F(TextFileOperations, ImportHandsBackWhatWasRead) {
    TTextSpectrum read;
    ASSERT_TRUE(Session.ImportSpectrum(Write("h.txt", HeliomatFile()), Sep, &read).Ok());
    EXPECT_EQ(read.Layout, TTextLayout::Heliomat);
    EXPECT_EQ(read.Spectrum.Size, 4);
    EXPECT_EQ(read.Spectrum.Channels[0], 0); // not filled from the file
    EXPECT_EQ(read.Spectrum.Channels[1], 4);
    EXPECT_DOUBLE_EQ(read.Calibration[0], -2);
    EXPECT_DOUBLE_EQ(read.Calibration[2], 0); // a fresh record: not set by the file
}

// --- Export -----------------------------------------------------------------------

TEST_F(TextFileOperations, ExportWritesTheSpaFile) {
    TSampleFile& s = Session.State.MeasuredSample;
    s = FlatSample(3);
    SetChannels(s, [](int i) { return 2.5 + i; });
    SetCalibration(s, ChannelIsKeV);
    s.Sample.Parameter.Weight = 0.5f;
    TextToComment(s, "x");
    const QString path = Dir.filePath("out.SPA");
    const TCommandResult r = Session.ExportSpectrum(path, Sep);
    ASSERT_TRUE(r.Ok()) << r.MessageText().toStdString();
    EXPECT_EQ(r.Refresh, TRefresh::None);
    EXPECT_EQ(ReadBack(path), "ADR\tWEIGHT:0?5\r\nGROUP\tVOLUME:0\r\nTYPE\t0\r\nNUMBER\t0\r\n"
                              "START\t0\r\nSAVE\t0\r\nE_min\t0\r\nE_max\t2\r\nSAMPLE\t0\r\n"
                              "SIZE\t3\r\n\r\nCHANNEL\tCOUNTS\r\n1\t2\r\n2\t4\r\n3\t4\r\n\r\n"
                              "INFO\tx\r\n");
}

TEST_F(TextFileOperations, ExportOfACalibrationWithoutSlopeLeavesTheEnergiesOut) {
    SetCalibration(Session.State.MeasuredSample, {5, 0, 0, 0});
    const QString path = Dir.filePath("out.SPA");
    ASSERT_TRUE(Session.ExportSpectrum(path, Sep).Ok());
    EXPECT_TRUE(ReadBack(path).contains("\r\nE_min\t0\r\nE_max\t\r\nSAMPLE\t5\r\n"));
}

TEST_F(TextFileOperations, ExportWritesNothingForASampleThatCannotBeExported) {
    const QString path = Dir.filePath("out.SPA");
    Session.State.MeasuredSample.Valid = 0;
    EXPECT_EQ(Session.ExportSpectrum(path, Sep).Status, CommandNotRun);
    EXPECT_FALSE(QFile::exists(path));

    Session.State.MeasuredSample.Valid = 1;
    Session.State.MeasuredSample.Sample.Spectrum.Size = 4097;
    const TCommandResult r = Session.ExportSpectrum(path, Sep);
    EXPECT_EQ(r.Status, CommandFailed);
    EXPECT_EQ(r.MessageText(), "The sample's spectrum size 4097 exceeds the 4096 channels a sample "
                               "holds; nothing was exported.");
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(TextFileOperations, FailedExportNamesTheFileAndKeepsTheOldOne) {
    const QString blocked = Dir.filePath("blocked");
    ASSERT_TRUE(QDir().mkdir(blocked));
    const TCommandResult r = Session.ExportSpectrum(blocked, Sep);
    EXPECT_EQ(r.Status, CommandFailed);
    EXPECT_TRUE(r.MessageText().contains(QDir::toNativeSeparators(blocked)))
        << r.MessageText().toStdString();
    EXPECT_TRUE(QFileInfo(blocked).isDir());
}

// An exported sample whose channel 0 lies at 100 keV reads back with 100 keV
// at channel 0: the imported calibration maps E_min to channel 0.
TEST_F(TextFileOperations, ExportedSampleImportsWithItsEnergyAtChannelZero) {
    TSampleFile& s = Session.State.MeasuredSample;
    s = FlatSample(1024);
    SetChannels(s, [](int i) { return 7 * i; });
    SetCalibration(s, {-100.0f / 1.5f, 1 / 1.5f, 0, 0}); // channel = (E - 100) / 1.5
    s.Sample.Parameter.SampleID = 42;
    const QString path = Dir.filePath("e100.SPA");
    ASSERT_TRUE(Session.ExportSpectrum(path, Sep).Ok());
    ASSERT_TRUE(ReadBack(path).contains("\r\nE_min\t100\r\n"));

    ASSERT_TRUE(Session.ImportSpectrum(path, Sep).Ok());
    const TSampleFile& back = Session.State.MeasuredSample;
    EXPECT_EQ(+back.Sample.Spectrum.Size, 1024);
    EXPECT_EQ(+back.Sample.Parameter.SampleInterval, 42u); // line 9: the sample ID
    EXPECT_EQ(+back.Sample.Spectrum.Channel[0], 0);
    for (int i = 1; i < 1024; ++i) {
        ASSERT_EQ(+back.Sample.Spectrum.Channel[i], 7 * i) << i;
    }
    const TEnergyCalibration ecal = back.Calibration.ECal;
    double channel = -1;
    EnergyToChannel(100, ecal, 1024, channel);
    EXPECT_NEAR(channel, 0, 0.5);
    EnergyToChannel(1000, ecal, 1024, channel);
    EXPECT_NEAR(channel, 600, 2); // (1000 - 100) / 1.5
}

} // namespace

#include "core/SampleFiles.h"
#include "FakeHost.h"
#include "core/SampleFileCommands.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstring>

namespace {

TSampleFile MakeSample() {
    TSampleFile s{};
    s.Valid = 1;
    s.Sample.Parameter.SampleInterval = 3600;
    s.Sample.Parameter.Weight = 0.5f;
    s.Sample.Parameter.SerialNumber = 1234;
    s.Sample.Spectrum.Size = 512;
    for (int i = 0; i < MaxChannels; ++i) {
        s.Sample.Spectrum.Channel[i] = float(i % 97) + 0.25f;
    }
    s.Calibration.ECal = {1.5f, 0.5f, 1e-6f, 0};
    s.Calibration.WCal = {0.26f, 0.039f, -9.6e-6f};
    s.Calibration.RCal = {-0.00103f, 0.02f, 662, 1};
    s.PeakList.Size = 1;
    SetPeakName(s.PeakList.Peak[0], "Cs137");
    s.PeakList.Peak[0].Energy = 662;
    s.CalibrationType = 1;
    std::memset(s.Comment, 'q', sizeof s.Comment);
    TextToComment(s, "soil from plot 7");
    return s;
}

bool SameBytes(const TSampleFile& a, const TSampleFile& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray ShortLayout(const TSampleFile& s, std::uint16_t size) {
    QByteArray b(ShortSampleFileSize, '\0');
    std::memcpy(b.data(), &s.Sample.Parameter, 19);
    std::memcpy(b.data() + 19, &size, 2);
    const std::uint16_t offset = 3;
    std::memcpy(b.data() + 21, &offset, 2);
    for (int i = 0; i < ShortLayoutChannels; ++i) {
        const float v = 1000.0f + float(i);
        std::memcpy(b.data() + 23 + 4 * i, &v, 4);
    }
    std::memcpy(b.data() + 2071, &s.Calibration, 44);
    std::memcpy(b.data() + 2115, &s.PeakList, 417);
    std::memcpy(b.data() + 2532, &s.Results, 193);
    b[2725] = 1;
    return b;
}

class SampleFilesTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    FakeHost host;
    QString Path(const char* name) const { return dir.filePath(name); }
};

TEST_F(SampleFilesTest, SaveAndOpenGiveIdenticalBytes) {
    host.Analysis.MeasuredSample = MakeSample();
    const TSampleFile saved = host.Analysis.MeasuredSample;
    host.Prompts.FileNames = {Path("a.vtb")};
    SaveClick(host);
    EXPECT_EQ(QFileInfo(Path("a.vtb")).size(), SampleFileSize);
    EXPECT_EQ(host.Analysis.SampleOrigin, "a.vtb");
    EXPECT_EQ(host.Prompts.SaveDialogs[0].FileName, "Zel-Korda data");
    EXPECT_EQ(host.Prompts.SaveDialogs[0].DefaultExtension, ".vtb");

    host.Analysis.MeasuredSample = TSampleFile{};
    host.Analysis.DoubletResults.Valid = true;
    host.Prompts.FileNames = {Path("a.vtb")};
    OpenClick(host);
    EXPECT_TRUE(SameBytes(host.Analysis.MeasuredSample, saved)); // comment tail included
    EXPECT_EQ(host.Comment, "soil from plot 7");
    EXPECT_EQ(host.Analysis.PeakListOrigin, "a.vtb");
    EXPECT_EQ(host.Caption, QDir::toNativeSeparators(Path("a.vtb")));
    EXPECT_FALSE(host.Analysis.DoubletResults.Valid);
    EXPECT_EQ(host.Refreshes, 1);
}

TEST_F(SampleFilesTest, OverwriteQuestionNoKeepsTheFile) {
    WriteBytes(Path("b.vtb"), "old");
    host.Prompts.FileNames = {Path("b.vtb")};
    host.Prompts.Confirmations = {false};
    SaveClick(host);
    EXPECT_EQ(host.Prompts.Questions, QStringList{"Save file|File already exists, overwrite?"});
    EXPECT_EQ(QFileInfo(Path("b.vtb")).size(), 3);
    EXPECT_TRUE(host.Caption.isEmpty());
}

TEST_F(SampleFilesTest, FailedSaveIsSilentAndLeavesNoFile) {
    host.Prompts.FileNames = {Path("missing-dir/c.vtb")};
    SaveClick(host);
    EXPECT_TRUE(host.Prompts.Messages.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(Path("missing-dir/c.vtb")));
    EXPECT_EQ(host.Analysis.SampleOrigin, "c.vtb"); // origin and caption change all the same
}

TEST_F(SampleFilesTest, ShortLayoutKeepsLaterChannels) {
    const TSampleFile s = MakeSample();
    host.Analysis.MeasuredSample.Sample.Spectrum.Channel[100] = 77;
    host.Analysis.MeasuredSample.Sample.Spectrum.Channel[4095] = 88;
    WriteBytes(Path("old.vtb"), ShortLayout(s, 100));
    host.Prompts.FileNames = {Path("old.vtb")};
    OpenClick(host);
    const TSampleFile& m = host.Analysis.MeasuredSample;
    EXPECT_EQ(m.Valid, 1);
    EXPECT_EQ(m.Comment[0], 0);
    EXPECT_EQ(m.Sample.Spectrum.Size, 100);
    EXPECT_EQ(m.Sample.Spectrum.Offset, 3);
    EXPECT_EQ(m.Sample.Spectrum.Channel[99], 1099.0f);
    EXPECT_EQ(m.Sample.Spectrum.Channel[100], 77.0f);
    EXPECT_EQ(m.Sample.Spectrum.Channel[4095], 88.0f);
    EXPECT_EQ(m.CalibrationType, 1);
    EXPECT_EQ(m.Sample.Parameter.SerialNumber, 1234);
    EXPECT_EQ(PeakNameToText(m.PeakList.Peak[0]), "Cs137");
    EXPECT_TRUE(host.Comment.isEmpty());
}

TEST_F(SampleFilesTest, FailedReadsKeepThePreviousSample) {
    const TSampleFile s = MakeSample();
    struct Case {
        const char* file;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"over512.vtb", ShortLayout(s, 513)},      // short layout cannot hold it
        {"short2741.vtb", QByteArray(2741, '\1')}, // neither layout
        {"short2743.vtb", QByteArray(2743, '\1')},
        {"almost.vtb", QByteArray(SampleFileSize - 1, '\1')},
    };
    for (const Case& c : cases) {
        host.Analysis.MeasuredSample = s;
        host.Prompts.Messages.clear();
        WriteBytes(Path(c.file), c.bytes);
        host.Prompts.FileNames = {Path(c.file)};
        OpenClick(host);
        EXPECT_EQ(host.Prompts.Messages,
                  QStringList{"Could not open " + QDir::toNativeSeparators(Path(c.file))})
            << c.file;
        EXPECT_TRUE(SameBytes(host.Analysis.MeasuredSample, s)) << c.file;
        EXPECT_EQ(host.Caption, QDir::toNativeSeparators(Path(c.file)));
    }
}

TEST_F(SampleFilesTest, WrongExtensionIsIgnoredSilently) {
    WriteBytes(Path("X.VTB"), QByteArray(SampleFileSize, '\0'));
    host.Prompts.FileNames = {Path("X.VTB")};
    OpenClick(host);
    EXPECT_TRUE(host.Caption.isEmpty());
    EXPECT_EQ(host.Refreshes, 0);
    EXPECT_TRUE(host.Prompts.Messages.isEmpty());
}

TEST_F(SampleFilesTest, EnergyWidthCalibrationRoundTripSetsTypeZero) {
    host.Analysis.MeasuredSample = MakeSample();
    const TDetectorCalibration cal = host.Analysis.MeasuredSample.Calibration;
    host.Prompts.FileNames = {Path("cal.ewcal")};
    SaveEWcalClick(host);
    EXPECT_EQ(QFileInfo(Path("cal.ewcal")).size(), EWCalFileSize);

    host.Analysis.MeasuredSample.Calibration = TDetectorCalibration{};
    host.Prompts.FileNames = {Path("cal.ewcal")};
    OpenEWCalClick(host);
    const TSampleFile& m = host.Analysis.MeasuredSample;
    EXPECT_EQ(std::memcmp(&m.Calibration.ECal, &cal.ECal, 16), 0);
    EXPECT_EQ(std::memcmp(&m.Calibration.WCal, &cal.WCal, 12), 0);
    EXPECT_EQ(m.CalibrationType, 0);
    EXPECT_EQ(host.Analysis.EWCalOrigin, "cal.ewcal");
    EXPECT_EQ(host.Refreshes, 1);
}

TEST_F(SampleFilesTest, EfficiencyOpenRunsAnalysisWithoutRefresh) {
    TEfficiencyCalibration r{0.5f, -0.7f, 200, 0.001f};
    QString error;
    ASSERT_TRUE(WriteRCalFile(Path("e.rcal"), r, error));
    host.Prompts.FileNames = {Path("e.rcal")};
    OpenRCalClick(host);
    EXPECT_EQ(host.Analysis.MeasuredSample.Calibration.RCal.B0, -0.7f);
    EXPECT_EQ(host.Analysis.EfficiencyOrigin, "e.rcal");
    EXPECT_EQ(host.Refreshes, 0);
    EXPECT_EQ(host.Analyses, 1);
}

TEST_F(SampleFilesTest, TruncatedCalibrationFilesReportAndChangeNothing) {
    // Cut at every field boundary of both layouts.
    host.Analysis.MeasuredSample = MakeSample();
    const TSampleFile before = host.Analysis.MeasuredSample;
    for (int cut = 0; cut < EWCalFileSize; cut += 4) {
        WriteBytes(Path("t.ewcal"), QByteArray(cut, '\2'));
        host.Prompts.FileNames = {Path("t.ewcal")};
        host.Prompts.Messages.clear();
        OpenEWCalClick(host);
        ASSERT_EQ(host.Prompts.Messages.size(), 1) << cut;
        EXPECT_TRUE(host.Prompts.Messages[0].contains(QString("holds %1 of 28 bytes").arg(cut)));
    }
    for (int cut = 0; cut < RCalFileSize; cut += 4) {
        WriteBytes(Path("t.rcal"), QByteArray(cut, '\2'));
        host.Prompts.FileNames = {Path("t.rcal")};
        OpenRCalClick(host);
    }
    host.Prompts.FileNames = {Path("none.rcal")};
    host.Prompts.Messages.clear();
    OpenRCalClick(host);
    ASSERT_EQ(host.Prompts.Messages.size(), 1);
    EXPECT_TRUE(host.Prompts.Messages[0].startsWith("Could not open"));
    EXPECT_TRUE(SameBytes(host.Analysis.MeasuredSample, before));
    EXPECT_TRUE(host.Analysis.EWCalOrigin.isEmpty());
    EXPECT_TRUE(host.Analysis.EfficiencyOrigin.isEmpty());
    EXPECT_EQ(host.Analyses, 0);
}

} // namespace

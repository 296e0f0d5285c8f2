// The file operations of the workstation session and the questions of the
// file commands.
#include "SampleFixtures.h"
#include "ScriptedPrompt.h"

#include "core/FileDialogs.h"
#include "core/SampleFiles.h"
#include "workstation/Workstation.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstring>

namespace {

// Every field set, every stored channel filled (beyond the 512 in use) and
// bytes after the comment's text, so that a byte-exact round trip shows.
TSampleFile MakeSample() {
    TSampleFile s = FlatSample(512);
    SetChannels(
        s, [](int i) { return float(i % 97) + 0.25f; }, MaxChannels);
    SetMeasurement(s, 3600, 0.5f);
    s.Sample.Parameter.SerialNumber = 1234;
    SetCalibration(s, {1.5f, 0.5f, 1e-6f, 0}, {0.26f, 0.039f, -9.6e-6f},
                   {-0.00103f, 0.02f, 662, 1});
    AddPeak(s.PeakList, PeakLine("Cs137", 662, 0, 0));
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

class FileOperationsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    TWorkstation Session;
    TAnalysisState& State = Session.State;
    QString Path(const char* name) const { return dir.filePath(name); }
};

TEST_F(FileOperationsTest, SaveAndOpenGiveIdenticalBytes) {
    State.MeasuredSample = MakeSample();
    const TSampleFile saved = State.MeasuredSample;
    const TCommandResult save = Session.SaveSample(Path("a.vtb"));
    ASSERT_TRUE(save.Ok()) << save.MessageText().toStdString();
    EXPECT_EQ(QFileInfo(Path("a.vtb")).size(), SampleFileSize);
    EXPECT_EQ(State.SampleOrigin, "a.vtb");
    EXPECT_EQ(save.Caption, QDir::toNativeSeparators(Path("a.vtb")));

    State.MeasuredSample = TSampleFile{};
    State.DoubletResults.Valid = true;
    State.TrapezoidResults.Valid = true;
    const TCommandResult open = Session.OpenSample(Path("a.vtb"));
    EXPECT_TRUE(open.Ok());
    EXPECT_TRUE(SameBytes(State.MeasuredSample, saved)); // comment tail included
    EXPECT_EQ(open.Comment, "soil from plot 7");
    EXPECT_EQ(State.PeakListOrigin, "a.vtb");
    EXPECT_EQ(State.EWCalOrigin, "a.vtb");
    EXPECT_EQ(open.Caption, QDir::toNativeSeparators(Path("a.vtb")));
    EXPECT_FALSE(State.DoubletResults.Valid);
    EXPECT_FALSE(State.TrapezoidResults.Valid);
    EXPECT_EQ(open.Refresh, TRefresh::PeakSelection);
    EXPECT_TRUE(open.Messages.isEmpty());
}

// A save that fails keeps caption and origin and says why, naming the file;
// something that is not a regular file is refused, not replaced.
TEST_F(FileOperationsTest, FailedSavesReportAndKeepCaptionAndOrigin) {
    State.MeasuredSample = MakeSample();
    State.SampleOrigin = QStringLiteral("earlier.vtb");
    for (const QString& path : {Path("missing-dir/c.vtb"), QStringLiteral("/dev/null")}) {
        const TCommandResult r = Session.SaveSample(path);
        EXPECT_FALSE(r.Ok()) << path.toStdString();
        ASSERT_EQ(r.Messages.size(), 1);
        EXPECT_TRUE(r.Messages[0].contains(QFileInfo(path).fileName()))
            << r.MessageText().toStdString();
        EXPECT_FALSE(r.Caption.has_value());
        EXPECT_EQ(State.SampleOrigin, "earlier.vtb");
        EXPECT_FALSE(Session.SaveEWCal(path).Ok());
        EXPECT_FALSE(Session.SaveRCal(path).Ok());
    }
    EXPECT_FALSE(QFileInfo::exists(Path("missing-dir/c.vtb")));
    EXPECT_FALSE(QFileInfo(QStringLiteral("/dev/null")).isFile()); // not replaced by a file
}

TEST_F(FileOperationsTest, ShortLayoutKeepsLaterChannels) {
    const TSampleFile s = MakeSample();
    State.MeasuredSample.Sample.Spectrum.Channel[100] = 77;
    State.MeasuredSample.Sample.Spectrum.Channel[4095] = 88;
    WriteBytes(Path("old.vtb"), ShortLayout(s, 100));
    const TCommandResult r = Session.OpenSample(Path("old.vtb"));
    const TSampleFile& m = State.MeasuredSample;
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
    EXPECT_EQ(r.Comment, "");
}

TEST_F(FileOperationsTest, FailedReadsKeepThePreviousSample) {
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
        State.MeasuredSample = s;
        WriteBytes(Path(c.file), c.bytes);
        const TCommandResult r = Session.OpenSample(Path(c.file));
        EXPECT_EQ(r.Messages,
                  QStringList{"Could not open " + QDir::toNativeSeparators(Path(c.file))})
            << c.file;
        EXPECT_TRUE(SameBytes(State.MeasuredSample, s)) << c.file;
        EXPECT_EQ(r.Caption, QDir::toNativeSeparators(Path(c.file)));
        EXPECT_EQ(r.Refresh, TRefresh::PeakSelection);
    }
}

TEST_F(FileOperationsTest, EnergyWidthCalibrationRoundTripSetsTypeZero) {
    State.MeasuredSample = MakeSample();
    const TDetectorCalibration cal = State.MeasuredSample.Calibration;
    ASSERT_TRUE(Session.SaveEWCal(Path("cal.ewcal")).Ok());
    EXPECT_EQ(QFileInfo(Path("cal.ewcal")).size(), EWCalFileSize);

    State.MeasuredSample.Calibration = TDetectorCalibration{};
    const TCommandResult r = Session.OpenEWCal(Path("cal.ewcal"));
    const TSampleFile& m = State.MeasuredSample;
    EXPECT_EQ(std::memcmp(&m.Calibration.ECal, &cal.ECal, 16), 0);
    EXPECT_EQ(std::memcmp(&m.Calibration.WCal, &cal.WCal, 12), 0);
    EXPECT_EQ(m.CalibrationType, 0);
    EXPECT_EQ(State.EWCalOrigin, "cal.ewcal");
    EXPECT_EQ(r.Refresh, TRefresh::PeakSelection);
}

TEST_F(FileOperationsTest, EfficiencyOpenRunsAnalysisWithoutRefresh) {
    TEfficiencyCalibration rcal{0.5f, -0.7f, 200, 0.001f};
    QString error;
    ASSERT_TRUE(WriteRCalFile(Path("e.rcal"), rcal, error));
    const TCommandResult r = Session.OpenRCal(Path("e.rcal"));
    EXPECT_EQ(State.MeasuredSample.Calibration.RCal.B0, -0.7f);
    EXPECT_EQ(State.EfficiencyOrigin, "e.rcal");
    EXPECT_EQ(r.Refresh, TRefresh::Analysis);
}

TEST_F(FileOperationsTest, TruncatedCalibrationFilesReportAndChangeNothing) {
    // Cut at every field boundary of both layouts.
    State.MeasuredSample = MakeSample();
    const TSampleFile before = State.MeasuredSample;
    for (int cut = 0; cut < EWCalFileSize; cut += 4) {
        WriteBytes(Path("t.ewcal"), QByteArray(cut, '\2'));
        const TCommandResult r = Session.OpenEWCal(Path("t.ewcal"));
        ASSERT_EQ(r.Messages.size(), 1) << cut;
        EXPECT_TRUE(r.Messages[0].contains(QString("holds %1 of 28 bytes").arg(cut)));
        EXPECT_EQ(r.Refresh, TRefresh::None);
    }
    for (int cut = 0; cut < RCalFileSize; cut += 4) {
        WriteBytes(Path("t.rcal"), QByteArray(cut, '\2'));
        EXPECT_FALSE(Session.OpenRCal(Path("t.rcal")).Ok());
    }
    const TCommandResult none = Session.OpenRCal(Path("none.rcal"));
    ASSERT_EQ(none.Messages.size(), 1);
    EXPECT_TRUE(none.Messages[0].startsWith("Could not open"));
    EXPECT_TRUE(SameBytes(State.MeasuredSample, before));
    EXPECT_TRUE(State.EWCalOrigin.isEmpty());
    EXPECT_TRUE(State.EfficiencyOrigin.isEmpty());
}

// --- The questions of the file commands --------------------------------------

TEST_F(FileOperationsTest, SaveDialogProposesNameAndAsksBeforeReplacing) {
    WriteBytes(Path("b.vtb"), "old");
    ScriptedPrompt prompt;
    prompt.FileNames = {Path("b.vtb"), Path("b.vtb"), Path("new.vtb")};
    prompt.Confirmations = {false, true};
    EXPECT_EQ(AskSaveName(prompt, SampleSaveDialog()), "");
    EXPECT_EQ(AskSaveName(prompt, SampleSaveDialog()), Path("b.vtb"));
    EXPECT_EQ(AskSaveName(prompt, SampleSaveDialog()), Path("new.vtb")); // nothing to replace
    EXPECT_EQ(prompt.Questions, QStringList({"Save file|File already exists, overwrite?",
                                             "Save file|File already exists, overwrite?"}));
    EXPECT_EQ(prompt.SaveDialogs[0].FileName, "Zel-Korda data");
    EXPECT_EQ(prompt.SaveDialogs[0].DefaultExtension, ".vtb");
    EXPECT_EQ(EWCalSaveDialog().FileName, "Zel-Korda EW_calibration");
    EXPECT_EQ(RCalSaveDialog().FileName, "Zel-Korda R_calibration");
    EXPECT_EQ(QFileInfo(Path("b.vtb")).size(), 3);
}

TEST_F(FileOperationsTest, OpenDialogTakesOnlyTheExactExtension) {
    ScriptedPrompt prompt;
    prompt.FileNames = {Path("X.VTB"), Path("x.vtb"), QString()};
    EXPECT_EQ(AskOpenName(prompt, SampleFileFilter, ".vtb"), "");
    EXPECT_EQ(AskOpenName(prompt, SampleFileFilter, ".vtb"), Path("x.vtb"));
    EXPECT_EQ(AskOpenName(prompt, SampleFileFilter, ".vtb"), "");
    EXPECT_TRUE(prompt.Messages.isEmpty());
}

} // namespace

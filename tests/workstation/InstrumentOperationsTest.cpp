// The instrument operations of the workstation session against the
// simulated instrument in the same process.
#include "InstrumentFixtures.h"
#include "ScriptedPrompt.h"

#include "core/SampleFiles.h"
#include "instrument/SpecConfig.h"
#include "workstation/Workstation.h"
#include "zksim/SimPort.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <functional>
#include <ostream>

namespace {

[[maybe_unused]] auto* const QtEnvironment =
    ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

const QString Port = QStringLiteral("COM1");
const QString NoPort = QStringLiteral("Com port not available! Port selected? Cable connected?");
const QString TimeOut = QStringLiteral("Time out! Port selected? Cable connected?");
const QString CommunicationFailed =
    QStringLiteral("Communication failed! Port selected? Cable connected?");

class TRecordingProgress : public TDownloadProgress {
public:
    QStringList Events;
    void Show() override { Events << QStringLiteral("show"); }
    void ShowProgress(int received, int total, const QString& fileName) override {
        Events << QStringLiteral("%1/%2 %3").arg(received).arg(total).arg(fileName);
    }
    void Hide() override { Events << QStringLiteral("hide"); }
};

// A session on a simulator that records the busy indication.
struct TBench {
    explicit TBench(TSimMemory memory = TSimMemory{})
        : Sim(std::move(memory)), Session(Sim.Link()) {
        Session.BusyChanged = [this](bool busy) {
            Busy = busy;
            ++BusyCalls;
        };
    }
    TSimulator Sim;
    TWorkstation Session;
    bool Busy = false;
    int BusyCalls = 0;
};

// --- Without a port ---------------------------------------------------------

struct TNoPortCase {
    const char* Name;
    std::function<TCommandResult(TWorkstation&)> Run;
    QString Message;
};

void PrintTo(const TNoPortCase& c, std::ostream* os) {
    *os << c.Name;
}

class NoPortTest : public ::testing::TestWithParam<TNoPortCase> {};

TEST_P(NoPortTest, ReportsItsMessageAndChangesNothing) {
    TBench bench;
    bench.Sim.SetHeld(true);
    bench.Session.State.MeasuredSample = *MakeTestSample(8, 1);
    const TSampleFile before = bench.Session.State.MeasuredSample;
    const TCommandResult r = GetParam().Run(bench.Session);
    EXPECT_EQ(r.Status, ComStatus::PortNotAvailable);
    EXPECT_EQ(r.Messages.last(), GetParam().Message);
    EXPECT_EQ(bench.Sim.Codes(), "");
    EXPECT_FALSE(bench.Busy);
    EXPECT_EQ(bench.BusyCalls, 2);
    EXPECT_EQ(std::memcmp(&before, &bench.Session.State.MeasuredSample, sizeof before), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Operations, NoPortTest,
    ::testing::Values(
        TNoPortCase{"ReadSample", [](TWorkstation& w) { return w.ReadCurrentSample(Port); },
                    NoPort},
        TNoPortCase{"ReadBackground", [](TWorkstation& w) { return w.ReadBackgroundSample(Port); },
                    NoPort},
        TNoPortCase{"ReadMemory",
                    [](TWorkstation& w) {
                        TRecordingProgress p;
                        return w.DownloadMemory(Port, QDir::temp().filePath("zk-noport.vtb"), p);
                    },
                    NoPort},
        TNoPortCase{"ClearMemory", [](TWorkstation& w) { return w.ClearMemory(Port); }, NoPort},
        TNoPortCase{"ResetSampleID", [](TWorkstation& w) { return w.ResetSampleID(Port); }, NoPort},
        TNoPortCase{"Configuration",
                    [](TWorkstation& w) {
                        TSpecConfig config{};
                        TPeakList list{};
                        return w.ReadSpecConfiguration(Port, config, list);
                    },
                    NoPort},
        TNoPortCase{"About", [](TWorkstation& w) { return w.ReadInstrumentInfo(Port); }, NoPort},
        TNoPortCase{"SendPeakList", [](TWorkstation& w) { return w.TransmitPeakList(Port); },
                    CommunicationFailed},
        TNoPortCase{"SendCalibration", [](TWorkstation& w) { return w.TransmitCalibration(Port); },
                    CommunicationFailed},
        TNoPortCase{"SendEfficiency", [](TWorkstation& w) { return w.TransmitEfficiency(Port); },
                    CommunicationFailed}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(NoPortTest, AnEmptyPortNameOpensNothing) {
    TBench bench;
    const TCommandResult r = bench.Session.ReadInstrumentInfo(QString());
    EXPECT_EQ(r.Status, ComStatus::PortNotAvailable);
    EXPECT_EQ(bench.Sim.Openings(), 0);
}

// --- Reading the current sample ---------------------------------------------

class ReadSampleTest : public ::testing::Test {
protected:
    TSimMemory Memory;
    std::unique_ptr<TBench> Bench;

    void Start(const QStringList& faults = {}) {
        Bench = std::make_unique<TBench>(Memory);
        for (const QString& fault : faults) {
            ASSERT_TRUE(Bench->Sim.AddFault(fault));
        }
        TAnalysisState& s = Bench->Session.State;
        s.DoubletResults.Valid = true;
        s.TrapezoidResults.Valid = true;
        s.BackgroundOrigin = QStringLiteral("bg.vtb");
        s.MeasuredSample.CalibrationType = 1;
        TextToComment(s.MeasuredSample, QStringLiteral("my comment"));
    }
    TAnalysisState& State() { return Bench->Session.State; }
};

TEST_F(ReadSampleTest, ReadsSampleAndConfigurationAndUpdatesTheWindow) {
    Memory.Current = *MakeTestSample(1024, 77);
    Memory.Current.Sample.Parameter.SerialNumber = 4321;
    Start();

    const TCommandResult r = Bench->Session.ReadCurrentSample(Port);
    ASSERT_EQ(r.Status, ComStatus::Ok);
    EXPECT_EQ(Bench->Sim.Codes(), "5 6 7 10 12 20 11 13 26");
    const TAnalysisState& s = State();
    EXPECT_EQ(Copy(s.MeasuredSample.Valid), 1);
    EXPECT_EQ(Copy(s.MeasuredSample.CalibrationType), 0);
    EXPECT_EQ(CommentToText(s.MeasuredSample), "my comment");
    EXPECT_EQ(Copy(s.MeasuredSample.Sample.Spectrum.Channel[10]), 31.0f);
    EXPECT_EQ(r.Caption, "Sample read from instrument, not yet saved!");
    for (const QString& origin :
         {s.EWCalOrigin, s.EfficiencyOrigin, s.PeakListOrigin, s.SampleOrigin}) {
        EXPECT_EQ(origin, "read from instrument SN:4321");
    }
    EXPECT_EQ(s.BackgroundOrigin, "bg.vtb");
    EXPECT_FALSE(s.DoubletResults.Valid);
    EXPECT_FALSE(s.TrapezoidResults.Valid);
    EXPECT_TRUE(Bench->Session.BackgroundSubtraction);
    EXPECT_TRUE(r.SubtractionChecked);
    EXPECT_EQ(r.Refresh, TRefresh::PeakSelection);
    EXPECT_EQ(Copy(s.BackgroundSample.Valid), 0);
    EXPECT_TRUE(r.Messages.isEmpty());
    EXPECT_EQ(Bench->BusyCalls, 2);
    EXPECT_FALSE(Bench->Busy);
}

TEST_F(ReadSampleTest, InBackgroundModeAddsTheScaledBackgroundBack) {
    Memory.Current = *MakeTestSample(256, 80, 600, 3);
    Memory.Background = *MakeTestSample(256, 81, 1200, 2);
    Memory.HasBackground = true;
    Memory.Config.Mode = 1;
    Start();

    ASSERT_EQ(Bench->Session.ReadCurrentSample(Port).Status, ComStatus::Ok);
    EXPECT_EQ(Bench->Sim.Codes(), "5 6 7 10 12 20 11 13 26 21 24 5 6 7 10 12 20 11 13 22");
    const TAnalysisState& s = State();
    EXPECT_EQ(Copy(s.BackgroundSample.Valid), 1);
    EXPECT_EQ(Copy(s.BackgroundSample.Sample.Parameter.SampleID), 81u);
    EXPECT_EQ(s.BackgroundOrigin, "read from instrument SN:1234");
    // Net counts 3i+1 plus (600 / 1200) of the background's 2i+1.
    for (int i : {0, 1, 100, 255}) {
        EXPECT_EQ(Copy(s.MeasuredSample.Sample.Spectrum.Channel[i]),
                  3.0f * i + 1 + 0.5f * (2 * i + 1));
    }
    EXPECT_EQ(Copy(s.MeasuredSample.Sample.Spectrum.Channel[256]), 0.0f);
    EXPECT_EQ(Copy(s.MeasuredSample.Valid), 1);
}

TEST_F(ReadSampleTest, BackgroundOfOtherSizeIsNotAdded) {
    Memory.Current = *MakeTestSample(256, 80);
    Memory.Background = *MakeTestSample(512, 81);
    Memory.HasBackground = true;
    Memory.Config.Mode = 1;
    Start();
    const TCommandResult r = Bench->Session.ReadCurrentSample(Port);
    ASSERT_EQ(r.Status, ComStatus::Ok);
    EXPECT_EQ(Copy(State().MeasuredSample.Sample.Spectrum.Channel[100]), 301.0f);
    // Checking the box finds the background unfit.
    EXPECT_EQ(r.Messages, QStringList{"Background spectrum size does not fit with sample, "
                                      "subtraction not possible"});
}

// A read that fails part-way changes nothing of the state: no parts of the
// new sample under the old one's name, no background without its add-back.
struct TPartialCase {
    const char* Name;
    const char* Fault;
    bool BackgroundMode;
    const char* Codes;
};

void PrintTo(const TPartialCase& c, std::ostream* os) {
    *os << c.Name;
}

class PartialReadTest : public ::testing::TestWithParam<TPartialCase> {};

TEST_P(PartialReadTest, KeepsThePreviousSamples) {
    const TPartialCase& c = GetParam();
    TSimMemory memory;
    memory.Current = *MakeTestSample(256, 80);
    memory.Background = *MakeTestSample(256, 81, 1200, 2);
    memory.HasBackground = true;
    memory.Config.Mode = c.BackgroundMode ? 1 : 0;
    TBench bench(memory);
    ASSERT_TRUE(bench.Sim.AddFault(QString::fromLatin1(c.Fault)));
    TAnalysisState& s = bench.Session.State;
    s.MeasuredSample = *MakeTestSample(64, 5, 300, 7);
    s.MeasuredSample.CalibrationType = 1;
    s.SampleOrigin = QStringLiteral("old.vtb");
    s.DoubletResults.Valid = true;
    const TAnalysisState before = s;

    const TCommandResult r = bench.Session.ReadCurrentSample(Port);
    EXPECT_EQ(r.Status, ComStatus::TimeOut);
    EXPECT_EQ(bench.Sim.Codes(), c.Codes);
    EXPECT_EQ(r.Messages.last(), TimeOut);
    EXPECT_FALSE(r.Caption.has_value());
    EXPECT_EQ(r.Refresh, TRefresh::Analysis); // the box was checked: a new run
    EXPECT_TRUE(bench.Session.BackgroundSubtraction);
    EXPECT_EQ(std::memcmp(&s.MeasuredSample, &before.MeasuredSample, sizeof(TSampleFile)), 0);
    EXPECT_EQ(std::memcmp(&s.BackgroundSample, &before.BackgroundSample, sizeof(TSampleFile)), 0);
    EXPECT_EQ(s.SampleOrigin, "old.vtb");
    EXPECT_TRUE(s.DoubletResults.Valid);
}

INSTANTIATE_TEST_SUITE_P(
    Operations, PartialReadTest,
    ::testing::Values(TPartialCase{"AtTheResults", "silent:13", false, "5 6 7 10 12 20 11 13"},
                      TPartialCase{"InTheSpectrum", "short:11", false, "5 6 7 10 12 20 11"},
                      TPartialCase{"InTheBackgroundRead", "silent:11:2", true,
                                   "5 6 7 10 12 20 11 13 26 21 24 5 6 7 10 12 20 11"}),
    [](const auto& info) { return std::string(info.param.Name); });

// --- Reading the background ---------------------------------------------------

TEST(ReadBackgroundTest, ReadsStoredBackgroundAndNamesItsOrigin) {
    TSimMemory memory;
    memory.Background = *MakeTestSample(128, 55);
    memory.Background.Sample.Parameter.SerialNumber = 777;
    memory.HasBackground = true;
    TBench bench(memory);
    bench.Session.State.BackgroundOrigin = QStringLiteral("earlier.vtb");
    const TCommandResult r = bench.Session.ReadBackgroundSample(Port);
    EXPECT_EQ(r.Status, ComStatus::Ok);
    EXPECT_EQ(bench.Sim.Codes(), "21 24 5 6 7 10 12 20 11 13 22");
    const TAnalysisState& s = bench.Session.State;
    EXPECT_EQ(Copy(s.BackgroundSample.Valid), 1);
    EXPECT_EQ(Copy(s.BackgroundSample.Sample.Parameter.SampleID), 55u);
    EXPECT_EQ(r.Messages, QStringList{"Done!"});
    EXPECT_EQ(r.Refresh, TRefresh::Analysis);
    EXPECT_EQ(s.BackgroundOrigin, "read from instrument SN:777");
}

TEST(ReadBackgroundTest, FailuresChangeNothing) {
    for (const char* fault : {"", "short:11"}) {
        TSimMemory memory;
        memory.Background = *MakeTestSample(128, 55);
        memory.HasBackground = fault[0] != 0;
        TBench bench(memory);
        if (fault[0] != 0) {
            ASSERT_TRUE(bench.Sim.AddFault(QString::fromLatin1(fault)));
        }
        bench.Session.State.BackgroundSample = *MakeTestSample(16, 3);
        bench.Session.State.BackgroundOrigin = QStringLiteral("bg.vtb");
        const TSampleFile before = bench.Session.State.BackgroundSample;
        const TCommandResult r = bench.Session.ReadBackgroundSample(Port);
        EXPECT_EQ(r.Status, fault[0] ? ComStatus::TimeOut : ComStatus::MemoryFailed) << fault;
        EXPECT_EQ(r.Refresh, TRefresh::None);
        EXPECT_EQ(std::memcmp(&before, &bench.Session.State.BackgroundSample, sizeof before), 0);
        EXPECT_EQ(bench.Session.State.BackgroundOrigin, "bg.vtb");
    }
}

// --- Downloading the memory -------------------------------------------------

class DownloadTest : public ::testing::Test {
protected:
    TSimMemory Memory;
    QTemporaryDir Target;
    TRecordingProgress Progress;

    void Store(std::initializer_list<std::uint32_t> ids) {
        int i = 0;
        for (std::uint32_t id : ids) {
            auto s = MakeTestSample(i++ % 2 == 0 ? 1024 : 4096, id);
            s->CalibrationType = 1;
            TextToComment(*s, QStringLiteral("on the instrument"));
            Memory.Stored.push_back(*s);
        }
    }
    QString TargetFile(const QString& name) const { return Target.filePath(name); }
};

TEST_F(DownloadTest, WritesOneFilePerStoredSampleAndShowsProgress) {
    Store({17, 18, 19});
    TBench bench(Memory);
    {
        QFile old(TargetFile(QStringLiteral("lab_SN1234_ID18_1.vtb")));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old content");
    }
    const TCommandResult r =
        bench.Session.DownloadMemory(Port, TargetFile(QStringLiteral("lab.vtb")), Progress);
    ASSERT_EQ(r.Status, ComStatus::Ok);
    EXPECT_EQ(bench.Sim.Codes(), "21 17 23 5 6 7 10 12 20 11 13 23 5 6 7 10 12 20 11 13 "
                                 "23 5 6 7 10 12 20 11 13 22");
    EXPECT_EQ(Progress.Events,
              QStringList({"show", "1/3 lab_SN1234_ID17_0.vtb", "2/3 lab_SN1234_ID18_1.vtb",
                           "3/3 lab_SN1234_ID19_2.vtb", "hide"}));
    EXPECT_EQ(r.Messages, QStringList{"Done!"});
    EXPECT_EQ(QDir(Target.path()).entryList(QDir::Files).size(), 3);

    TSampleFile read{};
    QString error;
    ASSERT_TRUE(ReadSampleFile(TargetFile(QStringLiteral("lab_SN1234_ID18_1.vtb")), read, error));
    EXPECT_EQ(QFileInfo(TargetFile(QStringLiteral("lab_SN1234_ID18_1.vtb"))).size(), 17319);
    EXPECT_EQ(Copy(read.Valid), 1);
    EXPECT_EQ(Copy(read.CalibrationType), 0);
    EXPECT_EQ(Copy(read.Comment[0]), 0);
    EXPECT_EQ(Copy(read.Sample.Spectrum.Size), 4096);
    EXPECT_EQ(Copy(read.Sample.Spectrum.Channel[4095]), 4095.0f * 3 + 1);
    EXPECT_EQ(Copy(bench.Session.State.MeasuredSample.Valid), 0); // the state is not touched
}

TEST_F(DownloadTest, EmptyMemoryShowsAndHidesProgressAndEndsDownload) {
    TBench bench(Memory);
    const TCommandResult r =
        bench.Session.DownloadMemory(Port, TargetFile(QStringLiteral("lab.vtb")), Progress);
    ASSERT_EQ(r.Status, ComStatus::Ok);
    EXPECT_EQ(bench.Sim.Codes(), "21 17 22");
    EXPECT_EQ(Progress.Events, QStringList({"show", "hide"}));
}

TEST_F(DownloadTest, FailurePartWayKeepsEarlierFilesAndDoesNotEndDownload) {
    Store({17, 18, 19});
    TBench bench(Memory);
    ASSERT_TRUE(bench.Sim.AddFault(QStringLiteral("short:11:2")));
    const TCommandResult r =
        bench.Session.DownloadMemory(Port, TargetFile(QStringLiteral("lab.vtb")), Progress);
    EXPECT_EQ(r.Status, ComStatus::TimeOut);
    EXPECT_EQ(bench.Sim.Codes(), "21 17 23 5 6 7 10 12 20 11 13 23 5 6 7 10 12 20 11");
    EXPECT_EQ(Progress.Events, QStringList({"show", "1/3 lab_SN1234_ID17_0.vtb",
                                            "2/3 lab_SN1234_ID17_0.vtb", "hide"}));
    EXPECT_EQ(QDir(Target.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{"lab_SN1234_ID17_0.vtb"});
    EXPECT_EQ(r.Messages, QStringList{TimeOut});
}

TEST_F(DownloadTest, UnwritableDirectoryGivesStatus6) {
    Store({17});
    TBench bench(Memory);
    const TCommandResult r = bench.Session.DownloadMemory(
        Port, TargetFile(QStringLiteral("missing/folder/lab.vtb")), Progress);
    EXPECT_EQ(r.Status, ComStatus::WriteFailed);
    EXPECT_EQ(bench.Sim.Codes(), "21 17 23 5 6 7 10 12 20 11 13");
    EXPECT_EQ(r.Messages,
              QStringList{"Could not write to selected directory! Write protection released?"});
}

TEST_F(DownloadTest, BusyInstrumentShowsNoProgress) {
    TBench bench(Memory);
    ASSERT_TRUE(bench.Sim.AddFault(QStringLiteral("busy:21")));
    const TCommandResult r =
        bench.Session.DownloadMemory(Port, TargetFile(QStringLiteral("lab.vtb")), Progress);
    EXPECT_EQ(r.Status, ComStatus::Busy);
    EXPECT_EQ(bench.Sim.Codes(), "21");
    EXPECT_TRUE(Progress.Events.isEmpty());
    EXPECT_EQ(r.Messages, QStringList{"Can not read data while sampling!"});
}

TEST_F(DownloadTest, FileNameWithoutExtensionAndWithSeveralDots) {
    Store({3});
    TBench bench(Memory);
    ASSERT_TRUE(
        bench.Session.DownloadMemory(Port, TargetFile(QStringLiteral("run.2024.vtb")), Progress)
            .Ok());
    ASSERT_TRUE(
        bench.Session.DownloadMemory(Port, TargetFile(QStringLiteral("plain")), Progress).Ok());
    EXPECT_EQ(QDir(Target.path()).entryList(QDir::Files),
              QStringList({"plain_SN1234_ID3_0", "run.2024_SN1234_ID3_0.vtb"}));
}

// --- Memory, numbering, identity --------------------------------------------

struct TMemoryCase {
    const char* Name;
    bool Reset; // reset the sample ID instead of clearing the memory
    const char* Fault;
    TComStatus Status;
    QString Message;
};

void PrintTo(const TMemoryCase& c, std::ostream* os) {
    *os << c.Name;
}

class MemoryCommandTest : public ::testing::TestWithParam<TMemoryCase> {};

TEST_P(MemoryCommandTest, SendsAndReports) {
    const TMemoryCase& c = GetParam();
    TBench bench;
    if (c.Fault[0] != 0) {
        ASSERT_TRUE(bench.Sim.AddFault(QString::fromLatin1(c.Fault)));
    }
    const TCommandResult r =
        c.Reset ? bench.Session.ResetSampleID(Port) : bench.Session.ClearMemory(Port);
    EXPECT_EQ(r.Status, c.Status);
    EXPECT_EQ(bench.Sim.Codes(), c.Reset ? "19" : "18");
    EXPECT_EQ(r.Messages, QStringList{c.Message});
}

INSTANTIATE_TEST_SUITE_P(
    Operations, MemoryCommandTest,
    ::testing::Values(TMemoryCase{"ClearMemory", false, "", 0, "Done!"},
                      TMemoryCase{"ClearMemoryDuringDownload", false, "busy:18", 4,
                                  "Can not clear memory during data download!"},
                      TMemoryCase{"ClearMemoryFailed", false, "memfail:18", 3,
                                  "Instrument memory access failed!"},
                      TMemoryCase{"ClearMemoryUnexpected", false, "unexpected:18", 5,
                                  "Unexpected response from instrument!"},
                      TMemoryCase{"ResetSampleID", true, "", 0, "Done!"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(AboutTest, ShowsTheFiveLinesOfTheInstrumentInformation) {
    TBench bench;
    TInstrumentInfo info{};
    const TCommandResult r = bench.Session.ReadInstrumentInfo(Port, &info);
    EXPECT_EQ(r.Status, ComStatus::Ok);
    EXPECT_EQ(bench.Sim.Codes(), "27");
    EXPECT_EQ(Copy(info.SerialNumber), 1234);
    EXPECT_EQ(r.Messages,
              QStringList{"Serial number: 1234\r\nFirmware version: 2.5\r\nInstrument version: "
                          "1.0\r\nManufactured: 2019/5/3\r\nFirmware update: 2021/1/12"});
}

// --- Configuration ----------------------------------------------------------

// Answers the configuration dialog from a script: edits the fields, then
// confirms or not.
class TScriptedView : public TSpecConfigView {
public:
    std::function<void(TSpecConfigFields&)> Edit = [](TSpecConfigFields&) {};
    bool Confirm = true;
    TSpecConfigFields Shown;
    bool Execute(TSpecConfigFields& fields) override {
        Shown = fields;
        Edit(fields);
        return Confirm;
    }
};

class ConfigurationTest : public ::testing::Test {
protected:
    TScriptedView View;
    ScriptedPrompt Prompt;
    std::unique_ptr<TBench> Bench;
    QStringList Messages;

    void Start(const TSpecConfig& config, const char* fault = "") {
        TSimMemory memory;
        memory.Current = *MakeTestSample(8, 1); // 2 peaks
        memory.Config = config;
        Bench = std::make_unique<TBench>(memory);
        if (fault[0] != 0) {
            ASSERT_TRUE(Bench->Sim.AddFault(QString::fromLatin1(fault)));
        }
    }
    // Read, dialog, write: what the window's handler does.
    TComStatus Run() {
        TSpecConfig config{};
        TPeakList list{};
        TCommandResult r = Bench->Session.ReadSpecConfiguration(Port, config, list);
        if (r.Ok()) {
            TSpecConfigFields fields;
            if (!RunSpecConfigDialog(View, Prompt, list, config, fields, '.')) {
                Messages = Prompt.Messages;
                return ComStatus::Cancelled;
            }
            r = Bench->Session.WriteSpecConfiguration(Port, config);
        }
        Messages = r.Messages;
        return static_cast<TComStatus>(r.Status);
    }
};

TEST_F(ConfigurationTest, ConfirmedDialogSendsConfigurationWithDetectionLimit100) {
    Start(TSpecConfig{150.0f, 3, 6, 5.0f, 1});
    View.Edit = [](TSpecConfigFields& f) { f.SubtractBackground = true; };
    ASSERT_EQ(Run(), ComStatus::Ok);
    EXPECT_EQ(View.Shown.PeakThreshold, "150");
    EXPECT_EQ(View.Shown.TimeToPeak, "3");
    EXPECT_FALSE(View.Shown.SubtractBackground);
    EXPECT_EQ(View.Shown.PeakItems, QStringList({"Cs137, 662keV", "K40, 1461keV"}));
    EXPECT_EQ(View.Shown.PeakIndex, 1);
    EXPECT_EQ(Bench->Sim.Codes(), "26 10 25 1");
    // 150.0 BE, 3 BE, mode 7, 100.0 little-endian, index 1.
    EXPECT_EQ(Bench->Sim.Payload(2).left(24), "431600000003070000C84201");
    EXPECT_EQ(Messages, QStringList{"Done!"});
}

TEST_F(ConfigurationTest, FractionalThresholdConfirmedUnchangedIsRefused) {
    Start(TSpecConfig{12.5f, 2, 0, 100.0f, -1});
    EXPECT_EQ(Run(), ComStatus::Cancelled);
    EXPECT_EQ(View.Shown.PeakThreshold, "12.5");
    EXPECT_EQ(Bench->Sim.Codes(), "26 10");
    EXPECT_EQ(Messages, QStringList{"Invalid input values"});
}

TEST_F(ConfigurationTest, IndexOutsideThePeakListIsSentAsNone) {
    Start(TSpecConfig{100.0f, 2, 0, 100.0f, 5});
    ASSERT_EQ(Run(), ComStatus::Ok);
    EXPECT_EQ(View.Shown.PeakIndex, -1);
    EXPECT_EQ(Bench->Sim.Payload(2).left(24), "42C800000002000000C842FF");
}

TEST_F(ConfigurationTest, FailedReadShowsItsMessageWithoutDialog) {
    Start(TSpecConfig{100.0f, 2, 0, 100.0f, -1}, "short:10");
    EXPECT_EQ(Run(), ComStatus::TimeOut);
    EXPECT_EQ(Bench->Sim.Codes(), "26 10");
    EXPECT_EQ(View.Shown.PeakThreshold, "");
    EXPECT_EQ(Messages, QStringList{TimeOut});
}

// --- Transfers ---------------------------------------------------------------

struct TTransferCase {
    const char* Name;
    std::function<TCommandResult(TWorkstation&)> Run;
    const char* Codes;
    const char* FailingFault;
    const char* FailedCodes;
};

void PrintTo(const TTransferCase& c, std::ostream* os) {
    *os << c.Name;
}

class TransferTest : public ::testing::TestWithParam<TTransferCase> {};

TEST_P(TransferTest, SendsTheMeasuredSamplesRecordAndReportsOneMessage) {
    const TTransferCase& c = GetParam();
    {
        TBench bench;
        bench.Session.State.MeasuredSample = *MakeTestSample(8, 1);
        const TCommandResult r = c.Run(bench.Session);
        EXPECT_EQ(r.Status, ComStatus::Ok);
        EXPECT_EQ(bench.Sim.Codes(), c.Codes);
        EXPECT_EQ(r.Messages, QStringList{"Done!"});
    }
    TBench failing;
    failing.Session.State.MeasuredSample = *MakeTestSample(8, 1);
    ASSERT_TRUE(failing.Sim.AddFault(QString::fromLatin1(c.FailingFault)));
    const TCommandResult r = c.Run(failing.Session);
    EXPECT_EQ(r.Status, ComStatus::TimeOut);
    EXPECT_EQ(failing.Sim.Codes(), c.FailedCodes);
    EXPECT_EQ(r.Messages, QStringList{CommunicationFailed});
}

INSTANTIATE_TEST_SUITE_P(
    Operations, TransferTest,
    ::testing::Values(
        TTransferCase{"PeakList", [](TWorkstation& w) { return w.TransmitPeakList(Port); }, "8 9 1",
                      "silent:8", "8"},
        TTransferCase{"Calibration", [](TWorkstation& w) { return w.TransmitCalibration(Port); },
                      "2 3 1", "silent:3", "2 3"},
        TTransferCase{"Efficiency", [](TWorkstation& w) { return w.TransmitEfficiency(Port); },
                      "4 1", "silent:1", "4 1"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(TransferTest, UnloadedSampleSendsAnEmptyList) {
    TBench bench;
    EXPECT_EQ(bench.Session.TransmitPeakList(Port).Status, ComStatus::Ok);
    EXPECT_EQ(bench.Sim.Codes(), "1");
}

} // namespace

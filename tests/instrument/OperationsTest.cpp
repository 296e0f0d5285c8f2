// The instrument operations of the main window, run against the simulator
// with a scripted prompt and a fake host.
#include "FakeHost.h"
#include "SimProcess.h"

#include "instrument/InstrumentOperations.h"

#include <gtest/gtest.h>

#include <ostream>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <functional>

namespace {

// Records the busy indication, and whether a message came while busy.
class TBusyHost : public FakeHost {
public:
    int BusyCalls = 0;
    bool Busy = false;
    void SetBusy(bool busy) override {
        Busy = busy;
        ++BusyCalls;
    }
};

class TRecordingProgress : public TDownloadProgress {
public:
    QStringList Events;
    void Show() override { Events << QStringLiteral("show"); }
    void ShowProgress(int received, int total, const QString& fileName) override {
        Events << QStringLiteral("%1/%2 %3").arg(received).arg(total).arg(fileName);
    }
    void Hide() override { Events << QStringLiteral("hide"); }
};

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

class TDialogEditor : public TSpecConfigEditor {
public:
    TDialogEditor(TSpecConfigView& view, TPrompt& prompt) : View(view), Prompt(prompt) {}
    bool SpectrometerConfig(const TPeakList& peakList, TSpecConfig& config) override {
        return RunSpecConfigDialog(View, Prompt, peakList, config, Fields, '.');
    }
    TSpecConfigFields Fields;

private:
    TSpecConfigView& View;
    TPrompt& Prompt;
};

const QString NoPort = QStringLiteral("Com port not available! Port selected? Cable connected?");
const QString TimeOut = QStringLiteral("Time out! Port selected? Cable connected?");
const QString CommunicationFailed =
    QStringLiteral("Communication failed! Port selected? Cable connected?");

// --- Without a port ---------------------------------------------------------

struct TNoPortCase {
    const char* Name;
    std::function<TComStatus(TBusyHost&)> Run;
    QString Message;
};

void PrintTo(const TNoPortCase& c, std::ostream* os) {
    *os << c.Name;
}

class NoPortTest : public ::testing::TestWithParam<TNoPortCase> {};

TEST_P(NoPortTest, ShowsItsMessageAndTouchesNoPort) {
    TBusyHost host;
    host.Prompts.Confirmations = {true};
    host.Prompts.FileNames = {QDir::temp().filePath(QStringLiteral("zk-noport.vtb"))};
    const TNoPortCase& c = GetParam();
    EXPECT_EQ(c.Run(host), ComStatus::PortNotAvailable);
    EXPECT_EQ(host.Prompts.Messages, QStringList{c.Message});
    EXPECT_FALSE(host.Busy);
}

const TInstrumentLink Link = TestLink();

INSTANTIATE_TEST_SUITE_P(
    Operations, NoPortTest,
    ::testing::Values(
        TNoPortCase{"ReadSample", [](TBusyHost& h) { return ReadSampleClick(h, Link); }, NoPort},
        TNoPortCase{"ReadBackground",
                    [](TBusyHost& h) { return ReadbackgroundsampleClick(h, Link); }, NoPort},
        TNoPortCase{"ReadMemory",
                    [](TBusyHost& h) {
                        TRecordingProgress p;
                        return ReadMemoryClick(h, Link, p);
                    },
                    NoPort},
        TNoPortCase{"ClearMemory", [](TBusyHost& h) { return ClearMemoryClick(h, Link); }, NoPort},
        TNoPortCase{"ResetSampleID", [](TBusyHost& h) { return ResetSampleIDClick(h, Link); },
                    NoPort},
        TNoPortCase{"Configuration",
                    [](TBusyHost& h) {
                        TScriptedView view;
                        TDialogEditor editor(view, h.Prompts);
                        return SpectrometerConfigurationClick(h, Link, editor);
                    },
                    NoPort},
        TNoPortCase{"About", [](TBusyHost& h) { return About1Click(h, Link); }, NoPort},
        TNoPortCase{"SendPeakList", [](TBusyHost& h) { return TransmitPeakListClick(h, Link); },
                    CommunicationFailed},
        TNoPortCase{"SendCalibration",
                    [](TBusyHost& h) { return TransmitCalibrationClick(h, Link); },
                    CommunicationFailed},
        TNoPortCase{"SendEfficiency", [](TBusyHost& h) { return TransmitEfficiencyClick(h, Link); },
                    CommunicationFailed}),
    [](const auto& info) { return std::string(info.param.Name); });

// --- Reading the current sample ---------------------------------------------

class ReadSampleTest : public ::testing::Test {
protected:
    TSimFolder Folder;
    TBusyHost Host;

    void SetUp() override {
        Host.Analysis.DoubletResults.Valid = true;
        Host.Analysis.TrapezoidResults.Valid = true;
        Host.Analysis.BackgroundOrigin = QStringLiteral("bg.vtb");
        Host.Analysis.MeasuredSample.CalibrationType = 1;
        TextToComment(Host.Analysis.MeasuredSample, QStringLiteral("my comment"));
    }
};

TEST_F(ReadSampleTest, ReadsSampleAndConfigurationAndUpdatesTheWindow) {
    auto current = MakeTestSample(1024, 77);
    current->Sample.Parameter.SerialNumber = 4321;
    Folder.Write(QStringLiteral("current.vtb"), *current);
    TSimProcess sim(Folder.Args());
    Host.Port = sim.Device();

    ASSERT_EQ(ReadSampleClick(Host, Link), ComStatus::Ok);
    EXPECT_EQ(sim.Codes(), "5 6 7 10 12 20 11 13 26");
    const TAnalysisState& s = Host.Analysis;
    EXPECT_EQ(Copy(s.MeasuredSample.Valid), 1);
    EXPECT_EQ(Copy(s.MeasuredSample.CalibrationType), 0);
    EXPECT_EQ(CommentToText(s.MeasuredSample), "my comment");
    EXPECT_EQ(Copy(s.MeasuredSample.Sample.Spectrum.Channel[10]), 31.0f);
    EXPECT_EQ(Host.Caption, "Sample read from instrument, not yet saved!");
    for (const QString& origin :
         {s.EWCalOrigin, s.EfficiencyOrigin, s.PeakListOrigin, s.SampleOrigin}) {
        EXPECT_EQ(origin, "read from instrument SN:4321");
    }
    EXPECT_EQ(Copy(s.BackgroundOrigin), "bg.vtb");
    EXPECT_FALSE(s.DoubletResults.Valid);
    EXPECT_FALSE(s.TrapezoidResults.Valid);
    EXPECT_TRUE(Host.SubtractionChecked);
    EXPECT_EQ(Host.Refreshes, 1);
    EXPECT_EQ(Host.LastRefreshedList.Size, 2);
    EXPECT_EQ(Copy(s.BackgroundSample.Valid), 0);
    EXPECT_TRUE(Host.Prompts.Messages.isEmpty());
    EXPECT_GE(Host.BusyCalls, 2);
    EXPECT_FALSE(Host.Busy);
}

TEST_F(ReadSampleTest, InBackgroundModeAddsTheScaledBackgroundBack) {
    auto net = MakeTestSample(256, 80, 600, 3);
    auto background = MakeTestSample(256, 81, 1200, 2);
    Folder.Write(QStringLiteral("current.vtb"), *net);
    Folder.Write(QStringLiteral("background.vtb"), *background);
    Folder.Ini.replace(QStringLiteral("Mode=0"), QStringLiteral("Mode=1"));
    TSimProcess sim(Folder.Args());
    Host.Port = sim.Device();

    ASSERT_EQ(ReadSampleClick(Host, Link), ComStatus::Ok);
    EXPECT_EQ(sim.Codes(), "5 6 7 10 12 20 11 13 26 21 24 5 6 7 10 12 20 11 13 22");
    const TAnalysisState& s = Host.Analysis;
    EXPECT_EQ(Copy(s.BackgroundSample.Valid), 1);
    EXPECT_EQ(Copy(s.BackgroundSample.Sample.Parameter.SampleID), 81u);
    // Net counts 3i+1 plus (600 / 1200) of the background's 2i+1.
    for (int i : {0, 1, 100, 255}) {
        EXPECT_EQ(Copy(s.MeasuredSample.Sample.Spectrum.Channel[i]),
                  3.0f * i + 1 + 0.5f * (2 * i + 1));
    }
    EXPECT_EQ(Copy(s.MeasuredSample.Sample.Spectrum.Channel[256]), 0.0f);
    EXPECT_EQ(Copy(s.MeasuredSample.Valid), 1);
}

TEST_F(ReadSampleTest, BackgroundOfOtherSizeIsNotAdded) {
    auto net = MakeTestSample(256, 80);
    auto background = MakeTestSample(512, 81);
    Folder.Write(QStringLiteral("current.vtb"), *net);
    Folder.Write(QStringLiteral("background.vtb"), *background);
    Folder.Ini.replace(QStringLiteral("Mode=0"), QStringLiteral("Mode=1"));
    TSimProcess sim(Folder.Args());
    Host.Port = sim.Device();
    ASSERT_EQ(ReadSampleClick(Host, Link), ComStatus::Ok);
    EXPECT_EQ(Copy(Host.Analysis.MeasuredSample.Sample.Spectrum.Channel[100]), 301.0f);
}

TEST_F(ReadSampleTest, FailureInTheBackgroundReadKeepsValidityRulesAndReports) {
    auto net = MakeTestSample(256, 80);
    Folder.Write(QStringLiteral("current.vtb"), *net);
    Folder.Write(QStringLiteral("background.vtb"), *net);
    Folder.Ini.replace(QStringLiteral("Mode=0"), QStringLiteral("Mode=1"));
    TSimProcess sim(Folder.Args() + QStringList{"--fault", "silent:11:2"});
    Host.Port = sim.Device();

    EXPECT_EQ(ReadSampleClick(Host, Link), ComStatus::TimeOut);
    EXPECT_EQ(sim.Codes(), "5 6 7 10 12 20 11 13 26 21 24 5 6 7 10 12 20 11");
    const TAnalysisState& s = Host.Analysis;
    // The sample itself was read in full before the background read failed.
    EXPECT_EQ(Copy(s.MeasuredSample.Valid), 1);
    EXPECT_EQ(Copy(s.MeasuredSample.Sample.Spectrum.Channel[100]), 301.0f); // nothing added back
    EXPECT_EQ(Copy(s.BackgroundSample.Valid), 1);
    EXPECT_TRUE(Host.SubtractionChecked);
    EXPECT_EQ(Host.Prompts.Messages, QStringList{TimeOut});
    EXPECT_EQ(Host.Refreshes, 0);
    EXPECT_EQ(Host.Caption, "");
    EXPECT_EQ(Copy(s.SampleOrigin), "");
}

TEST_F(ReadSampleTest, FailureAtResultsKeepsPartsReadAndValidity) {
    Folder.Write(QStringLiteral("current.vtb"), *MakeTestSample(64, 1));
    TSimProcess sim(Folder.Args() + QStringList{"--fault", "silent:13"});
    Host.Port = sim.Device();
    EXPECT_EQ(ReadSampleClick(Host, Link), ComStatus::TimeOut);
    EXPECT_EQ(Copy(Host.Analysis.MeasuredSample.Valid), 0);
    EXPECT_EQ(Copy(Host.Analysis.MeasuredSample.Sample.Spectrum.Size), 64); // parts read so far
    EXPECT_EQ(Copy(Host.Analysis.MeasuredSample.CalibrationType), 1);
}

TEST(ReadBackgroundTest, ReadsStoredBackgroundAndAnalyses) {
    TSimFolder folder;
    folder.Write(QStringLiteral("background.vtb"), *MakeTestSample(128, 55));
    TSimProcess sim(folder.Args());
    TBusyHost host;
    host.Port = sim.Device();
    EXPECT_EQ(ReadbackgroundsampleClick(host, Link), ComStatus::Ok);
    EXPECT_EQ(sim.Codes(), "21 24 5 6 7 10 12 20 11 13 22");
    EXPECT_EQ(Copy(host.Analysis.BackgroundSample.Valid), 1);
    EXPECT_EQ(Copy(host.Analysis.BackgroundSample.Sample.Parameter.SampleID), 55u);
    EXPECT_EQ(host.Prompts.Messages, QStringList{"Done!"});
    EXPECT_EQ(host.Analyses, 1);
    EXPECT_EQ(Copy(host.Analysis.BackgroundOrigin), "");
}

TEST(ReadBackgroundTest, NoStoredBackgroundIsAMemoryFailure) {
    TSimFolder folder;
    TSimProcess sim(folder.Args());
    TBusyHost host;
    host.Port = sim.Device();
    EXPECT_EQ(ReadbackgroundsampleClick(host, Link), ComStatus::MemoryFailed);
    EXPECT_EQ(sim.Codes(), "21 24");
    EXPECT_EQ(host.Prompts.Messages, QStringList{"Instrument memory access failed!"});
    EXPECT_EQ(host.Analyses, 0);
}

// --- Downloading the memory -------------------------------------------------

class DownloadTest : public ::testing::Test {
protected:
    TSimFolder Folder;
    QTemporaryDir Target;
    TBusyHost Host;
    TRecordingProgress Progress;

    void Store(std::initializer_list<std::uint32_t> ids) {
        int i = 0;
        for (std::uint32_t id : ids) {
            auto s = MakeTestSample(i % 2 == 0 ? 1024 : 4096, id);
            s->CalibrationType = 1;
            TextToComment(*s, QStringLiteral("on the instrument"));
            Folder.Write(QStringLiteral("stored-%1.vtb").arg(i++), *s);
        }
    }
    QString TargetFile(const QString& name) const { return Target.filePath(name); }
};

TEST_F(DownloadTest, WritesOneFilePerStoredSampleAndShowsProgress) {
    Store({17, 18, 19});
    TSimProcess sim(Folder.Args());
    Host.Port = sim.Device();
    {
        QFile old(TargetFile(QStringLiteral("lab_SN1234_ID18_1.vtb")));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old content");
    }
    Host.Prompts.FileNames = {TargetFile(QStringLiteral("lab.vtb"))};

    ASSERT_EQ(ReadMemoryClick(Host, Link, Progress), ComStatus::Ok);
    const TFileDialogOptions& dialog = Host.Prompts.SaveDialogs.value(0);
    EXPECT_EQ(dialog.Filter, "Zel-Korda sample files (*.vtb)|*.vtb");
    EXPECT_EQ(dialog.DefaultExtension, ".vtb");
    EXPECT_EQ(dialog.FileName, "Zel-Korda data");
    EXPECT_EQ(sim.Codes(), "21 17 23 5 6 7 10 12 20 11 13 23 5 6 7 10 12 20 11 13 "
                           "23 5 6 7 10 12 20 11 13 22");
    EXPECT_EQ(Progress.Events,
              QStringList({"show", "1/3 lab_SN1234_ID17_0.vtb", "2/3 lab_SN1234_ID18_1.vtb",
                           "3/3 lab_SN1234_ID19_2.vtb", "hide"}));
    EXPECT_EQ(Host.Prompts.Messages, QStringList{"Done!"});
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
    EXPECT_EQ(Copy(Host.Analysis.MeasuredSample.Valid), 0); // the window's state is not touched
}

TEST_F(DownloadTest, EmptyMemoryShowsAndHidesProgressAndEndsDownload) {
    TSimProcess sim(Folder.Args());
    Host.Port = sim.Device();
    Host.Prompts.FileNames = {TargetFile(QStringLiteral("lab.vtb"))};
    ASSERT_EQ(ReadMemoryClick(Host, Link, Progress), ComStatus::Ok);
    EXPECT_EQ(sim.Codes(), "21 17 22");
    EXPECT_EQ(Progress.Events, QStringList({"show", "hide"}));
    EXPECT_EQ(Host.Prompts.Messages, QStringList{"Done!"});
}

TEST_F(DownloadTest, FailurePartWayKeepsEarlierFilesAndDoesNotEndDownload) {
    Store({17, 18, 19});
    TSimProcess sim(Folder.Args() + QStringList{"--fault", "short:11:2"});
    Host.Port = sim.Device();
    Host.Prompts.FileNames = {TargetFile(QStringLiteral("lab.vtb"))};
    EXPECT_EQ(ReadMemoryClick(Host, Link, Progress), ComStatus::TimeOut);
    EXPECT_EQ(sim.Codes(), "21 17 23 5 6 7 10 12 20 11 13 23 5 6 7 10 12 20 11");
    EXPECT_EQ(Progress.Events, QStringList({"show", "1/3 lab_SN1234_ID17_0.vtb",
                                            "2/3 lab_SN1234_ID17_0.vtb", "hide"}));
    EXPECT_EQ(QDir(Target.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{"lab_SN1234_ID17_0.vtb"});
    EXPECT_EQ(Host.Prompts.Messages, QStringList{TimeOut});
}

TEST_F(DownloadTest, UnwritableDirectoryGivesStatus6) {
    Store({17});
    TSimProcess sim(Folder.Args());
    Host.Port = sim.Device();
    Host.Prompts.FileNames = {TargetFile(QStringLiteral("missing/folder/lab.vtb"))};
    EXPECT_EQ(ReadMemoryClick(Host, Link, Progress), ComStatus::WriteFailed);
    EXPECT_EQ(sim.Codes(), "21 17 23 5 6 7 10 12 20 11 13");
    EXPECT_EQ(Host.Prompts.Messages,
              QStringList{"Could not write to selected directory! Write protection released?"});
}

TEST_F(DownloadTest, BusyInstrumentAndCancelledDialog) {
    TSimProcess sim(Folder.Args() + QStringList{"--fault", "busy:21"});
    Host.Port = sim.Device();
    Host.Prompts.FileNames = {QString(), TargetFile(QStringLiteral("lab.vtb"))};
    EXPECT_EQ(ReadMemoryClick(Host, Link, Progress), ComStatus::Cancelled);
    EXPECT_EQ(sim.Codes(), "");
    EXPECT_TRUE(Host.Prompts.Messages.isEmpty());
    EXPECT_EQ(ReadMemoryClick(Host, Link, Progress), ComStatus::Busy);
    EXPECT_EQ(sim.Codes(), "21");
    EXPECT_TRUE(Progress.Events.isEmpty());
    EXPECT_EQ(Host.Prompts.Messages, QStringList{"Can not read data while sampling!"});
}

TEST(NameTest, FileNameWithoutExtensionAndWithSeveralDots) {
    TSimFolder folder;
    auto s = MakeTestSample(16, 3);
    folder.Write(QStringLiteral("stored-0.vtb"), *s);
    TSimProcess sim(folder.Args());
    QTemporaryDir target;
    TBusyHost host;
    host.Port = sim.Device();
    host.Prompts.FileNames = {target.filePath(QStringLiteral("run.2024.vtb")),
                              target.filePath(QStringLiteral("plain"))};
    TRecordingProgress progress;
    ASSERT_EQ(ReadMemoryClick(host, Link, progress), ComStatus::Ok);
    ASSERT_EQ(ReadMemoryClick(host, Link, progress), ComStatus::Ok);
    EXPECT_EQ(QDir(target.path()).entryList(QDir::Files),
              QStringList({"plain_SN1234_ID3_0", "run.2024_SN1234_ID3_0.vtb"}));
}

// --- Memory, numbering, identity --------------------------------------------

struct TConfirmCase {
    const char* Name;
    std::function<TComStatus(TBusyHost&)> Run;
    QString Question;
    const char* Fault;
    TComStatus Status;
    QString Message;
    const char* Codes;
};

void PrintTo(const TConfirmCase& c, std::ostream* os) {
    *os << c.Name;
}

class ConfirmTest : public ::testing::TestWithParam<TConfirmCase> {};

TEST_P(ConfirmTest, AsksThenSends) {
    const TConfirmCase& c = GetParam();
    TSimProcess sim(c.Fault[0] ? QStringList{"--fault", c.Fault} : QStringList{});
    TBusyHost host;
    host.Port = sim.Device();
    host.Prompts.Confirmations = {false, true};
    EXPECT_EQ(c.Run(host), ComStatus::Cancelled);
    EXPECT_EQ(sim.Codes(), "");
    EXPECT_TRUE(host.Prompts.Messages.isEmpty());
    EXPECT_EQ(c.Run(host), c.Status);
    EXPECT_EQ(sim.Codes(), c.Codes);
    EXPECT_EQ(host.Prompts.Questions, QStringList({c.Question, c.Question}));
    EXPECT_EQ(host.Prompts.Messages, QStringList{c.Message});
}

const auto Clear = [](TBusyHost& h) { return ClearMemoryClick(h, Link); };
const QString ClearQuestion =
    QStringLiteral("Clear memory|You really want to delete all stored samples?");

INSTANTIATE_TEST_SUITE_P(
    Operations, ConfirmTest,
    ::testing::Values(TConfirmCase{"ClearMemory", Clear, ClearQuestion, "", 0, "Done!", "18"},
                      TConfirmCase{"ClearMemoryDuringDownload", Clear, ClearQuestion, "busy:18", 4,
                                   "Can not clear memory during data download!", "18"},
                      TConfirmCase{"ClearMemoryFailed", Clear, ClearQuestion, "memfail:18", 3,
                                   "Instrument memory access failed!", "18"},
                      TConfirmCase{"ClearMemoryUnexpected", Clear, ClearQuestion, "unexpected:18",
                                   5, "Unexpected response from instrument!", "18"},
                      TConfirmCase{"ResetSampleID",
                                   [](TBusyHost& h) { return ResetSampleIDClick(h, Link); },
                                   "Reset sample ID|You really want to reset sample ID?", "", 0,
                                   "Done!", "19"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(AboutTest, ShowsTheFiveLinesOfTheInstrumentInformation) {
    TSimFolder folder;
    folder.Ini = QStringLiteral("[instrument]\nSerialNumber=1234\nFirmware=2.5\nVersion=1.0\n"
                                "Manufactured=2019-05-03\nFirmwareUpdate=2021-01-12\n");
    TSimProcess sim(folder.Args());
    TBusyHost host;
    host.Port = sim.Device();
    EXPECT_EQ(About1Click(host, Link), ComStatus::Ok);
    EXPECT_EQ(sim.Codes(), "27");
    EXPECT_EQ(host.Prompts.Messages,
              QStringList{"Serial number: 1234\r\nFirmware version: 2.5\r\nInstrument version: "
                          "1.0\r\nManufactured: 2019/5/3\r\nFirmware update: 2021/1/12"});
}

// --- Configuration ----------------------------------------------------------

class ConfigurationTest : public ::testing::Test {
protected:
    TSimFolder Folder;
    TBusyHost Host;
    TScriptedView View;

    void Start(const QString& configuration, const QStringList& extra = {}) {
        Folder.Write(QStringLiteral("current.vtb"), *MakeTestSample(8, 1)); // 2 peaks
        Folder.Ini = QStringLiteral("[configuration]\n") + configuration;
        Sim = std::make_unique<TSimProcess>(Folder.Args() + extra);
        Host.Port = Sim->Device();
    }
    TComStatus Run() {
        TDialogEditor editor(View, Host.Prompts);
        return SpectrometerConfigurationClick(Host, Link, editor);
    }
    std::unique_ptr<TSimProcess> Sim;
};

TEST_F(ConfigurationTest, ConfirmedDialogSendsConfigurationWithDetectionLimit100) {
    Start(
        QStringLiteral("PeakThreshold=150\nTimeToPeak=3\nMode=6\nRequestedDL=5\nPeakIndexDL=1\n"));
    View.Edit = [](TSpecConfigFields& f) { f.SubtractBackground = true; };
    ASSERT_EQ(Run(), ComStatus::Ok);
    EXPECT_EQ(View.Shown.PeakThreshold, "150");
    EXPECT_EQ(View.Shown.TimeToPeak, "3");
    EXPECT_FALSE(View.Shown.SubtractBackground);
    EXPECT_EQ(View.Shown.PeakItems, QStringList({"Cs137, 662keV", "K40, 1461keV"}));
    EXPECT_EQ(View.Shown.PeakIndex, 1);
    EXPECT_EQ(Sim->Codes(), "26 10 25 1");
    // 150.0 BE, 3 BE, mode 7, 100.0 little-endian, index 1.
    EXPECT_EQ(Sim->Payload(2).left(24), "431600000003070000C84201");
    EXPECT_EQ(Host.Prompts.Messages, QStringList{"Done!"});
}

TEST_F(ConfigurationTest, FractionalThresholdConfirmedUnchangedIsRefused) {
    Start(QStringLiteral("PeakThreshold=12.5\nTimeToPeak=2\n"));
    EXPECT_EQ(Run(), ComStatus::Cancelled);
    EXPECT_EQ(View.Shown.PeakThreshold, "12.5");
    EXPECT_EQ(Sim->Codes(), "26 10");
    EXPECT_EQ(Host.Prompts.Messages, QStringList{"Invalid input values"});
}

TEST_F(ConfigurationTest, IndexOutsideThePeakListIsSentAsNone) {
    Start(QStringLiteral("PeakThreshold=100\nTimeToPeak=2\nPeakIndexDL=5\n"));
    ASSERT_EQ(Run(), ComStatus::Ok);
    EXPECT_EQ(View.Shown.PeakIndex, -1);
    EXPECT_EQ(Sim->Payload(2).left(24), "42C800000002000000C842FF");
}

TEST_F(ConfigurationTest, DialogNotConfirmedSendsNothingAndSaysNothing) {
    Start(QStringLiteral("PeakThreshold=100\nTimeToPeak=2\n"));
    View.Confirm = false;
    EXPECT_EQ(Run(), ComStatus::Cancelled);
    EXPECT_EQ(Sim->Codes(), "26 10");
    EXPECT_TRUE(Host.Prompts.Messages.isEmpty());
}

TEST_F(ConfigurationTest, FailedReadShowsItsMessageWithoutDialog) {
    Start(QStringLiteral("PeakThreshold=100\n"), {"--fault", "short:10"});
    EXPECT_EQ(Run(), ComStatus::TimeOut);
    EXPECT_EQ(Sim->Codes(), "26 10");
    EXPECT_EQ(View.Shown.PeakThreshold, "");
    EXPECT_EQ(Host.Prompts.Messages, QStringList{TimeOut});
}

// --- Transfers ---------------------------------------------------------------

struct TTransferCase {
    const char* Name;
    std::function<TComStatus(TBusyHost&)> Run;
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
    TBusyHost host;
    host.Analysis.MeasuredSample = *MakeTestSample(8, 1);
    {
        TSimProcess sim({});
        host.Port = sim.Device();
        EXPECT_EQ(c.Run(host), ComStatus::Ok);
        EXPECT_EQ(sim.Codes(), c.Codes);
        EXPECT_EQ(host.Prompts.Messages, QStringList{"Done!"});
    }
    host.Prompts.Messages.clear();
    TSimProcess failing({"--fault", c.FailingFault});
    host.Port = failing.Device();
    EXPECT_EQ(c.Run(host), ComStatus::TimeOut);
    EXPECT_EQ(failing.Codes(), c.FailedCodes);
    EXPECT_EQ(host.Prompts.Messages, QStringList{CommunicationFailed});
}

INSTANTIATE_TEST_SUITE_P(
    Operations, TransferTest,
    ::testing::Values(
        TTransferCase{"PeakList", [](TBusyHost& h) { return TransmitPeakListClick(h, Link); },
                      "8 9 1", "silent:8", "8"},
        TTransferCase{"Calibration", [](TBusyHost& h) { return TransmitCalibrationClick(h, Link); },
                      "2 3 1", "silent:3", "2 3"},
        TTransferCase{"Efficiency", [](TBusyHost& h) { return TransmitEfficiencyClick(h, Link); },
                      "4 1", "silent:1", "4 1"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(TransferTest, UnloadedSampleSendsAnEmptyList) {
    TSimProcess sim({});
    TBusyHost host;
    host.Port = sim.Device();
    EXPECT_EQ(TransmitPeakListClick(host, Link), ComStatus::Ok);
    EXPECT_EQ(sim.Codes(), "1");
}

} // namespace

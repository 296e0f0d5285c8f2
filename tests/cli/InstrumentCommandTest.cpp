// zkcli instrument: the subcommands run the workstation operations against
// the simulated instrument in the same process.
#include "InstrumentFixtures.h"

#include "cli/InstrumentCommand.h"
#include "core/SampleFiles.h"
#include "zksim/SimPort.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

namespace {

[[maybe_unused]] auto* const QtEnvironment =
    ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

struct TRun {
    int Status;
    QString Out;
    QString Err;
};

TRun RunCli(const QStringList& args, const TInstrumentLink& link) {
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    const int status = RunInstrumentCommand(args, outStream, errStream, link);
    outStream.flush();
    errStream.flush();
    return {status, out, err};
}

TSimMemory Demo(int stored = 2, bool backgroundMode = false) {
    TDemoOptions options;
    options.StoredSamples = stored;
    options.BackgroundMode = backgroundMode;
    return TSimMemory::Demo(options);
}

TEST(InstrumentCommandTest, InfoPrintsTheResultAndFailuresGoToStandardError) {
    TSimulator sim(Demo());
    const TRun r = RunCli({"--port", "COM1", "info"}, sim.Link());
    EXPECT_EQ(r.Status, 0);
    EXPECT_TRUE(r.Out.startsWith("Serial number: 1234\r\nFirmware version: 2.5"))
        << r.Out.toStdString();
    EXPECT_TRUE(r.Err.isEmpty());
    EXPECT_EQ(sim.Codes(), "27");

    sim.SetHeld(true);
    const TRun missing = RunCli({"--port", "COM1", "info"}, sim.Link());
    EXPECT_EQ(missing.Status, 1);
    EXPECT_TRUE(missing.Out.isEmpty());
    EXPECT_TRUE(missing.Err.contains("Com port not available! Port selected? Cable connected?"));
}

TEST(InstrumentCommandTest, UsageErrorsExit64AndSendNothing) {
    TSimulator sim(Demo());
    for (const QStringList& args :
         {QStringList{"--port", "COM1", "clear-memory"},
          QStringList{"--port", "COM1", "read-sample"},
          QStringList{"--port", "COM1", "config", "--subtract-background", "maybe"},
          QStringList{"--port", "COM1", "frobnicate"}, QStringList{"info"},
          QStringList{"--port", "COM1", "info", "--yes"}, QStringList{"--port"}}) {
        const TRun r = RunCli(args, sim.Link());
        EXPECT_EQ(r.Status, 64) << args.join(' ').toStdString();
        EXPECT_TRUE(r.Err.contains("Usage: zkcli instrument")) << args.join(' ').toStdString();
        EXPECT_TRUE(r.Err.contains("64   usage error"));
    }
    EXPECT_EQ(sim.Codes(), "");
    const TRun help = RunCli({"--help"}, sim.Link());
    EXPECT_EQ(help.Status, 0);
    EXPECT_TRUE(help.Out.startsWith("Usage: zkcli instrument [options] SUBCOMMAND"));
}

TEST(InstrumentCommandTest, ConfigPrintsAndWritesUnderTheDialogRules) {
    TSimulator sim(Demo());
    const TRun shown = RunCli({"--port", "COM1", "config"}, sim.Link());
    EXPECT_EQ(shown.Status, 0);
    EXPECT_TRUE(shown.Out.contains("Peak threshold [mV]: 100"));
    EXPECT_TRUE(shown.Out.contains("0: K40, 1461keV")) << shown.Out.toStdString();
    EXPECT_EQ(sim.Codes(), "26 10");

    const TRun refused = RunCli({"--port", "COM1", "config", "--threshold", "12.5"}, sim.Link());
    EXPECT_EQ(refused.Status, 255);
    EXPECT_TRUE(refused.Err.contains("Invalid input values"));

    const TRun written = RunCli({"--port", "COM1", "config", "--threshold", "250",
                                 "--subtract-background", "on", "--dl-peak", "1"},
                                sim.Link());
    EXPECT_EQ(written.Status, 0);
    EXPECT_TRUE(written.Out.contains("Done!"));
    EXPECT_EQ(sim.Codes(), "26 10 26 10 26 10 25 1");
    EXPECT_EQ(sim.Payload(6).left(24), "437A0000000201"
                                       "0000C84201");
}

TEST(InstrumentCommandTest, ReadSampleDownloadAndSendWriteAndReadFiles) {
    TSimulator sim(Demo(2, true));
    QTemporaryDir dir;
    const QString sample = dir.filePath("current.vtb");
    const QString background = dir.filePath("bg.vtb");
    const TRun read =
        RunCli({"--port", "COM1", "read-sample", "-o", sample, "--background-out", background},
               sim.Link());
    ASSERT_EQ(read.Status, 0) << read.Out.toStdString() << read.Err.toStdString();
    TSampleFile s{};
    QString error;
    ASSERT_TRUE(ReadSampleFile(sample, s, error));
    EXPECT_EQ(Copy(s.Valid), 1);
    ASSERT_TRUE(ReadSampleFile(background, s, error));

    const TRun download = RunCli({"--port", "COM1", "download", dir.filePath("lab")}, sim.Link());
    EXPECT_EQ(download.Status, 0);
    EXPECT_EQ(QDir(dir.path()).entryList({"lab_SN1234_ID*"}, QDir::Files).size(), 2);
    EXPECT_TRUE(download.Err.contains("2/2 lab_SN1234_ID102_1.vtb")) << download.Err.toStdString();
    EXPECT_TRUE(download.Out.contains("Done!"));

    const QString before = sim.Codes();
    const TRun send = RunCli({"--port", "COM1", "send-peaklist", sample}, sim.Link());
    EXPECT_EQ(send.Status, 0);
    EXPECT_EQ(sim.Codes().mid(before.size()).trimmed(), "8 9 9 9 9 9 9 1");
    const TRun bad =
        RunCli({"--port", "COM1", "send-efficiency", dir.filePath("none.rcal")}, sim.Link());
    EXPECT_EQ(bad.Status, 66);
    EXPECT_TRUE(bad.Err.contains("none.rcal"));

    const TRun unwritable =
        RunCli({"--port", "COM1", "read-sample", "-o", dir.filePath("missing/x.vtb")}, sim.Link());
    EXPECT_EQ(unwritable.Status, 6);
}

} // namespace

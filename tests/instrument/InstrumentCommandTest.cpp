// zkcli instrument: the subcommands run the operations against the simulator.
#include "SimProcess.h"

#include "cli/InstrumentCommand.h"

#include <gtest/gtest.h>

#include <QDir>

namespace {

struct TRun {
    int Status;
    QString Out;
    QString Err;
};

TRun RunCli(const QStringList& args) {
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    const int status = RunInstrumentCommand(args, outStream, errStream);
    outStream.flush();
    errStream.flush();
    return {status, out, err};
}

TEST(InstrumentCommandTest, InfoPrintsTheMessageAndReturnsTheStatus) {
    TSimProcess sim({});
    const TRun r = RunCli({"--port", sim.Device(), "info"});
    EXPECT_EQ(r.Status, 0);
    EXPECT_TRUE(r.Out.startsWith("Serial number: 1234\r\nFirmware version: 2.5"))
        << r.Out.toStdString();
    EXPECT_EQ(sim.Codes(), "27");

    const TRun missing = RunCli({"--port", "/dev/zk-no-such-port", "info"});
    EXPECT_EQ(missing.Status, 1);
    EXPECT_TRUE(missing.Out.contains("Com port not available! Port selected? Cable connected?"));
}

TEST(InstrumentCommandTest, UsageErrorsSendNothing) {
    TSimProcess sim({});
    for (const QStringList& args :
         {QStringList{"--port", sim.Device(), "clear-memory"},
          QStringList{"--port", sim.Device(), "read-sample"},
          QStringList{"--port", sim.Device(), "config", "--subtract-background", "maybe"},
          QStringList{"--port", sim.Device(), "frobnicate"}, QStringList{"info"}}) {
        const TRun r = RunCli(args);
        EXPECT_EQ(r.Status, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.Err.contains("Usage: instrument")) << args.join(' ').toStdString();
    }
    EXPECT_EQ(sim.Codes(), "");
    EXPECT_EQ(RunCli({"--help"}).Status, 0);
}

TEST(InstrumentCommandTest, ConfigPrintsAndWritesUnderTheDialogRules) {
    TSimProcess sim({});
    const TRun shown = RunCli({"--port", sim.Device(), "config"});
    EXPECT_EQ(shown.Status, 0);
    EXPECT_TRUE(shown.Out.contains("Peak threshold [mV]: 100"));
    EXPECT_TRUE(shown.Out.contains("0: K40, 1461keV"));
    EXPECT_EQ(sim.Codes(), "26 10");

    const TRun refused = RunCli({"--port", sim.Device(), "config", "--threshold", "12.5"});
    EXPECT_EQ(refused.Status, 255);
    EXPECT_TRUE(refused.Out.contains("Invalid input values"));

    const TRun written = RunCli({"--port", sim.Device(), "config", "--threshold", "250",
                                 "--subtract-background", "on", "--dl-peak", "1"});
    EXPECT_EQ(written.Status, 0);
    EXPECT_TRUE(written.Out.contains("Done!"));
    EXPECT_EQ(sim.Codes(), "26 10 26 10 26 10 25 1");
    EXPECT_EQ(sim.Payload(6).left(24), "437A0000000201"
                                       "0000C84201");
}

TEST(InstrumentCommandTest, ReadSampleDownloadAndSendWriteAndReadFiles) {
    TSimProcess sim({"--demo-samples", "2", "--background-mode"});
    QTemporaryDir dir;
    const QString sample = dir.filePath("current.vtb");
    const QString background = dir.filePath("bg.vtb");
    const TRun read = RunCli(
        {"--port", sim.Device(), "read-sample", "-o", sample, "--background-out", background});
    ASSERT_EQ(read.Status, 0) << read.Out.toStdString() << read.Err.toStdString();
    TSampleFile s{};
    QString error;
    ASSERT_TRUE(ReadSampleFile(sample, s, error));
    EXPECT_EQ(Copy(s.Valid), 1);
    ASSERT_TRUE(ReadSampleFile(background, s, error));

    const TRun download = RunCli({"--port", sim.Device(), "download", dir.filePath("lab")});
    EXPECT_EQ(download.Status, 0);
    EXPECT_EQ(QDir(dir.path()).entryList({"lab_SN1234_ID*"}, QDir::Files).size(), 2);
    EXPECT_TRUE(download.Out.contains("2/2 lab_SN1234_ID102_1.vtb"));

    const QString before = sim.Codes();
    const TRun send = RunCli({"--port", sim.Device(), "send-peaklist", sample});
    EXPECT_EQ(send.Status, 0);
    EXPECT_EQ(sim.Codes().mid(before.size()).trimmed(), "8 9 9 9 9 9 9 1");
    const TRun bad = RunCli({"--port", sim.Device(), "send-efficiency", dir.filePath("none.rcal")});
    EXPECT_EQ(bad.Status, 2);
}

} // namespace

// The command functions through the operating system's serial port against
// the zksim process on a pseudo-terminal: the parts of the link that the
// in-process simulator cannot show (real time-outs, device locking, bytes
// that arrive after a reader gave up, the published port link).
#ifdef ZKSIM_PATH

#include "SimProcess.h"

#include "instrument/InstrumentCommands.h"
#include "instrument/InstrumentOperations.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QThread>

#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

namespace {

TEST(PtyEndToEndTest, DownloadReadsTheSelectedStoredSample) {
    TSimFolder folder;
    auto first = MakeTestSample(1024, 11);
    auto second = MakeTestSample(4096, 12, 900, 5);
    folder.Write(QStringLiteral("current.vtb"), *MakeTestSample(64, 10));
    folder.Write(QStringLiteral("stored-000.vtb"), *first);
    folder.Write(QStringLiteral("stored-001.vtb"), *second);
    TSimProcess sim(folder.Args());
    const TInstrumentLink link = TestLink();

    std::uint32_t count = 0;
    ASSERT_EQ(ComBeginDownload(sim.Device(), link), ComStatus::Ok);
    ASSERT_EQ(ComGetSampleCount(sim.Device(), count, link), ComStatus::Ok);
    EXPECT_EQ(count, 2u);
    ASSERT_EQ(ComSelectSample(sim.Device(), 1, link), ComStatus::Ok);
    auto sample = std::make_unique<TSampleFile>();
    ASSERT_EQ(ComReadSampleFile(sim.Device(), *sample, link), ComStatus::Ok);
    ASSERT_EQ(ComEndDownload(sim.Device(), link), ComStatus::Ok);
    EXPECT_EQ(sim.Codes(), "21 17 23 5 6 7 10 12 20 11 13 22");
    EXPECT_EQ(sim.Payload(2), "0000000100000000000000000000000000000000000000000000");
    // The whole record, with the 16388-byte spectrum block, arrives byte for byte.
    EXPECT_EQ(std::memcmp(sample.get(), second.get(), sizeof(TSampleFile)), 0);
}

TEST(PtyEndToEndTest, SilentInstrumentTimesOutAfterTheReadTimeOut) {
    TSimProcess sim({QStringLiteral("--fault"), QStringLiteral("silent:27")});
    TInstrumentInfo info{};
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(ComReadInstrumentInfo(sim.Device(), info, TestLink()), ComStatus::TimeOut);
    EXPECT_GE(clock.elapsed(), 450); // the link's 500 ms, less the timer's granularity
    EXPECT_EQ(sim.Codes(), "27");
}

TEST(PtyEndToEndTest, LateBytesOfAnEarlierAnswerAreDroppedAtTheNextOpening) {
    TSimProcess sim({QStringLiteral("--fault"), QStringLiteral("late:27"),
                     QStringLiteral("--late-delay"), QStringLiteral("30")});
    TInstrumentInfo info{};
    ASSERT_EQ(ComReadInstrumentInfo(sim.Device(), info, TestLink()), ComStatus::Ok);
    QThread::msleep(300); // the extra bytes reach the line's receive buffer
    TSpecConfig config{};
    ASSERT_EQ(ComReadSpecConfig(sim.Device(), config, TestLink()), ComStatus::Ok);
    EXPECT_EQ(Copy(config.PeakThreshold), 100.0f);
    EXPECT_EQ(Copy(config.TimeToPeak), 2);
    EXPECT_EQ(Copy(config.RequestedDL), 100.0f);
    EXPECT_EQ(Copy(config.PeakIndexDL), -1);
}

TEST(PtyEndToEndTest, PortHeldByAnotherProcessIsNotAvailable) {
    TSimProcess sim({});
    int ready[2];
    int release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TQtSerialPort port;
        const char ok = port.Open(sim.Device()) ? '1' : '0';
        (void)!::write(ready[1], &ok, 1);
        char c;
        (void)!::read(release[0], &c, 1);
        port.Close();
        ::_exit(0);
    }
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    EXPECT_EQ(ok, '1');

    TInstrumentInfo info{};
    EXPECT_EQ(ComReadInstrumentInfo(sim.Device(), info, TestLink()), ComStatus::PortNotAvailable);
    EXPECT_EQ(sim.Codes(), "");
    EXPECT_TRUE(ListOpenablePorts({sim.Device()}, TestLink()).isEmpty());

    (void)!::write(release[1], "x", 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(ComReadInstrumentInfo(sim.Device(), info, TestLink()), ComStatus::Ok);
    for (int fd : {ready[0], ready[1], release[0], release[1]}) {
        ::close(fd);
    }
}

TEST(PtyEndToEndTest, RunningSimulatorIsListedUntilItStops) {
    auto sim = std::make_unique<TSimProcess>(QStringList{});
    const QString link =
        QDir(SimulatorLinkDirectory()).filePath(QStringLiteral("zksim-%1").arg(sim->Pid()));
    EXPECT_TRUE(CandidatePortNames().contains(link));
    // Only this simulator is probed: opening the ports of simulators that
    // other tests run at the same time would disturb their exchanges.
    EXPECT_EQ(ListOpenablePorts({link}, TestLink()), QStringList{link});
    // The link reaches the same device: held through one name, the other fails.
    TQtSerialPort holder;
    ASSERT_TRUE(holder.Open(link));
    EXPECT_FALSE(ListOpenablePorts({sim->Device(), link}, TestLink()).contains(link));
    holder.Close();
    EXPECT_EQ(sim->Stop(), 0);
    EXPECT_FALSE(QFileInfo::exists(link) || QFileInfo(link).isSymLink());
    EXPECT_FALSE(CandidatePortNames().contains(link));
}

TEST(PtyEndToEndTest, MissingOrEmptyPortNameIsNotAvailable) {
    TInstrumentInfo info{};
    EXPECT_EQ(ComReadInstrumentInfo(QString(), info, TestLink()), ComStatus::PortNotAvailable);
    EXPECT_EQ(ComReadInstrumentInfo(QStringLiteral("/dev/zk-no-such-port"), info, TestLink()),
              ComStatus::PortNotAvailable);
    EXPECT_EQ(ComClearMemory(QStringLiteral("/dev/null"), TestLink()), ComStatus::PortNotAvailable);
}

} // namespace

#endif // ZKSIM_PATH

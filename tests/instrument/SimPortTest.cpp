// The simulated instrument's line side and its in-process port: fault
// texts, frame decoding, and a port that behaves like an exclusive serial
// port without ever waiting.
#include "InstrumentFixtures.h"

#include "instrument/InstrumentCommands.h"
#include "zksim/SimPort.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <memory>
#include <optional>
#include <ostream>

namespace {

struct TFaultTextCase {
    const char* Name;
    const char* Text;
    std::optional<TSimFault> Parsed; // empty: rejected
};

void PrintTo(const TFaultTextCase& c, std::ostream* os) {
    *os << c.Name;
}

class FaultTextTest : public ::testing::TestWithParam<TFaultTextCase> {};

TEST_P(FaultTextTest, ParsesKindCodeAndFrameNumber) {
    const TFaultTextCase& c = GetParam();
    TSimFault fault{TSimFaultKind::Overcount, 99, 99};
    const bool ok = ParseSimFault(QString::fromLatin1(c.Text), fault);
    ASSERT_EQ(ok, c.Parsed.has_value());
    const TSimFault expected = c.Parsed.value_or(TSimFault{TSimFaultKind::Overcount, 99, 99});
    EXPECT_EQ(fault.Kind, expected.Kind);
    EXPECT_EQ(fault.Code, expected.Code);
    EXPECT_EQ(fault.Nth, expected.Nth);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, FaultTextTest,
    ::testing::Values(
        TFaultTextCase{"EveryFrame", "silent:21", TSimFault{TSimFaultKind::Silent, 21, 0}},
        TFaultTextCase{"NthFrame", "memfail:23:3", TSimFault{TSimFaultKind::MemoryFailure, 23, 3}},
        TFaultTextCase{"CodeZero", "unexpected:0", TSimFault{TSimFaultKind::Unexpected, 0, 0}},
        TFaultTextCase{"UnknownKind", "loud:21", std::nullopt},
        TFaultTextCase{"NoCode", "busy", std::nullopt},
        TFaultTextCase{"CodeAbove255", "busy:256", std::nullopt},
        TFaultTextCase{"NegativeCode", "busy:-1", std::nullopt},
        TFaultTextCase{"FrameZero", "short:10:0", std::nullopt},
        TFaultTextCase{"FrameNotANumber", "short:10:x", std::nullopt},
        TFaultTextCase{"TooManyParts", "short:10:1:2", std::nullopt}),
    [](const auto& info) { return std::string(info.param.Name); });

TSimFrame Frame(std::uint8_t code) {
    TSimFrame f{};
    f[0] = code;
    f[27] = 0x55;
    return f;
}

TEST(SimDeviceTest, FindsTheFrameAfterStrayBytesAndNotesWhatItDropped) {
    TSimDevice device(TSimMemory{});
    QStringList log;
    device.LogLine = [&](const QString& line) { log << line; };
    TSimReply reply;
    EXPECT_FALSE(device.Receive(0x07, reply)); // a stray byte before the frame
    int served = 0;
    for (std::uint8_t b : Frame(27)) {
        served += device.Receive(b, reply) ? 1 : 0;
    }
    EXPECT_EQ(served, 1);
    EXPECT_EQ(reply.Answer.size(), 12u);
    EXPECT_EQ(device.Codes(), "27");
    // Half a frame, then the line falls idle.
    for (int i = 0; i < 10; ++i) {
        device.Receive(0x11, reply);
    }
    EXPECT_TRUE(device.InFrame());
    device.DropPartialFrame();
    EXPECT_FALSE(device.InFrame());
    EXPECT_EQ(log, (QStringList{"# frame without end mark, resynchronising",
                                "27 0000000000000000000000000000000000000000000000000000",
                                "# incomplete frame dropped (10 bytes)"}));
}

TEST(SimDeviceTest, FaultOfTheNthFrameLeavesTheOthersAlone) {
    TSimDevice device(TSimMemory{});
    ASSERT_TRUE(device.AddFault(QStringLiteral("busy:21:2")));
    EXPECT_FALSE(device.AddFault(QStringLiteral("busy:twenty-one")));
    std::vector<std::uint8_t> answers;
    for (int i = 0; i < 3; ++i) {
        const TSimReply reply = device.Serve(Frame(21));
        ASSERT_EQ(reply.Answer.size(), 1u);
        answers.push_back(reply.Answer[0]);
        // Only frames of the faulted code count towards its N.
        device.Serve(Frame(22));
    }
    EXPECT_EQ(answers, (std::vector<std::uint8_t>{0xAA, 0x55, 0xAA}));
}

TEST(SimPortTest, OpensOnceAtATimeUnderItsNameAndNotWhileHeld) {
    TSimulator sim(TSimMemory{});
    auto first = sim.NewPort();
    auto second = sim.NewPort();
    EXPECT_FALSE(first->Open(QString()));
    ASSERT_TRUE(first->Open(QStringLiteral("COM1")));
    EXPECT_TRUE(sim.PortOpen());
    EXPECT_FALSE(second->Open(QStringLiteral("COM1"))); // exclusive access
    EXPECT_FALSE(second->WriteByte(27));
    first->Close();
    EXPECT_FALSE(sim.PortOpen());
    EXPECT_TRUE(second->Open(QStringLiteral("COM1")));
    second.reset(); // destroyed while open: released
    EXPECT_FALSE(sim.PortOpen());

    sim.SetPortName(QStringLiteral("//./COM12"));
    EXPECT_FALSE(first->Open(QStringLiteral("COM1")));
    sim.SetHeld(true);
    EXPECT_FALSE(first->Open(QStringLiteral("//./COM12")));
    sim.SetHeld(false);
    EXPECT_TRUE(first->Open(QStringLiteral("//./COM12")));
    EXPECT_EQ(sim.Openings(), 3);
    EXPECT_EQ(sim.Closings(), 1);
}

TEST(SimPortTest, AnswerWaitsUntilReadAndSetupPurgesIt) {
    TSimulator sim(TSimMemory{});
    auto port = sim.NewPort();
    ASSERT_TRUE(port->Open(QStringLiteral("COM1")));
    port->Setup();
    for (std::uint8_t b : Frame(17)) {
        ASSERT_TRUE(port->WriteByte(b));
    }
    std::uint8_t buffer[8] = {};
    EXPECT_EQ(port->Read(buffer, 3, 3000), 3);
    EXPECT_EQ(sim.Queued(), 1);
    port->Close();
    EXPECT_EQ(sim.Queued(), 1); // closing leaves the rest on the line
    ASSERT_TRUE(port->Open(QStringLiteral("COM1")));
    port->Setup();
    EXPECT_EQ(sim.Queued(), 0);
    EXPECT_EQ(port->Read(buffer, 1, 3000), 0);
}

TEST(SimPortTest, MissingAnswerGivesItsTimeOutStatusWithoutWaiting) {
    TSimulator sim(TSimMemory{});
    ASSERT_TRUE(sim.AddFault(QStringLiteral("silent:20")));
    const TInstrumentLink link = sim.Link(); // the instrument's 3000 ms per answer
    auto spectrum = std::make_unique<TSpectrum>();
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(ComReadSpectrum(QStringLiteral("COM1"), *spectrum, link), ComStatus::TimeOut);
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(sim.Codes(), "20");
}

} // namespace

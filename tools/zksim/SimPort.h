// The simulated instrument in the same process, reached through serial
// ports that talk to it directly: no pseudo-terminal, no second process, no
// waiting. The command functions run against it unchanged.
//
// A test makes a link and passes it where the program passes its own:
//
//     TSimulator sim(TSimMemory::Demo());       // or a memory built in code
//     sim.AddFault(QStringLiteral("silent:12")); // optional, as zksim --fault
//     const TInstrumentLink link = sim.Link();
//     TSampleFile sample{};
//     EXPECT_EQ(ComReadSampleFile(QStringLiteral("COM1"), sample, link), ComStatus::TimeOut);
//     EXPECT_EQ(sim.Codes(), "5 6 7 10 12");      // the frames received, in order
//
// The ports of one simulator share it, as the openings of one serial line
// share the instrument: its memory, its download state and the bytes on
// their way to the workstation live in the simulator, not in the port.
//
// Behaviour of the ports (TSimPort):
// - Open fails for an empty name, for a name other than PortName() when one
//   is set, while the simulator is Held() (a port in use by another
//   program), and while another port of the same simulator is open
//   (exclusive access). Any other name opens: the name chooses nothing.
// - WriteByte hands the byte to the simulator's frame decoder; a completed
//   frame is answered at once, the answer (and any late bytes of a late
//   fault after it) queued for reading.
// - Read takes what is queued, up to n bytes, and returns at once: nothing
//   more can arrive while the workstation is reading, so a missing or short
//   answer gives its short count without waiting for the time-out.
// - Setup and Purge drop the queued bytes; Close does not, so bytes that
//   arrive after a reader gave up wait for the purge of the next opening,
//   as on a real line. Closing drops a half-sent frame.
//
// The simulator must outlive its link and ports. It is not thread-safe: use
// it from one thread.
#pragma once

#include "SimDevice.h"

#include "instrument/SerialPort.h"

#include <deque>
#include <memory>

class TSimulator : public TSimDevice {
public:
    explicit TSimulator(TSimMemory memory = TSimMemory::Demo());

    TSimulator(const TSimulator&) = delete;
    TSimulator& operator=(const TSimulator&) = delete;

    // A link whose ports all reach this simulator. The time-outs are kept
    // in the link but never waited for.
    TInstrumentLink Link(TLinkSettings settings = {});
    // One port of this simulator, closed.
    std::unique_ptr<TSerialPort> NewPort();

    // The one name a port opens under; empty (the default) accepts any
    // non-empty name.
    void SetPortName(const QString& name) { Name = name; }
    const QString& PortName() const { return Name; }

    // While held, the port is in use by another program and no opening succeeds.
    void SetHeld(bool held) { HeldElsewhere = held; }
    bool Held() const { return HeldElsewhere; }

    // True while one of the simulator's ports is open.
    bool PortOpen() const { return Claimed; }
    // Successful openings, and calls of Close() that closed an open port
    // (a port destroyed while open is released without being counted).
    int Openings() const { return OpenCount; }
    int Closings() const { return CloseCount; }

    // The bytes sent by the instrument and not yet read or purged.
    int Queued() const { return static_cast<int>(Line.size()); }

private:
    friend class TSimPort;

    QString Name;
    bool HeldElsewhere = false;
    bool Claimed = false;
    int OpenCount = 0;
    int CloseCount = 0;
    std::deque<std::uint8_t> Line;
};

// A serial port of a TSimulator; see above.
class TSimPort : public TSerialPort {
public:
    explicit TSimPort(TSimulator& simulator) : Sim(simulator) {}
    ~TSimPort() override;

    TSimPort(const TSimPort&) = delete;
    TSimPort& operator=(const TSimPort&) = delete;

    bool Open(const QString& name) override;
    void Setup() override;
    void Purge() override;
    bool WriteByte(std::uint8_t b) override;
    int Read(std::uint8_t* dst, int n, int totalTimeoutMs) override;
    void Close() override;

private:
    void Release();

    TSimulator& Sim;
    bool IsOpen = false;
};

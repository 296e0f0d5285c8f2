// The lowest layer of the instrument link: one serial port, opened by name,
// set up for the instrument's line, written byte by byte and read with a
// total time-out.
//
// There is no connection state: each command function opens a port through
// a TInstrumentLink, exchanges its frames and closes it again.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class QSerialPort;

// Time-outs of the link. The defaults are those of the instrument; tests
// shorten them.
struct TLinkSettings {
    int ReadTimeoutMs = 3000;  // total time one answer may take, from the read request
    int WriteTimeoutMs = 3000; // bound for one byte to leave the port (never reached in practice)
    // Called about every WaitSliceMs while a read waits for its answer, so a
    // window program can repaint during the blocking exchange; empty for none.
    std::function<void()> WhileWaiting;
    int WaitSliceMs = 50;
};

class TSerialPort {
public:
    virtual ~TSerialPort() = default;

    // Opens the named device for reading and writing with exclusive access.
    // False when it does not exist, is no serial device or is held by
    // another program.
    virtual bool Open(const QString& name) = 0;

    // 115200 baud, 8 data bits, no parity, 1 stop bit, no flow control, DTR
    // and RTS on, then Purge(). Results are not checked: a failed set-up
    // shows up as a time-out of the following read.
    virtual void Setup() = 0;

    // Drops everything in the receive and transmit buffers.
    virtual void Purge() = 0;

    // Writes one byte synchronously.
    virtual bool WriteByte(std::uint8_t b) = 0;

    // Reads up to `n` bytes into `dst`, returning when all have arrived or
    // `totalTimeoutMs` has passed since the call; returns the count read.
    virtual int Read(std::uint8_t* dst, int n, int totalTimeoutMs) = 0;

    // Releases the port; harmless when it is not open.
    virtual void Close() = 0;
};

// The serial port of the operating system, through QSerialPort. On Unix a
// name that is a symbolic link is resolved first, and the open descriptor is
// locked with flock(), so a second opening fails even for the superuser.
class TQtSerialPort : public TSerialPort {
public:
    explicit TQtSerialPort(TLinkSettings settings = {});
    ~TQtSerialPort() override;

    bool Open(const QString& name) override;
    void Setup() override;
    void Purge() override;
    bool WriteByte(std::uint8_t b) override;
    int Read(std::uint8_t* dst, int n, int totalTimeoutMs) override;
    void Close() override;

private:
    TLinkSettings Settings;
    std::unique_ptr<QSerialPort> Port;
};

using TPortFactory = std::function<std::unique_ptr<TSerialPort>()>;

// What every command function needs to reach the instrument: the time-outs
// and a way to make ports. The main window and the command-line tool keep
// one with the defaults; tests pass short time-outs or wrapped ports.
class TInstrumentLink {
public:
    // Without a factory the link makes TQtSerialPort objects.
    explicit TInstrumentLink(TLinkSettings settings = {}, TPortFactory factory = {});

    const TLinkSettings& Settings() const { return LinkSettings; }
    TLinkSettings& Settings() { return LinkSettings; }
    std::unique_ptr<TSerialPort> NewPort() const;

private:
    TLinkSettings LinkSettings;
    TPortFactory Factory;
};

// The simulated instrument as its serial line sees it: request bytes in,
// answer bytes out. Gathers the bytes into 28-byte frames (resynchronising
// on a frame without its end mark), lets the instrument answer each frame,
// changes the answer where an injected fault says so, and records every
// frame it received.
//
// It knows nothing of time or of devices: the pseudo-terminal server of
// zksim and the in-process port (SimPort.h) both feed it bytes and deliver
// its replies, each in its own way.
#pragma once

#include "SimInstrument.h"
#include "SimMemory.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

enum class TSimFaultKind {
    Silent,        // no answer
    Short,         // the answer without its last byte
    Busy,          // the one byte 0x55
    MemoryFailure, // the one byte 0xFF
    Unexpected,    // the one byte 0x00
    Late,          // the answer, then four extra bytes DE AD BE EF
    Oversize,      // a list size of 17, or a spectrum length of 16392 bytes
    Overcount,     // a spectrum block announcing one channel more than it holds
};

// A fault for the frames of one command code: every one (Nth 0) or only the
// Nth (counting from 1).
struct TSimFault {
    TSimFaultKind Kind = TSimFaultKind::Silent;
    int Code = 0;
    int Nth = 0;
};

// Parses "KIND:CODE[:N]" with KIND one of silent, short, busy, memfail,
// unexpected, late, oversize, overcount; CODE 0..255, N >= 1. False, with
// `fault` unchanged, for any other text.
bool ParseSimFault(const QString& text, TSimFault& fault);

// What the instrument sends back for one frame: `Answer` at once, `Late`
// some time after it (empty unless a late fault applies).
struct TSimReply {
    std::vector<std::uint8_t> Answer;
    std::vector<std::uint8_t> Late;
};

using TSimFrame = std::array<std::uint8_t, 28>;

// One received frame as "code HEX": the decimal code, a space and the 26
// data bytes in upper-case hex. The form of the frame log.
QString FormatSimFrame(const TSimFrame& frame);

class TSimDevice {
public:
    explicit TSimDevice(TSimMemory memory);

    // Faults apply to the frames served after they are added; the first
    // fault that matches a frame decides.
    void AddFault(const TSimFault& fault);
    // Parses and adds "KIND:CODE[:N]"; false (and nothing added) if malformed.
    bool AddFault(const QString& text);

    // Takes one byte from the line. When it completes a frame, the frame is
    // served, `reply` is set and true returned; otherwise `reply` is left
    // alone. A 28th byte other than 0x55 drops the oldest byte instead.
    bool Receive(std::uint8_t b, TSimReply& reply);

    // Serves one complete frame (code at 0, payload at 1..26): records it,
    // lets the instrument answer and applies the matching fault.
    TSimReply Serve(const TSimFrame& frame);

    // True while the bytes of a started frame wait for the rest.
    bool InFrame() const { return !Pending.empty(); }
    // Forgets a started frame, so the next byte starts a new one.
    void DropPartialFrame();

    // The frames served so far, oldest first.
    const std::vector<TSimFrame>& Received() const { return ReceivedFrames; }
    // The same as "code HEX" lines.
    QStringList Frames() const;
    // Only the command codes, space-separated: "5 6 7 10".
    QString Codes() const;
    // The payload (26 bytes, hex) of the n-th frame; empty when there is none.
    QString Payload(int n) const;
    void ClearReceived() { ReceivedFrames.clear(); }

    // The instrument behind the line: its memory and download state.
    const TSimInstrument& Instrument() const { return Sim; }

    // Receives one line per served frame ("code HEX") and per event worth
    // noting ("# ..."), as they happen. Optional.
    std::function<void(const QString& line)> LogLine;

private:
    void Note(const QString& text) const;

    TSimInstrument Sim;
    std::vector<TSimFault> Faults;
    std::vector<std::uint8_t> Pending;
    std::vector<TSimFrame> ReceivedFrames;
    int Seen[256] = {};
};

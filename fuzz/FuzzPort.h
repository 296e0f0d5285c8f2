// A serial port whose instrument answers come from a fuzz input: every Read
// takes the next bytes of one shared stream, so a command function that
// opens the port several times reads one answer after the other. When the
// stream runs out, reads come back short, as a silent instrument's would.
#pragma once

#include "instrument/SerialPort.h"

#include <cstddef>
#include <cstdint>

// The answer bytes still to be delivered; shared by every port of one run.
struct TFuzzAnswers {
    const std::uint8_t* Data = nullptr;
    std::size_t Size = 0;
};

class TFuzzPort : public TSerialPort {
public:
    explicit TFuzzPort(TFuzzAnswers& answers) : Answers(answers) {}

    bool Open(const QString& name) override;
    void Setup() override {}
    void Purge() override {}
    bool WriteByte(std::uint8_t b) override;
    int Read(std::uint8_t* dst, int n, int totalTimeoutMs) override;
    void Close() override { IsOpen = false; }

private:
    TFuzzAnswers& Answers;
    bool IsOpen = false;
};

// A link whose ports all answer from `answers`.
TInstrumentLink MakeFuzzLink(TFuzzAnswers& answers);

// The simulated instrument's answers: one request frame in, the answer bytes
// out, with the memory changed as the instrument would change it.
#pragma once

#include "SimMemory.h"

#include <cstdint>
#include <vector>

class TSimInstrument {
public:
    explicit TSimInstrument(TSimMemory memory) : Memory(std::move(memory)) {}

    // Answers one 28-byte frame (code at 0, payload at 1..26). Unknown codes
    // get no answer.
    std::vector<std::uint8_t> Answer(const std::uint8_t* frame);

    const TSimMemory& State() const { return Memory; }
    bool Downloading() const { return InDownload; }

private:
    // The sample that the read commands deliver.
    const TSampleFile& Source() const;

    TSimMemory Memory;
    bool InDownload = false;
    int Selected = -1; // -1 current, -2 background, else stored index
};

#include "FuzzPort.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

bool TFuzzPort::Open(const QString& name) {
    IsOpen = !name.isEmpty();
    return IsOpen;
}

bool TFuzzPort::WriteByte(std::uint8_t) {
    // A command function that writes to a port it did not open is a fault of
    // its own, not of the answers.
    if (!IsOpen) {
        std::abort();
    }
    return true;
}

int TFuzzPort::Read(std::uint8_t* dst, int n, int) {
    if (!IsOpen || n < 0) {
        std::abort();
    }
    const std::size_t count = std::min(static_cast<std::size_t>(n), Answers.Size);
    if (count > 0) {
        std::memcpy(dst, Answers.Data, count);
        Answers.Data += count;
        Answers.Size -= count;
    }
    return static_cast<int>(count);
}

TInstrumentLink MakeFuzzLink(TFuzzAnswers& answers) {
    TLinkSettings settings;
    settings.ReadTimeoutMs = 1;
    return TInstrumentLink(settings, [&answers] { return std::make_unique<TFuzzPort>(answers); });
}

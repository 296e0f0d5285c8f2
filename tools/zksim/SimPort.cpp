#include "SimPort.h"

#include <algorithm>

TSimulator::TSimulator(TSimMemory memory) : TSimDevice(std::move(memory)) {}

TInstrumentLink TSimulator::Link(TLinkSettings settings) {
    return TInstrumentLink(settings, [this] { return NewPort(); });
}

std::unique_ptr<TSerialPort> TSimulator::NewPort() {
    return std::make_unique<TSimPort>(*this);
}

TSimPort::~TSimPort() {
    Release();
}

bool TSimPort::Open(const QString& name) {
    Close();
    if (name.isEmpty() || (!Sim.Name.isEmpty() && name != Sim.Name) || Sim.HeldElsewhere ||
        Sim.Claimed) {
        return false;
    }
    Sim.Claimed = true;
    IsOpen = true;
    ++Sim.OpenCount;
    return true;
}

void TSimPort::Setup() {
    Purge();
}

void TSimPort::Purge() {
    if (IsOpen) {
        Sim.Line.clear();
    }
}

bool TSimPort::WriteByte(std::uint8_t b) {
    if (!IsOpen) {
        return false;
    }
    TSimReply reply;
    if (Sim.Receive(b, reply)) {
        Sim.Line.insert(Sim.Line.end(), reply.Answer.begin(), reply.Answer.end());
        Sim.Line.insert(Sim.Line.end(), reply.Late.begin(), reply.Late.end());
    }
    return true;
}

int TSimPort::Read(std::uint8_t* dst, int n, int /*totalTimeoutMs*/) {
    if (!IsOpen || n <= 0) {
        return 0;
    }
    const int got = std::min(n, static_cast<int>(Sim.Line.size()));
    std::copy_n(Sim.Line.begin(), got, dst);
    Sim.Line.erase(Sim.Line.begin(), Sim.Line.begin() + got);
    return got;
}

void TSimPort::Close() {
    if (IsOpen) {
        ++Sim.CloseCount;
        Release();
    }
}

void TSimPort::Release() {
    if (IsOpen) {
        // The line falls idle: a frame sent only in part never completes.
        Sim.DropPartialFrame();
        Sim.Claimed = false;
        IsOpen = false;
    }
}

#include "SimDevice.h"

#include <QByteArray>
#include <QMap>

#include <algorithm>
#include <tuple>

namespace {

constexpr std::size_t FrameBytes = std::tuple_size_v<TSimFrame>;
constexpr std::uint8_t EndMark = 0x55;

} // namespace

bool ParseSimFault(const QString& text, TSimFault& fault) {
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() < 2 || parts.size() > 3) {
        return false;
    }
    static const QMap<QString, TSimFaultKind> kinds = {
        {QStringLiteral("silent"), TSimFaultKind::Silent},
        {QStringLiteral("short"), TSimFaultKind::Short},
        {QStringLiteral("busy"), TSimFaultKind::Busy},
        {QStringLiteral("memfail"), TSimFaultKind::MemoryFailure},
        {QStringLiteral("unexpected"), TSimFaultKind::Unexpected},
        {QStringLiteral("late"), TSimFaultKind::Late},
        {QStringLiteral("oversize"), TSimFaultKind::Oversize},
        {QStringLiteral("overcount"), TSimFaultKind::Overcount},
    };
    if (!kinds.contains(parts[0])) {
        return false;
    }
    TSimFault f;
    f.Kind = kinds.value(parts[0]);
    bool ok = false;
    f.Code = parts[1].toInt(&ok);
    if (!ok || f.Code < 0 || f.Code > 255) {
        return false;
    }
    if (parts.size() == 3) {
        f.Nth = parts[2].toInt(&ok);
        if (!ok || f.Nth < 1) {
            return false;
        }
    }
    fault = f;
    return true;
}

QString FormatSimFrame(const TSimFrame& frame) {
    const QByteArray payload(reinterpret_cast<const char*>(frame.data()) + 1, 26);
    return QString::number(frame[0]) + QLatin1Char(' ') +
           QString::fromLatin1(payload.toHex().toUpper());
}

TSimDevice::TSimDevice(TSimMemory memory) : Sim(std::move(memory)) {}

void TSimDevice::AddFault(const TSimFault& fault) {
    Faults.push_back(fault);
}

bool TSimDevice::AddFault(const QString& text) {
    TSimFault fault;
    if (!ParseSimFault(text, fault)) {
        return false;
    }
    AddFault(fault);
    return true;
}

void TSimDevice::Note(const QString& text) const {
    if (LogLine) {
        LogLine(QStringLiteral("# ") + text);
    }
}

bool TSimDevice::Receive(std::uint8_t b, TSimReply& reply) {
    Pending.push_back(b);
    if (Pending.size() < FrameBytes) {
        return false;
    }
    if (Pending.back() != EndMark) {
        Note(QStringLiteral("frame without end mark, resynchronising"));
        Pending.erase(Pending.begin());
        return false;
    }
    TSimFrame frame;
    std::copy(Pending.begin(), Pending.end(), frame.begin());
    Pending.clear();
    reply = Serve(frame);
    return true;
}

void TSimDevice::DropPartialFrame() {
    if (!Pending.empty()) {
        Note(QStringLiteral("incomplete frame dropped (%1 bytes)").arg(Pending.size()));
        Pending.clear();
    }
}

TSimReply TSimDevice::Serve(const TSimFrame& frame) {
    ReceivedFrames.push_back(frame);
    if (LogLine) {
        LogLine(FormatSimFrame(frame));
    }
    const int code = frame[0];
    const int seen = ++Seen[code];
    const TSimFault* fault = nullptr;
    for (const TSimFault& f : Faults) {
        if (f.Code == code && (f.Nth == 0 || f.Nth == seen)) {
            fault = &f;
            break;
        }
    }
    // A fault that replaces the answer keeps the instrument's state as it
    // was: the instrument did not carry the command out.
    TSimReply reply;
    std::vector<std::uint8_t>& answer = reply.Answer;
    if (fault == nullptr || fault->Kind == TSimFaultKind::Short ||
        fault->Kind == TSimFaultKind::Late || fault->Kind == TSimFaultKind::Oversize ||
        fault->Kind == TSimFaultKind::Overcount) {
        answer = Sim.Answer(frame.data());
    }
    if (fault == nullptr) {
        return reply;
    }
    switch (fault->Kind) {
    case TSimFaultKind::Silent:
        break;
    case TSimFaultKind::Short:
        if (!answer.empty()) {
            answer.pop_back();
        }
        break;
    case TSimFaultKind::Busy:
        answer = {0x55};
        break;
    case TSimFaultKind::MemoryFailure:
        answer = {0xFF};
        break;
    case TSimFaultKind::Unexpected:
        answer = {0x00};
        break;
    case TSimFaultKind::Late:
        reply.Late = {0xDE, 0xAD, 0xBE, 0xEF};
        break;
    case TSimFaultKind::Oversize:
        // A list size of 17, or a spectrum block of 4097 channels.
        if (code == 20 && answer.size() == 2) {
            answer = {0x40, 0x08};
        } else if (!answer.empty()) {
            answer[0] = 17;
        }
        break;
    case TSimFaultKind::Overcount:
        // A spectrum block announcing one channel more than it holds.
        if (answer.size() >= 2) {
            const int size = ((answer[0] << 8) | answer[1]) + 1;
            answer[0] = static_cast<std::uint8_t>(size >> 8);
            answer[1] = static_cast<std::uint8_t>(size);
        }
        break;
    }
    return reply;
}

QStringList TSimDevice::Frames() const {
    QStringList frames;
    for (const TSimFrame& frame : ReceivedFrames) {
        frames << FormatSimFrame(frame);
    }
    return frames;
}

QString TSimDevice::Codes() const {
    QStringList codes;
    for (const TSimFrame& frame : ReceivedFrames) {
        codes << QString::number(frame[0]);
    }
    return codes.join(QLatin1Char(' '));
}

QString TSimDevice::Payload(int n) const {
    return Frames().value(n).section(QLatin1Char(' '), 1, 1);
}

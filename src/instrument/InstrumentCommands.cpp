#include "instrument/InstrumentCommands.h"

#include "instrument/ByteOrder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// Command codes.
enum : std::uint8_t {
    CodeEndWrite = 1,
    CodeWriteECal = 2,
    CodeWriteWCal = 3,
    CodeWriteRCal = 4,
    CodeReadECal = 5,
    CodeReadWCal = 6,
    CodeReadRCal = 7,
    CodeFirstPeak = 8,
    CodeNextPeak = 9,
    CodeReadPeakList = 10,
    CodeReadSpectrum = 11,
    CodeReadParameter = 12,
    CodeReadResults = 13,
    CodeSampleCount = 17,
    CodeClearMemory = 18,
    CodeResetSampleID = 19,
    CodeSpectrumLength = 20,
    CodeBeginDownload = 21,
    CodeEndDownload = 22,
    CodeSelectSample = 23,
    CodeSelectBackground = 24,
    CodeWriteSpecConfig = 25,
    CodeReadSpecConfig = 26,
    CodeReadInfo = 27,
};

// Wire layouts: the multi-byte fields of each record.
constexpr int PeakEntrySize = 26;
constexpr int ResultEntrySize = 12;

void SwapPeakEntry(std::uint8_t* entry) {
    SwapFields(entry, {{16, 2}, {18, 4}, {22, 4}});
}

void SwapResultEntry(std::uint8_t* entry) {
    SwapFields(entry, {{0, 4}, {4, 4}, {8, 4}});
}

void SwapParameter(std::uint8_t* p) {
    SwapFields(p, {{1, 4}, {5, 4}, {9, 4}, {13, 2}, {15, 4}});
}

void SwapSingles(std::uint8_t* p, int count) {
    for (int i = 0; i < count; ++i) {
        SwapBytes32(p + 4 * i);
    }
}

template <typename T> std::array<std::uint8_t, sizeof(T)> BytesOf(const T& record) {
    std::array<std::uint8_t, sizeof(T)> bytes{};
    std::memcpy(bytes.data(), &record, sizeof(T));
    return bytes;
}

template <typename T> void StoreBytes(T& record, const std::uint8_t* bytes) {
    std::memcpy(&record, bytes, sizeof(T));
}

// One opening of the port: open and set up on construction, close on every
// path when it goes out of scope.
class TExchange {
public:
    TExchange(const QString& portName, const TInstrumentLink& link) : Link(link) {
        if (portName.isEmpty()) {
            return;
        }
        Port = link.NewPort();
        if (!Port || !Port->Open(portName)) {
            Port.reset();
            return;
        }
        Port->Setup();
    }
    ~TExchange() {
        if (Port) {
            Port->Close();
        }
    }
    TExchange(const TExchange&) = delete;
    TExchange& operator=(const TExchange&) = delete;

    bool IsOpen() const { return Port != nullptr; }

    // The 28-byte frame as 28 one-byte writes; bytes after the payload are zero.
    void Send(std::uint8_t code, const std::uint8_t* payload = nullptr, int size = 0) {
        std::array<std::uint8_t, FrameSize> frame{};
        frame[0] = code;
        if (payload != nullptr && size > 0) {
            std::memcpy(frame.data() + 1, payload, std::min(size, FramePayloadSize));
        }
        frame[FrameSize - 1] = FrameEndMark;
        for (std::uint8_t b : frame) {
            Port->WriteByte(b);
        }
    }

    // Reads exactly `n` bytes within the read time-out; returns the count.
    int Read(std::uint8_t* dst, int n) { return Port->Read(dst, n, Link.Settings().ReadTimeoutMs); }

    // An acknowledgement: only its arrival counts.
    TComStatus Ack() {
        std::uint8_t b = 0;
        return Read(&b, 1) == 1 ? ComStatus::Ok : ComStatus::TimeOut;
    }

    TComStatus StatusByte() {
        std::uint8_t b = 0;
        return Read(&b, 1) == 1 ? StatusOfByte(b) : ComStatus::TimeOut;
    }

    // Sends one frame and reads its acknowledgement.
    TComStatus SendAcked(std::uint8_t code, const std::uint8_t* payload = nullptr, int size = 0) {
        Send(code, payload, size);
        return Ack();
    }

private:
    const TInstrumentLink& Link;
    std::unique_ptr<TSerialPort> Port;
};

// A command without payload answered by a status byte.
TComStatus StatusCommand(const QString& port, std::uint8_t code, const TInstrumentLink& link,
                         const std::uint8_t* payload = nullptr, int size = 0) {
    TExchange ex(port, link);
    if (!ex.IsOpen()) {
        return ComStatus::PortNotAvailable;
    }
    ex.Send(code, payload, size);
    return ex.StatusByte();
}

} // namespace

TComStatus StatusOfByte(std::uint8_t answer) {
    switch (answer) {
    case 0xAA:
        return ComStatus::Ok;
    case 0xFF:
        return ComStatus::MemoryFailed;
    case 0x55:
        return ComStatus::Busy;
    default:
        return ComStatus::Unexpected;
    }
}

TComStatus ComReadInstrumentInfo(const QString& port, TInstrumentInfo& info,
                                 const TInstrumentLink& link) {
    TExchange ex(port, link);
    if (!ex.IsOpen()) {
        return ComStatus::PortNotAvailable;
    }
    auto bytes = BytesOf(info);
    ex.Send(CodeReadInfo);
    const int got = ex.Read(bytes.data(), static_cast<int>(bytes.size()));
    SwapBytes16(bytes.data());
    StoreBytes(info, bytes.data());
    return got == static_cast<int>(bytes.size()) ? ComStatus::Ok : ComStatus::TimeOut;
}

TComStatus ComReadCalibration(const QString& port, TDetectorCalibration& calibration,
                              const TInstrumentLink& link) {
    TExchange ex(port, link);
    if (!ex.IsOpen()) {
        return ComStatus::PortNotAvailable;
    }
    struct TPart {
        std::uint8_t Code;
        int Offset;
        int Singles;
    };
    constexpr TPart parts[] = {{CodeReadECal, 0, 4}, {CodeReadWCal, 16, 3}, {CodeReadRCal, 28, 4}};
    auto bytes = BytesOf(calibration);
    for (const TPart& part : parts) {
        ex.Send(part.Code);
        const int got = ex.Read(bytes.data() + part.Offset, 4 * part.Singles);
        SwapSingles(bytes.data() + part.Offset, part.Singles);
        StoreBytes(calibration, bytes.data());
        if (got < 4 * part.Singles) {
            return ComStatus::TimeOut;
        }
    }
    return ComStatus::Ok;
}

TComStatus ComReadPeakList(const QString& port, TPeakList& peakList, const TInstrumentLink& link) {
    TExchange ex(port, link);
    if (!ex.IsOpen()) {
        return ComStatus::PortNotAvailable;
    }
    std::array<std::uint8_t, sizeof(TPeakList)> bytes{};
    ex.Send(CodeReadPeakList);
    if (ex.Read(bytes.data(), static_cast<int>(bytes.size())) < static_cast<int>(bytes.size())) {
        return ComStatus::TimeOut;
    }
    const int size = bytes[0];
    if (size > MaxPeaks) {
        return ComStatus::Unexpected;
    }
    for (int i = 0; i < size; ++i) {
        SwapPeakEntry(bytes.data() + 1 + PeakEntrySize * i);
    }
    StoreBytes(peakList, bytes.data());
    return ComStatus::Ok;
}

TComStatus ComReadParameter(const QString& port, TSampleParameter& parameter,
                            const TInstrumentLink& link) {
    TExchange ex(port, link);
    if (!ex.IsOpen()) {
        return ComStatus::PortNotAvailable;
    }
    auto bytes = BytesOf(parameter);
    ex.Send(CodeReadParameter);
    const bool complete =
        ex.Read(bytes.data(), static_cast<int>(bytes.size())) == static_cast<int>(bytes.size());
    if (complete) {
        SwapParameter(bytes.data());
    }
    StoreBytes(parameter, bytes.data());
    return complete ? ComStatus::Ok : ComStatus::TimeOut;
}

TComStatus ComReadSpectrum(const QString& port, TSpectrum& spectrum, const TInstrumentLink& link) {
    TExchange ex(port, link);
    if (!ex.IsOpen()) {
        return ComStatus::PortNotAvailable;
    }
    std::uint8_t length[2] = {};
    ex.Send(CodeSpectrumLength);
    if (ex.Read(length, 2) < 2) {
        return ComStatus::TimeOut;
    }
    const int n = ReadBE16(length);
    if (n < 4 || n > MaxSpectrumBlock) {
        return ComStatus::Unexpected;
    }
    std::vector<std::uint8_t> block(static_cast<std::size_t>(n));
    ex.Send(CodeReadSpectrum);
    if (ex.Read(block.data(), n) < n) {
        return ComStatus::TimeOut;
    }
    const int size = ReadBE16(block.data());
    if (4 + 4 * size > n) {
        return ComStatus::Unexpected;
    }
    spectrum.Size = static_cast<std::uint16_t>(size);
    spectrum.Offset = ReadBE16(block.data() + 2);
    for (int i = 0; i < size; ++i) {
        const auto count = static_cast<std::int32_t>(ReadBE32(block.data() + 4 + 4 * i));
        spectrum.Channel[i] = static_cast<float>(count);
    }
    return ComStatus::Ok;
}

TComStatus ComReadResults(const QString& port, TResultList& results, const TInstrumentLink& link) {
    TExchange ex(port, link);
    if (!ex.IsOpen()) {
        return ComStatus::PortNotAvailable;
    }
    auto bytes = BytesOf(results);
    ex.Send(CodeReadResults);
    if (ex.Read(bytes.data(), static_cast<int>(bytes.size())) < static_cast<int>(bytes.size())) {
        StoreBytes(results, bytes.data());
        return ComStatus::TimeOut;
    }
    const int size = bytes[0];
    if (size > MaxPeaks) {
        return ComStatus::Unexpected;
    }
    for (int i = 0; i < size; ++i) {
        SwapResultEntry(bytes.data() + 1 + ResultEntrySize * i);
    }
    StoreBytes(results, bytes.data());
    return ComStatus::Ok;
}

TComStatus ComReadSampleFile(const QString& port, TSampleFile& sample,
                             const TInstrumentLink& link) {
    // Each part is copied out of the packed record, read, and copied back.
    TDetectorCalibration calibration = sample.Calibration;
    TComStatus status = ComReadCalibration(port, calibration, link);
    sample.Calibration = calibration;
    if (status != ComStatus::Ok) {
        return status;
    }
    TPeakList peakList = sample.PeakList;
    status = ComReadPeakList(port, peakList, link);
    sample.PeakList = peakList;
    if (status != ComStatus::Ok) {
        return status;
    }
    TSampleParameter parameter = sample.Sample.Parameter;
    status = ComReadParameter(port, parameter, link);
    sample.Sample.Parameter = parameter;
    if (status != ComStatus::Ok) {
        return status;
    }
    auto spectrum = std::make_unique<TSpectrum>(sample.Sample.Spectrum);
    status = ComReadSpectrum(port, *spectrum, link);
    sample.Sample.Spectrum = *spectrum;
    if (status != ComStatus::Ok) {
        return status;
    }
    TResultList results = sample.Results;
    status = ComReadResults(port, results, link);
    sample.Results = results;
    if (status != ComStatus::Ok) {
        return status;
    }
    sample.Valid = 1;
    return ComStatus::Ok;
}

TComStatus ComWriteEWCalibration(const QString& port, const TDetectorCalibration& calibration,
                                 const TInstrumentLink& link) {
    TExchange ex(port, link);
    if (!ex.IsOpen()) {
        return ComStatus::PortNotAvailable;
    }
    auto bytes = BytesOf(calibration);
    SwapSingles(bytes.data(), 11);
    TComStatus status = ex.SendAcked(CodeWriteECal, bytes.data(), 16);
    if (status == ComStatus::Ok) {
        status = ex.SendAcked(CodeWriteWCal, bytes.data() + 16, 12);
    }
    if (status == ComStatus::Ok) {
        status = ex.SendAcked(CodeEndWrite);
    }
    return status;
}

TComStatus ComWriteEfficiency(const QString& port, const TDetectorCalibration& calibration,
                              const TInstrumentLink& link) {
    TExchange ex(port, link);
    if (!ex.IsOpen()) {
        return ComStatus::PortNotAvailable;
    }
    auto bytes = BytesOf(calibration);
    SwapSingles(bytes.data() + 28, 4);
    TComStatus status = ex.SendAcked(CodeWriteRCal, bytes.data() + 28, 16);
    if (status == ComStatus::Ok) {
        status = ex.SendAcked(CodeEndWrite);
    }
    return status;
}

TComStatus ComWritePeakList(const QString& port, const TPeakList& peakList,
                            const TInstrumentLink& link) {
    TExchange ex(port, link);
    if (!ex.IsOpen()) {
        return ComStatus::PortNotAvailable;
    }
    const auto bytes = BytesOf(peakList);
    const int size = std::min<int>(bytes[0], MaxPeaks);
    TComStatus status = ComStatus::Ok;
    for (int i = 0; i < size && status == ComStatus::Ok; ++i) {
        std::uint8_t entry[PeakEntrySize];
        std::memcpy(entry, bytes.data() + 1 + PeakEntrySize * i, PeakEntrySize);
        SwapPeakEntry(entry);
        status = ex.SendAcked(i == 0 ? CodeFirstPeak : CodeNextPeak, entry, PeakEntrySize);
    }
    if (status == ComStatus::Ok) {
        status = ex.SendAcked(CodeEndWrite);
    }
    return status;
}

TComStatus ComGetSampleCount(const QString& port, std::uint32_t& count,
                             const TInstrumentLink& link) {
    TExchange ex(port, link);
    if (!ex.IsOpen()) {
        return ComStatus::PortNotAvailable;
    }
    std::uint8_t bytes[4] = {};
    ex.Send(CodeSampleCount);
    if (ex.Read(bytes, 4) < 4) {
        return ComStatus::TimeOut;
    }
    count = ReadBE32(bytes);
    return ComStatus::Ok;
}

TComStatus ComClearMemory(const QString& port, const TInstrumentLink& link) {
    return StatusCommand(port, CodeClearMemory, link);
}

TComStatus ComResetSampleID(const QString& port, const TInstrumentLink& link) {
    TExchange ex(port, link);
    if (!ex.IsOpen()) {
        return ComStatus::PortNotAvailable;
    }
    return ex.SendAcked(CodeResetSampleID);
}

TComStatus ComBeginDownload(const QString& port, const TInstrumentLink& link) {
    return StatusCommand(port, CodeBeginDownload, link);
}

TComStatus ComEndDownload(const QString& port, const TInstrumentLink& link) {
    return StatusCommand(port, CodeEndDownload, link);
}

TComStatus ComSelectSample(const QString& port, std::uint32_t n, const TInstrumentLink& link) {
    std::uint8_t payload[4];
    WriteBE32(payload, n);
    return StatusCommand(port, CodeSelectSample, link, payload, 4);
}

TComStatus ComSelectBackground(const QString& port, const TInstrumentLink& link) {
    return StatusCommand(port, CodeSelectBackground, link);
}

TComStatus ComWriteSpecConfig(const QString& port, const TSpecConfig& config,
                              const TInstrumentLink& link) {
    TExchange ex(port, link);
    if (!ex.IsOpen()) {
        return ComStatus::PortNotAvailable;
    }
    auto bytes = BytesOf(config);
    SwapFields(bytes.data(), {{0, 4}, {4, 2}});
    TComStatus status = ex.SendAcked(CodeWriteSpecConfig, bytes.data(), sizeof(TSpecConfig));
    if (status == ComStatus::Ok) {
        status = ex.SendAcked(CodeEndWrite);
    }
    return status;
}

TComStatus ComReadSpecConfig(const QString& port, TSpecConfig& config,
                             const TInstrumentLink& link) {
    TExchange ex(port, link);
    if (!ex.IsOpen()) {
        return ComStatus::PortNotAvailable;
    }
    auto bytes = BytesOf(config);
    ex.Send(CodeReadSpecConfig);
    const int got = ex.Read(bytes.data(), static_cast<int>(bytes.size()));
    SwapFields(bytes.data(), {{0, 4}, {4, 2}});
    StoreBytes(config, bytes.data());
    return got == static_cast<int>(bytes.size()) ? ComStatus::Ok : ComStatus::TimeOut;
}

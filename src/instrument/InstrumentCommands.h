// The instrument's command set. Every function takes the port name first,
// opens and sets up the port, exchanges its frames and answers, closes the
// port on every path and returns a status code:
//
//   0 success, 1 port not available, 2 time-out (an answer arrived short or
//   not at all), 3 memory access failed, 4 busy, 5 unexpected response.
//
// Only the functions that read a status byte return 3 or 4. 5 also marks an
// answer that breaks the bounds of the records (a list size above 16, a
// spectrum block above 16388 bytes or too short for its channel count); then
// nothing is stored. An empty port name gives 1 without touching any port.
// Records are converted between the line's big-endian order and host order;
// the write functions convert a copy and never change the caller's record.
#pragma once

#include "core/sample_types.h"
#include "instrument/InstrumentInfo.h"
#include "instrument/SerialPort.h"

#include <QString>

#include <cstdint>

using TComStatus = std::uint8_t;

namespace ComStatus {
inline constexpr TComStatus Ok = 0;
inline constexpr TComStatus PortNotAvailable = 1;
inline constexpr TComStatus TimeOut = 2;
inline constexpr TComStatus MemoryFailed = 3;
inline constexpr TComStatus Busy = 4;
inline constexpr TComStatus Unexpected = 5;
inline constexpr TComStatus WriteFailed = 6; // a downloaded sample could not be saved
inline constexpr TComStatus Cancelled = 255; // the user ended the operation, no message
} // namespace ComStatus

inline constexpr int FrameSize = 28;
inline constexpr int FramePayloadSize = 26;
inline constexpr std::uint8_t FrameEndMark = 0x55;
inline constexpr int MaxSpectrumBlock = 4 + 4 * MaxChannels; // 16388 bytes

// The status of a one-byte status answer: 0xAA 0, 0xFF 3, 0x55 4, else 5.
TComStatus StatusOfByte(std::uint8_t answer);

// 27. The twelve bytes go straight into `info`; SerialNumber is converted
// even when the answer is short (status 2).
TComStatus ComReadInstrumentInfo(const QString& port, TInstrumentInfo& info,
                                 const TInstrumentLink& link);

// 5, 6, 7 in one opening, straight into ECal, WCal and RCal; the Singles of
// each part are converted even when its answer is short. A short answer
// gives 2 and ends the sequence, leaving the parts read so far.
TComStatus ComReadCalibration(const QString& port, TDetectorCalibration& calibration,
                              const TInstrumentLink& link);

// 10. Into a working copy; only a complete answer with Size <= 16 is
// converted and copied to `peakList`, otherwise it is unchanged (2 or 5).
TComStatus ComReadPeakList(const QString& port, TPeakList& peakList, const TInstrumentLink& link);

// 12. Straight into `parameter`; converted when complete, a short answer
// leaves the received bytes unconverted (2).
TComStatus ComReadParameter(const QString& port, TSampleParameter& parameter,
                            const TInstrumentLink& link);

// 20, then 11 in one opening. Stores Size, Offset and channels 0..Size-1
// (each count as the nearest Single); channels from Size on keep their
// values. A short answer leaves `spectrum` unchanged (2); an announced
// length below 4 or above 16388, or a block too short for its channel count,
// gives 5 with `spectrum` unchanged (code 11 is not sent for a bad length).
TComStatus ComReadSpectrum(const QString& port, TSpectrum& spectrum, const TInstrumentLink& link);

// 13. Straight into `results`; entries 0..Size-1 converted when complete,
// a short answer leaves the received bytes unconverted (2); a Size above 16
// gives 5 with `results` unchanged.
TComStatus ComReadResults(const QString& port, TResultList& results, const TInstrumentLink& link);

// Calibration, peak list, parameters, spectrum and results, each with its
// own opening. Stops at the first failure and returns it, leaving the parts
// read so far and Valid as it was; Valid := 1 when all five succeed.
// CalibrationType and Comment are not touched.
TComStatus ComReadSampleFile(const QString& port, TSampleFile& sample, const TInstrumentLink& link);

// 2 (ECal), 3 (WCal), 1, each acknowledged; a missing ack gives 2 and ends
// the sequence.
TComStatus ComWriteEWCalibration(const QString& port, const TDetectorCalibration& calibration,
                                 const TInstrumentLink& link);

// 4 (RCal), 1, each acknowledged.
TComStatus ComWriteEfficiency(const QString& port, const TDetectorCalibration& calibration,
                              const TInstrumentLink& link);

// 8 with entry 0, 9 with each further entry up to Size-1 (at most 16), then
// 1; each acknowledged. A missing ack gives 2 and ends without 1. Size 0
// sends only 1.
TComStatus ComWritePeakList(const QString& port, const TPeakList& peakList,
                            const TInstrumentLink& link);

// 17. `count` is set only from a complete answer.
TComStatus ComGetSampleCount(const QString& port, std::uint32_t& count,
                             const TInstrumentLink& link);

TComStatus ComClearMemory(const QString& port, const TInstrumentLink& link);   // 18, status byte
TComStatus ComResetSampleID(const QString& port, const TInstrumentLink& link); // 19, ack
TComStatus ComBeginDownload(const QString& port, const TInstrumentLink& link); // 21, status byte
TComStatus ComEndDownload(const QString& port, const TInstrumentLink& link);   // 22, status byte
TComStatus ComSelectSample(const QString& port, std::uint32_t n,
                           const TInstrumentLink& link);                          // 23, status byte
TComStatus ComSelectBackground(const QString& port, const TInstrumentLink& link); // 24, status byte

// 25 with the record, then 1, each acknowledged. RequestedDL travels
// little-endian, as it is in memory.
TComStatus ComWriteSpecConfig(const QString& port, const TSpecConfig& config,
                              const TInstrumentLink& link);

// 26. Straight into `config`; PeakThreshold and TimeToPeak are converted
// even when the answer is short (2).
TComStatus ComReadSpecConfig(const QString& port, TSpecConfig& config, const TInstrumentLink& link);

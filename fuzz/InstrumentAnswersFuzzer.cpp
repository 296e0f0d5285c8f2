// The instrument's answers. The first byte picks a command function; the
// rest is what the instrument answers, read by the function through a port
// that delivers it byte for byte and then falls silent. Every function must
// return one of its status codes, keep its records inside their bounds, and
// a record it delivers as complete goes on to what the program does with it.
#include "FuzzPort.h"
#include "FuzzUse.h"
#include "analysis/AnalysisRun.h"
#include "instrument/InstrumentCommands.h"
#include "instrument/InstrumentOperations.h"
#include "instrument/SpecConfig.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

const QString PortName = QStringLiteral("fuzz");

void RequireStatus(TComStatus status, TComStatus highest) {
    RequireFuzz(status <= highest);
}

void ReadSampleFile(const TInstrumentLink& link) {
    auto sample = std::make_unique<TSampleFile>(MakeFuzzBaseSample());
    const TComStatus status = ComReadSampleFile(PortName, *sample, link);
    RequireStatus(status, ComStatus::Unexpected);
    if (status == ComStatus::Ok) {
        AnalyseFuzzedSample(*sample);
    }
}

void ReadInstrumentInfo(const TInstrumentLink& link) {
    TInstrumentInfo info{};
    RequireStatus(ComReadInstrumentInfo(PortName, info, link), ComStatus::TimeOut);
    RequireFuzz(!InstrumentInfoText(info).isEmpty());
}

void ReadCalibration(const TInstrumentLink& link) {
    auto sample = std::make_unique<TSampleFile>(MakeFuzzBaseSample());
    TDetectorCalibration calibration = sample->Calibration;
    const TComStatus status = ComReadCalibration(PortName, calibration, link);
    RequireStatus(status, ComStatus::TimeOut);
    if (status == ComStatus::Ok) {
        sample->Calibration = calibration;
        AnalyseFuzzedSample(*sample);
    }
}

void ReadPeakList(const TInstrumentLink& link) {
    TPeakList list{};
    const TComStatus status = ComReadPeakList(PortName, list, link);
    RequireStatus(status, ComStatus::Unexpected);
    if (status != ComStatus::Ok) {
        return;
    }
    RequireFuzz(list.Size <= MaxPeaks);
    TSpecConfigFields fields;
    FillSpecConfigFields(TSpecConfig{100, 2, 0, 100, 0}, list, '.', fields);
    RequireFuzz(fields.PeakItems.size() == list.Size);
    auto sample = std::make_unique<TSampleFile>(MakeFuzzBaseSample());
    sample->PeakList = list;
    AnalyseFuzzedSample(*sample);
}

void ReadParameter(const TInstrumentLink& link) {
    TSampleParameter parameter{};
    const TComStatus status = ComReadParameter(PortName, parameter, link);
    RequireStatus(status, ComStatus::TimeOut);
    if (status == ComStatus::Ok) {
        RequireFuzz(!SampleDescription(parameter, '.').isEmpty());
        auto sample = std::make_unique<TSampleFile>(MakeFuzzBaseSample());
        sample->Sample.Parameter = parameter;
        AnalyseFuzzedSample(*sample);
    }
}

void ReadSpectrum(const TInstrumentLink& link) {
    auto sample = std::make_unique<TSampleFile>(MakeFuzzBaseSample());
    TSpectrum& spectrum = sample->Sample.Spectrum;
    auto received = std::make_unique<TSpectrum>(spectrum);
    const TComStatus status = ComReadSpectrum(PortName, *received, link);
    RequireStatus(status, ComStatus::Unexpected);
    if (status == ComStatus::Ok) {
        RequireFuzz(received->Size <= MaxChannels);
        spectrum = *received;
        AnalyseFuzzedSample(*sample);
    }
}

void ReadResults(const TInstrumentLink& link) {
    TResultList results{};
    const TComStatus status = ComReadResults(PortName, results, link);
    RequireStatus(status, ComStatus::Unexpected);
    if (status == ComStatus::Ok) {
        RequireFuzz(results.Size <= MaxPeaks);
    }
}

void GetSampleCount(const TInstrumentLink& link) {
    std::uint32_t count = 0;
    RequireStatus(ComGetSampleCount(PortName, count, link), ComStatus::TimeOut);
}

void ReadSpecConfig(const TInstrumentLink& link) {
    TSpecConfig config{};
    const TComStatus status = ComReadSpecConfig(PortName, config, link);
    RequireStatus(status, ComStatus::TimeOut);
    if (status == ComStatus::Ok) {
        const TSampleFile sample = MakeFuzzBaseSample();
        TSpecConfigFields fields;
        FillSpecConfigFields(config, sample.PeakList, ',', fields);
        TSpecConfig back = config;
        ReadSpecConfigFields(fields, ',', back);
    }
}

// The commands answered by a status byte or an acknowledgement, one after
// the other on the same answers.
void StatusCommands(const TInstrumentLink& link) {
    RequireStatus(ComClearMemory(PortName, link), ComStatus::Unexpected);
    RequireStatus(ComResetSampleID(PortName, link), ComStatus::TimeOut);
    RequireStatus(ComBeginDownload(PortName, link), ComStatus::Unexpected);
    RequireStatus(ComSelectSample(PortName, 7, link), ComStatus::Unexpected);
    RequireStatus(ComSelectBackground(PortName, link), ComStatus::Unexpected);
    RequireStatus(ComEndDownload(PortName, link), ComStatus::Unexpected);
}

// The write commands, whose only answers are acknowledgements.
void WriteCommands(const TInstrumentLink& link) {
    const TSampleFile sample = MakeFuzzBaseSample();
    RequireStatus(ComWriteEWCalibration(PortName, sample.Calibration, link), ComStatus::TimeOut);
    RequireStatus(ComWriteEfficiency(PortName, sample.Calibration, link), ComStatus::TimeOut);
    RequireStatus(ComWritePeakList(PortName, sample.PeakList, link), ComStatus::TimeOut);
    RequireStatus(ComWriteSpecConfig(PortName, TSpecConfig{100, 2, 1, 100, 0}, link),
                  ComStatus::TimeOut);
}

using TCommandRun = void (*)(const TInstrumentLink&);

constexpr TCommandRun Commands[] = {
    ReadSampleFile, ReadInstrumentInfo, ReadCalibration, ReadPeakList,
    ReadParameter,  ReadSpectrum,       ReadResults,     GetSampleCount,
    ReadSpecConfig, StatusCommands,     WriteCommands,
};
constexpr std::size_t CommandCount = sizeof(Commands) / sizeof(Commands[0]);

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    TFuzzAnswers answers{data + 1, size - 1};
    const TInstrumentLink link = MakeFuzzLink(answers);
    Commands[data[0] % CommandCount](link);
    return 0;
}

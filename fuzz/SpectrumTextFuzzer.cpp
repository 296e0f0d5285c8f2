// Spectrum text files of every layout (SPE, CSV and N42 included), read whole and as the beginning
// of a longer file. A read that fails or recognises nothing leaves the
// caller's spectrum and calibration as they were; an accepted spectrum stays
// inside the channel array, and when the import takes it, the sample goes
// through the analysis run.
#include "FuzzUse.h"
#include "core/Errors.h"
#include "core/SpectrumTextFile.h"
#include "workstation/Workstation.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace {

TCalSpectrum EntrySpectrum() {
    TCalSpectrum s;
    s.Size = -1;
    s.Offset = 17;
    s.AdcResolution = 3;
    s.RefVoltage = 5;
    s.Channels.fill(-9);
    s.LifeTime = 21;
    s.Dropped = 5;
    s.SerialNumber = 4;
    s.SampleID = 3;
    s.Description = "entry";
    s.Start = "2000-01-01T00:00:00";
    return s;
}

bool Same(const TCalSpectrum& a, const TCalSpectrum& b) {
    return a.Size == b.Size && a.Offset == b.Offset && a.AdcResolution == b.AdcResolution &&
           std::memcmp(&a.RefVoltage, &b.RefVoltage, sizeof a.RefVoltage) == 0 &&
           a.Channels == b.Channels && a.LifeTime == b.LifeTime && a.Dropped == b.Dropped &&
           a.Description == b.Description && a.Start == b.Start &&
           a.SerialNumber == b.SerialNumber && a.SampleID == b.SampleID;
}

void ReadOnce(std::string_view bytes, bool complete) {
    const TCalSpectrum entry = EntrySpectrum();
    const TFileCalibration entryCalibration{1, 2, 3, 4};
    TTextSpectrum read;
    read.Spectrum = entry;
    read.Calibration = entryCalibration;
    try {
        read.Layout = DecodeSpectrumText(bytes, QStringLiteral("fuzz.txt"), '.', read.Spectrum,
                                         read.Calibration, complete);
    } catch (const EConversionError& e) {
        RequireFuzz(*e.what() != '\0');
        RequireFuzz(Same(read.Spectrum, entry) && read.Calibration == entryCalibration);
        return;
    }
    if (read.Layout == TTextLayout::Unrecognised) {
        RequireFuzz(Same(read.Spectrum, entry) && read.Calibration == entryCalibration);
        return;
    }
    RequireFuzz(read.Spectrum.Size >= -1 && read.Spectrum.Size <= CalChannels);
    RequireFuzz(read.Spectrum.Dropped >= 0);
    if (IsExchangeLayout(read.Layout)) {
        RequireFuzz(read.Spectrum.Size >= 0 && read.Spectrum.Size <= MaxChannels);
        // A start the reader gives is one it accepts, and the comment keeps it.
        RequireFuzz(MeasurementStartText(read.Spectrum.Start) == read.Spectrum.Start);
        RequireFuzz(read.Spectrum.Description.size() <= MaxCommentLength ||
                    read.Spectrum.Start.empty());
        RequireFuzz(MeasurementStartOfComment(read.Spectrum.Description.substr(
                        0, MaxCommentLength)) == read.Spectrum.Start ||
                    read.Spectrum.Start.empty());
    }
    if (read.Layout == TTextLayout::Vintrava) {
        RequireFuzz(read.Spectrum.Size == 256);
    }
    TSampleFile sample = MakeFuzzBaseSample();
    const TSampleFile before = sample;
    if (ApplyTextSpectrum(read, QStringLiteral("fuzz.txt"), sample).isEmpty()) {
        RequireFuzz(sample.Sample.Spectrum.Size <= MaxChannels);
        AnalyseFuzzedSample(sample);
    } else {
        RequireFuzz(std::memcmp(&sample, &before, sizeof sample) == 0);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ReadOnce(bytes, true);
    ReadOnce(bytes, false);
    return 0;
}

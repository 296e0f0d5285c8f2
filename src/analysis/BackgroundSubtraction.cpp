#include "analysis/BackgroundSubtraction.h"

#include "analysis/RoiEvaluation.h"

bool CanSubtractBackground(const TSampleFile& sample, const TSampleFile& background) {
    const TSpectrum& s = sample.Sample.Spectrum;
    const TSpectrum& b = background.Sample.Spectrum;
    return s.Size == b.Size && s.Offset == b.Offset && s.Size <= MaxChannels &&
           sample.Sample.Parameter.SampleInterval != 0 &&
           background.Sample.Parameter.SampleInterval != 0;
}

void SubtractBackground(TSampleFile& sample, TSampleFile& background) {
    if (!CanSubtractBackground(sample, background)) {
        return;
    }
    const double ratio = static_cast<double>(sample.Sample.Parameter.SampleInterval) /
                         background.Sample.Parameter.SampleInterval;
    TSpectrum& s = sample.Sample.Spectrum;
    const TSpectrum& b = background.Sample.Spectrum;
    const int size = s.Size;
    for (int i = 0; i < size; ++i) {
        const double gross = s.Channel[i];
        const double scaled = ratio * b.Channel[i];
        s.Channel[i] = ToSingle(gross - scaled);
    }
    background.PeakList = sample.PeakList;
}

TSampleFile PrepareWorkingCopy(const TSampleFile& measured, TSampleFile& background,
                               bool subtractionChecked, bool& subtracted) {
    TSampleFile copy = measured;
    subtracted =
        subtractionChecked && IsTrue(background.Valid) && CanSubtractBackground(copy, background);
    if (subtracted) {
        SubtractBackground(copy, background);
    }
    return copy;
}

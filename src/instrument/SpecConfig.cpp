#include "instrument/SpecConfig.h"

#include "core/NumberFormat.h"
#include "core/Single.h"

#include <cstdint>

QString SpecConfigPeakItem(const TPeakEntry& peak) {
    const std::uint16_t energy = peak.Energy;
    return PeakNameToText(peak) + QStringLiteral(", ") + QString::number(energy) +
           QStringLiteral("keV");
}

void FillSpecConfigFields(const TSpecConfig& config, const TPeakList& peakList,
                          char decimalSeparator, TSpecConfigFields& fields) {
    const float threshold = config.PeakThreshold;
    const std::uint16_t timeToPeak = config.TimeToPeak;
    fields.PeakThreshold = QString::fromStdString(FormatGeneral(threshold, decimalSeparator));
    fields.TimeToPeak = QString::fromStdString(FormatGeneral(timeToPeak, decimalSeparator));
    fields.SubtractBackground = (config.Mode & 1) != 0;
    fields.PeakItems.clear();
    const int peaks = UsablePeaks(peakList);
    for (int i = 0; i < peaks; ++i) {
        const TPeakEntry peak = peakList.Peak[i];
        fields.PeakItems << SpecConfigPeakItem(peak);
    }
    const int index = config.PeakIndexDL;
    fields.PeakIndex = (index >= 0 && index < fields.PeakItems.size()) ? index : -1;
}

bool ReadSpecConfigFields(const TSpecConfigFields& fields, char decimalSeparator,
                          TSpecConfig& config) {
    std::int64_t threshold = 0;
    if (!TryParseInteger(fields.PeakThreshold.toStdString(), threshold)) {
        threshold = 0;
    }
    std::int64_t timeToPeak = 0;
    if (!TryParseInteger(fields.TimeToPeak.toStdString(), timeToPeak)) {
        timeToPeak = 0;
    }
    const auto time16 = static_cast<std::uint16_t>(static_cast<std::uint64_t>(timeToPeak) & 0xFFFF);
    const double limit =
        ParseNumberOr(fields.DetectionLimit.toStdString(), decimalSeparator, 100.0);
    if (threshold == 0 || time16 == 0) {
        return false;
    }
    config.PeakThreshold = static_cast<float>(threshold); // an integer, always in range
    config.TimeToPeak = time16;
    config.RequestedDL = ToSingle(limit);
    const std::uint8_t mode = config.Mode;
    config.Mode = static_cast<std::uint8_t>((mode & ~1u) | (fields.SubtractBackground ? 1u : 0u));
    const bool selected = fields.PeakIndex >= 0 && fields.PeakIndex < fields.PeakItems.size();
    config.PeakIndexDL = static_cast<std::int8_t>(selected ? fields.PeakIndex : -1);
    return true;
}

bool RunSpecConfigDialog(TSpecConfigView& view, TPrompt& prompt, const TPeakList& peakList,
                         TSpecConfig& config, TSpecConfigFields& fields, char decimalSeparator) {
    FillSpecConfigFields(config, peakList, decimalSeparator, fields);
    if (!view.Execute(fields)) {
        return false;
    }
    if (!ReadSpecConfigFields(fields, decimalSeparator, config)) {
        prompt.ShowMessage(QStringLiteral("Invalid input values"));
        return false;
    }
    return true;
}

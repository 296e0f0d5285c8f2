#include "analysis/UncertaintySettings.h"

#include "core/Ansi.h"
#include "core/AtomicWrite.h"
#include "core/NumberFormat.h"

#include <QFile>
#include <QtEndian>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

constexpr qint64 RecordSize = sizeof(TUncertainties);

double ReadDouble(const char* bytes) {
    std::uint64_t raw = 0;
    std::memcpy(&raw, bytes, sizeof raw);
    return std::bit_cast<double>(qFromLittleEndian(raw));
}

void WriteDouble(char* bytes, double value) {
    const std::uint64_t raw = qToLittleEndian(std::bit_cast<std::uint64_t>(value));
    std::memcpy(bytes, &raw, sizeof raw);
}

QString Text(const std::string& ascii) {
    return AnsiToText(ascii);
}

} // namespace

bool DecodeUncertainties(const QByteArray& bytes, TUncertainties& values) {
    if (bytes.size() < RecordSize) {
        return false;
    }
    TUncertainties decoded{};
    decoded.uScale = ReadDouble(bytes.constData());
    decoded.uEfficiency = ReadDouble(bytes.constData() + 8);
    decoded.uCurve = ReadDouble(bytes.constData() + 16);
    decoded.uFactor = ReadDouble(bytes.constData() + 24);
    values = decoded;
    return true;
}

TUncertaintyLoadStatus LoadUncertaintySettings(TUncertaintySettings& settings, QString& error,
                                               const QString& path) {
    settings.UncertaintySetupValid = false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return TUncertaintyLoadStatus::NotFound;
    }
    const QByteArray bytes = file.read(RecordSize);
    TUncertainties values{};
    if (!DecodeUncertainties(bytes, values)) {
        error = file.error() != QFileDevice::NoError
                    ? QString("Cannot read the uncertainty settings file \"%1\": %2")
                          .arg(path, file.errorString())
                    : QString("Cannot read the uncertainty settings file \"%1\": it holds %2 "
                              "bytes, %3 are needed.")
                          .arg(path)
                          .arg(bytes.size())
                          .arg(RecordSize);
        return TUncertaintyLoadStatus::ReadError;
    }
    settings.UncertaintySetup = values;
    settings.UncertaintySetupValid = true;
    return TUncertaintyLoadStatus::Loaded;
}

bool SaveUncertaintySettings(const TUncertainties& values, QString& error, const QString& path) {
    char bytes[RecordSize];
    WriteDouble(bytes, values.uScale);
    WriteDouble(bytes + 8, values.uEfficiency);
    WriteDouble(bytes + 16, values.uCurve);
    WriteDouble(bytes + 24, values.uFactor);
    return WriteFileAtomically(path, QByteArray(bytes, RecordSize), error,
                               QStringLiteral("the uncertainty settings file"));
}

bool GetTotalUncertainty(const TUncertaintySettings& settings, double countingPercent,
                         double& total) {
    if (!settings.UncertaintySetupValid) {
        total = 0;
        return false;
    }
    const TUncertainties u = settings.UncertaintySetup;
    const long double a = static_cast<long double>(countingPercent) / 100;
    const long double scale = u.uScale, efficiency = u.uEfficiency;
    const long double root = std::sqrt(a * a + scale * scale + efficiency * efficiency);
    total = static_cast<double>((u.uFactor * root + u.uCurve) * 100);
    return true;
}

QString FormatActivityStatement(const TUncertaintySettings& settings, bool label,
                                const TPeakResult& result, char decimalSeparator) {
    const double activity = result.Activity;
    const double error = result.Error;
    const QString a1 = Text(FormatFixed(activity, 18, 1, decimalSeparator));
    if (!(error > 0)) {
        return activity > 0 ? "< " + a1 + " Bq/kg" : QString("Invalid parameters");
    }
    if (label) {
        return a1 + " Bq/kg";
    }
    double total = 0;
    if (GetTotalUncertainty(settings, error / 1.96, total)) {
        if (total <= 1) {
            return a1 + " Bq/kg +/- < 1 %";
        }
        return a1 + " Bq/kg +/- " + QString::number(Round(total)) + " %";
    }
    // Without the laboratory's figures only the counting uncertainty is known;
    // the parentheses mark it as such, as in the report.
    if (error <= 1) {
        return a1 + " Bq/kg +/- (< 1) %";
    }
    return a1 + " Bq/kg +/- (" + QString::number(Round(error)) + ") %";
}

TUncertaintyTexts UncertaintiesToTexts(const TUncertainties& values, char decimalSeparator) {
    const auto fixed = [&](double v) { return Text(FormatFixed(v, 3, 3, decimalSeparator)); };
    return {fixed(values.uScale * 100), fixed(values.uEfficiency * 100), fixed(values.uCurve * 100),
            fixed(values.uFactor)};
}

TUncertainties TextsToUncertainties(const TUncertaintyTexts& texts, char decimalSeparator) {
    const auto number = [&](const QString& text) {
        return ParseNumberOr(TextToAnsi(text), decimalSeparator, 0);
    };
    return {number(texts.Scale) / 100, number(texts.Efficiency) / 100, number(texts.Curve) / 100,
            number(texts.Factor)};
}

bool HasZeroUncertainty(const TUncertainties& values) {
    return values.uScale == 0 || values.uEfficiency == 0 || values.uCurve == 0 ||
           values.uFactor == 0;
}

// Throughput of the spectrum text reader: a ZEMA file whose data line holds
// 4096 counts, a HELIOMAT7xx file of 4096 data lines (SIZE 4096, summed by
// four into 1024 channels), and 4096-channel SPE, N42-2012 and CSV files as
// the export writes them. Each is read from a file, as the import and
// the calibration tool read it, and decoded from memory, to show the share of
// the file system.
#include "core/SpectrumExportFiles.h"
#include "core/SpectrumTextFile.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include <memory>
#include <string>

namespace {

// Counts of a plausible NaI spectrum: a falling continuum with some noise.
std::string Count(int i) {
    return std::to_string(20000 / (1 + i / 64) + (i * 7919) % 97);
}

std::string ZemaText() {
    std::string text = "ZEMA spectrum\r\n2\r\n3\r\n4\r\nU\t3000.5\r\nADC\t4096 channels\r\n"
                       "Offset\t0\r\n8\r\nC\t1.5\r\nC\t0.75\r\nC\t0.001\r\nC\t0\r\n";
    for (int line = 13; line < 20; ++line) {
        text += "remark ";
        text += std::to_string(line);
        text += "\r\n";
    }
    text += "Date\tTime\tLive\tSPECTRUM\r\n21\r\n22\r\n2026-12-10\t3600\t12:00";
    for (int i = 0; i < 4096; ++i) {
        text += '\t';
        text += Count(i);
    }
    return text + "\r\n";
}

std::string HeliomatText() {
    std::string text = "ADR\tWEIGHT:1\r\nGROUP\tVOLUME:1\r\nTYPE\t0\r\nNUMBER\t1042\r\nSTART\t0\r\n"
                       "SAVE\t3600\r\nE_min\t20\r\nE_max\t3000\r\nSAMPLE\t3600\r\nSIZE\t4096\r\n"
                       "\r\nCHANNEL\tCOUNTS\r\n";
    for (int i = 0; i < 4097; ++i) {
        text += std::to_string(i + 1);
        text += '\t';
        text += Count(i);
        text += "\r\n";
    }
    return text + "\r\nINFO\t\r\n";
}

// A 4096-channel sample with the counts above and a curved calibration.
TExportExtras Extras() {
    TExportExtras extras;
    extras.EnergyOfChannel = TFileCalibration{-11.4, 0.75, 2e-6, 0};
    extras.Start = "2026-12-10T12:00:00";
    return extras;
}

std::unique_ptr<TSampleFile> Sample() {
    auto sample = std::make_unique<TSampleFile>();
    sample->Valid = 1;
    sample->Sample.Parameter.SampleInterval = 3600;
    sample->Sample.Parameter.SerialNumber = 1042;
    sample->Sample.Spectrum.Size = 4096;
    for (int i = 0; i < 4096; ++i) {
        sample->Sample.Spectrum.Channel[i] = std::stof(Count(i));
    }
    TextToComment(*sample, QStringLiteral("Soil 12, started 2026-12-10T12:00:00"));
    return sample;
}

std::string Bytes(const QByteArray& bytes) {
    return bytes.toStdString();
}

std::string SpeText() {
    return Bytes(SpeFileText(*Sample(), Extras()));
}
std::string N42Text() {
    return Bytes(N42FileText(*Sample(), Extras()));
}
std::string CsvText() {
    return Bytes(CsvSpectrumText(*Sample(), Extras()));
}

void ReadFile(benchmark::State& state, const std::string& text) {
    QTemporaryDir dir;
    const QString path = dir.filePath("spectrum.txt");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) !=
            static_cast<qint64>(text.size())) {
        state.SkipWithError("cannot write the spectrum file");
        return;
    }
    file.close();
    for (auto _ : state) {
        TCalSpectrum spectrum;
        TFileCalibration calibration{};
        benchmark::DoNotOptimize(ReadSpectrumTextFile(path, '.', spectrum, calibration));
        benchmark::DoNotOptimize(spectrum.Channels[1]);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

void Decode(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        TCalSpectrum spectrum;
        TFileCalibration calibration{};
        benchmark::DoNotOptimize(
            DecodeSpectrumText(text, QStringLiteral("spectrum.txt"), '.', spectrum, calibration));
        benchmark::DoNotOptimize(spectrum.Channels[1]);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

} // namespace

// Each file kind read from a file and decoded from memory.
BENCHMARK_CAPTURE(ReadFile, Spe, SpeText());
BENCHMARK_CAPTURE(ReadFile, N42, N42Text());
BENCHMARK_CAPTURE(ReadFile, Csv, CsvText());
BENCHMARK_CAPTURE(ReadFile, Zema, ZemaText());
BENCHMARK_CAPTURE(ReadFile, Heliomat, HeliomatText());
BENCHMARK_CAPTURE(Decode, Spe, SpeText());
BENCHMARK_CAPTURE(Decode, N42, N42Text());
BENCHMARK_CAPTURE(Decode, Csv, CsvText());
BENCHMARK_CAPTURE(Decode, Zema, ZemaText());
BENCHMARK_CAPTURE(Decode, Heliomat, HeliomatText());

// zk_fuzz_seeds: writes the seed corpus of every fuzz entry point, one folder
// per entry point, from the example data and any further text files given.
//
//   zk_fuzz_seeds EXAMPLES-DIR CORPUS-DIR [TEXT-FILE ...]
//
// Sample files, peak lists, the nuclide library and the uncertainty settings
// are taken as they are; the short sample layout, the calibration files and
// the instrument's answers are made from the example samples. The further
// text files become nuclide library seeds.
#include "core/SampleFiles.h"
#include "core/SpectrumTextFile.h"
#include "instrument/ByteOrder.h"
#include "library/PeakListFile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using TBytes = std::vector<std::uint8_t>;

bool WriteSeed(const QString& folder, const QString& name, const QByteArray& bytes) {
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(folder));
        return false;
    }
    QFile file(folder + '/' + name);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
        return false;
    }
    return true;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

template <typename T> QByteArray RawBytes(const T& record) {
    return QByteArray(reinterpret_cast<const char*>(&record), sizeof(T));
}

// The short layout of a sample: its first 512 channels at most.
QByteArray ShortLayoutOf(const TSampleFile& s) {
    QByteArray b(ShortSampleFileSize, '\0');
    const TSampleParameter parameter = s.Sample.Parameter;
    const std::uint16_t size = std::min<std::uint16_t>(s.Sample.Spectrum.Size, ShortLayoutChannels);
    const std::uint16_t offset = s.Sample.Spectrum.Offset;
    std::memcpy(b.data(), &parameter, sizeof parameter);
    std::memcpy(b.data() + 19, &size, 2);
    std::memcpy(b.data() + 21, &offset, 2);
    for (int i = 0; i < size; ++i) {
        const float v = s.Sample.Spectrum.Channel[i];
        std::memcpy(b.data() + 23 + 4 * i, &v, 4);
    }
    const TDetectorCalibration calibration = s.Calibration;
    const TPeakList peakList = s.PeakList;
    const TResultList results = s.Results;
    std::memcpy(b.data() + 2071, &calibration, sizeof calibration);
    std::memcpy(b.data() + 2115, &peakList, sizeof peakList);
    std::memcpy(b.data() + 2532, &results, sizeof results);
    b[2725] = static_cast<char>(s.CalibrationType);
    return b;
}

// The instrument's answers, in the line's big-endian order.
void PutRecord(TBytes& out, const void* record, std::size_t size,
               std::initializer_list<TWireField> fields, int entries = 1, int entrySize = 0,
               int firstEntry = 0) {
    TBytes bytes(size);
    std::memcpy(bytes.data(), record, size);
    for (int i = 0; i < entries; ++i) {
        SwapFields(bytes.data() + firstEntry + i * entrySize, fields);
    }
    out.insert(out.end(), bytes.begin(), bytes.end());
}

void PutCalibration(TBytes& out, const TDetectorCalibration& calibration) {
    PutRecord(out, &calibration, sizeof calibration, {{0, 4}}, 11, 4);
}

void PutPeakList(TBytes& out, const TPeakList& list) {
    PutRecord(out, &list, sizeof list, {{16, 2}, {18, 4}, {22, 4}},
              std::min<int>(list.Size, MaxPeaks), 26, 1);
}

void PutParameter(TBytes& out, const TSampleParameter& parameter) {
    PutRecord(out, &parameter, sizeof parameter, {{1, 4}, {5, 4}, {9, 4}, {13, 2}, {15, 4}});
}

// The length answer, then the block: size, offset and the counts.
void PutSpectrum(TBytes& out, const TSpectrum& spectrum, int channels) {
    const int size = std::min<int>(spectrum.Size, channels);
    std::uint8_t word[4];
    WriteBE16(word, static_cast<std::uint16_t>(4 + 4 * size));
    out.insert(out.end(), word, word + 2);
    WriteBE16(word, static_cast<std::uint16_t>(size));
    out.insert(out.end(), word, word + 2);
    WriteBE16(word, spectrum.Offset);
    out.insert(out.end(), word, word + 2);
    for (int i = 0; i < size; ++i) {
        WriteBE32(word, static_cast<std::uint32_t>(std::lround(spectrum.Channel[i])));
        out.insert(out.end(), word, word + 4);
    }
}

void PutResults(TBytes& out, const TResultList& results) {
    PutRecord(out, &results, sizeof results, {{0, 4}, {4, 4}, {8, 4}},
              std::min<int>(results.Size, MaxPeaks), 12, 1);
}

QByteArray Answers(std::uint8_t command, const TBytes& answers) {
    QByteArray bytes(1, static_cast<char>(command));
    bytes.append(reinterpret_cast<const char*>(answers.data()),
                 static_cast<qsizetype>(answers.size()));
    return bytes;
}

// One seed per command function of the instrument entry point, numbered as
// it numbers them, from one sample whose spectrum is cut to `channels`.
bool WriteInstrumentSeeds(const QString& folder, const QString& stem, const TSampleFile& s,
                          int channels) {
    const TSampleParameter parameter = s.Sample.Parameter;
    TBytes calibration, peakList, param, spectrum, results;
    PutCalibration(calibration, s.Calibration);
    PutPeakList(peakList, s.PeakList);
    PutParameter(param, parameter);
    PutSpectrum(spectrum, s.Sample.Spectrum, channels);
    PutResults(results, s.Results);

    TBytes sample;
    for (const TBytes* part : {&calibration, &peakList, &param, &spectrum, &results}) {
        sample.insert(sample.end(), part->begin(), part->end());
    }
    const TBytes info = {0x04, 0xD2, 2, 5, 1, 0, 3, 5, 19, 12, 1, 21};
    const TBytes count = {0, 0, 0, 6};
    const TBytes config = {0x42, 0xC8, 0, 0, 0, 2, 1, 0, 0, 0xC8, 0x42, 0xFF};
    const TBytes status = {0xAA, 0xAA, 0xAA, 0xFF, 0x55, 0xAA};
    const TBytes acks = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};

    const TBytes* seeds[] = {&sample,  &info,  &calibration, &peakList, &param, &spectrum,
                             &results, &count, &config,      &status,   &acks};
    bool ok = true;
    for (std::size_t i = 0; i < std::size(seeds); ++i) {
        ok &= WriteSeed(folder, QStringLiteral("%1_%2").arg(stem).arg(i),
                        Answers(static_cast<std::uint8_t>(i), *seeds[i]));
    }
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: zk_fuzz_seeds EXAMPLES-DIR CORPUS-DIR [TEXT-FILE ...]\n");
        return 2;
    }
    const QDir examples(QString::fromLocal8Bit(argv[1]));
    const QString corpus = QString::fromLocal8Bit(argv[2]);
    bool ok = true;
    int samples = 0;

    for (const QFileInfo& file : examples.entryInfoList({"*.vtb"}, QDir::Files, QDir::Name)) {
        const QByteArray bytes = ReadAll(file.filePath());
        ok &= WriteSeed(corpus + "/sample_file", file.fileName(), bytes);
        auto sample = std::make_unique<TSampleFile>();
        QString error;
        if (!ReadSampleFile(file.filePath(), *sample, error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            ok = false;
            continue;
        }
        ++samples;
        const QString stem = file.completeBaseName();
        const TDetectorCalibration calibration = sample->Calibration;
        ok &= WriteSeed(corpus + "/sample_file", stem + "_short.vtb", ShortLayoutOf(*sample));
        ok &= WriteSeed(corpus + "/ewcal", stem + ".ewcal",
                        RawBytes(calibration.ECal) + RawBytes(calibration.WCal));
        ok &= WriteSeed(corpus + "/rcal", stem + ".rcal", RawBytes(calibration.RCal));
        ok &= WriteSeed(corpus + "/peak_list", stem + ".gpl", EncodePeakList(sample->PeakList));
        ok &= WriteSeed(corpus + "/spectrum_text", stem + ".SPA",
                        SpaFileText(*sample, 20, 3000, '.'));
        // Short spectra keep the fuzzer fast; the full one shows the longest block.
        ok &= WriteInstrumentSeeds(corpus + "/instrument_answers", stem + "_64", *sample, 64);
        if (samples == 1) {
            ok &= WriteInstrumentSeeds(corpus + "/instrument_answers", stem, *sample, MaxChannels);
        }
    }
    // The other two text layouts, small, from the same counts.
    QByteArray zema = "ZEMA\r\n2\r\n3\r\n4\r\nU\t3000.5\r\nADC\t1024 ch\r\nOffset\t0\r\n8\r\n"
                      "C\t1.5\r\nC\t0.75\r\nC\t0.001\r\nC\t0\r\n";
    for (int line = 13; line < 20; ++line) {
        zema += QByteArray::number(line) + "\r\n";
    }
    zema += "Date\tLive\tSPECTRUM\r\n21\r\n22\r\nx\t600";
    QByteArray vintrava = "[INFO]\nDevice\tVintrava 2\nLive\t600\n[CHANNELDATA]\n";
    for (int i = 0; i < 64; ++i) {
        const QByteArray count = QByteArray::number((i * 37) % 500);
        zema += "\t" + count;
        vintrava += count + "\n";
    }
    ok &= WriteSeed(corpus + "/spectrum_text", "zema.txt", zema + "\r\n");
    ok &= WriteSeed(corpus + "/spectrum_text", "vintrava.txt", vintrava);
    // SPE, CSV and N42 spectra, small, with a curved calibration and a header.
    QByteArray spe = "$SPEC_ID:\r\nSoil\r\n$DATE_MEA:\r\n05/18/2016 11:55:14\r\n"
                     "$MEAS_TIM:\r\n600 602\r\n$DATA:\r\n0 63\r\n";
    QByteArray csv = "# live time (s),600\n# start,2016-05-18T11:55:14\n"
                     "# energy (keV) of channel,-11.4,3.17,1e-4\n# description,Soil\n"
                     "channel,counts\n";
    for (int i = 0; i < 64; ++i) {
        const QByteArray count = QByteArray::number((i * 37) % 500);
        spe += "   " + count + "\r\n";
        csv += QByteArray::number(i) + "," + count + "\n";
    }
    spe += "$ENER_FIT:\r\n-11.4 3.17\r\n$MCA_CAL:\r\n3\r\n-1.1E+001 3.1E+000 1.0E-004 keV\r\n";
    ok &= WriteSeed(corpus + "/spectrum_text", "spectrum.spe", spe);
    ok &= WriteSeed(corpus + "/spectrum_text", "spectrum.csv", csv);
    QByteArray n42 = "<?xml version=\"1.0\"?>\n<RadInstrumentData "
                     "xmlns=\"http://physics.nist.gov/N42/2011/N42\">\n<EnergyCalibration "
                     "id=\"ec\"><CoefficientValues>-11 3.1 0.0001</CoefficientValues>"
                     "</EnergyCalibration>\n<RadMeasurement id=\"m\"><MeasurementClassCode>"
                     "Foreground</MeasurementClassCode><StartDateTime>2026-12-01T08:00:00Z"
                     "</StartDateTime><Spectrum energyCalibrationReference=\"ec\">"
                     "<Remark>Soil</Remark><LiveTimeDuration>PT600S</LiveTimeDuration>"
                     "<ChannelData "
                     "compressionCode=\"CountedZeroes\">0 3";
    for (int i = 3; i < 64; ++i) {
        n42 += " " + QByteArray::number(1 + (i * 37) % 500);
    }
    n42 += "</ChannelData></Spectrum></RadMeasurement>\n</RadInstrumentData>\n";
    ok &= WriteSeed(corpus + "/spectrum_text", "spectrum.n42", n42);
    for (const QFileInfo& file : examples.entryInfoList({"*.gpl"}, QDir::Files, QDir::Name)) {
        ok &= WriteSeed(corpus + "/peak_list", file.fileName(), ReadAll(file.filePath()));
    }
    for (const QFileInfo& file : examples.entryInfoList({"*.usf"}, QDir::Files, QDir::Name)) {
        ok &=
            WriteSeed(corpus + "/uncertainty_settings", file.fileName(), ReadAll(file.filePath()));
    }
    // Library text: '.' or ',' first picks the separator the numbers use.
    for (const QFileInfo& file : examples.entryInfoList({"*.txt"}, QDir::Files, QDir::Name)) {
        const QByteArray text = ReadAll(file.filePath());
        ok &= WriteSeed(corpus + "/nuclide_library", file.fileName(), '.' + text);
        ok &= WriteSeed(corpus + "/nuclide_library", file.completeBaseName() + "_comma.txt",
                        ',' + QByteArray(text).replace('.', ','));
    }
    for (int i = 3; i < argc; ++i) {
        const QFileInfo file(QString::fromLocal8Bit(argv[i]));
        ok &=
            WriteSeed(corpus + "/nuclide_library", file.fileName(), '.' + ReadAll(file.filePath()));
        if (file.suffix().compare("spe", Qt::CaseInsensitive) == 0) {
            ok &= WriteSeed(corpus + "/spectrum_text", file.fileName(), ReadAll(file.filePath()));
        }
    }
    if (samples == 0) {
        std::fprintf(stderr, "no example sample in %s\n", argv[1]);
        ok = false;
    }
    return ok ? 0 : 1;
}

// zkmakeexamples OUTPUT_DIR: writes the example sample files, the matching
// background, a reference-source measurement, the uncertainty settings and the example peak lists
// into OUTPUT_DIR (created when missing). The output is the same on every run.
#include "ExampleSpectra.h"

#include "core/SampleFiles.h"

#if __has_include("PeakLists.h")
#include "PeakLists.h"
#define ZK_HAVE_EXAMPLE_PEAK_LISTS 1
#endif

#include <QCoreApplication>
#include <QDir>
#include <QStringList>

#include <cstdio>
#include <exception>

namespace {

TExampleMeasurement Soil4096() {
    TExampleMeasurement m;
    m.Channels = 4096;
    m.KeVPerChannel = 0.74;
    m.Seconds = 3600;
    m.WeightKg = 0.5f;
    m.VolumeL = 0.5f;
    m.SerialNumber = 1042;
    m.SampleID = 2317;
    m.Soil = {.K40 = 420, .Ra226 = 38, .Th232 = 45, .Cs137 = 60};
    m.Seed = 0x5011'4096;
    m.Comment = QStringLiteral("Garden soil, dried and sieved < 2 mm, 0.5 l Marinelli beaker");
    return m;
}

TExampleMeasurement Background4096() {
    TExampleMeasurement m = Soil4096();
    m.Seconds = 7200;
    m.SampleID = 2316;
    m.Soil = {};
    m.Seed = 0xBAC6'4096;
    m.Comment = QStringLiteral("Background, empty 0.5 l Marinelli beaker in the shield");
    return m;
}

TExampleMeasurement Soil1024() {
    TExampleMeasurement m;
    m.Channels = 1024;
    m.KeVPerChannel = 2.96;
    m.Seconds = 3600;
    m.WeightKg = 0.62f;
    m.VolumeL = 0.5f;
    m.SerialNumber = 1042;
    m.SampleID = 2320;
    m.Soil = {.K40 = 560, .Ra226 = 31, .Th232 = 36, .Cs137 = 9};
    m.Seed = 0x5011'1024;
    m.Comment = QStringLiteral("Meadow soil, top 5 cm, dried, 0.5 l Marinelli beaker");
    return m;
}

// A mixed-nuclide reference source of 1500 Bq/kg per nuclide in the same
// beaker, for the efficiency calibration.
TExampleMeasurement Reference4096() {
    TExampleMeasurement m = Soil4096();
    m.Seconds = 1800;
    m.WeightKg = 0.8f;
    m.SampleID = 2318;
    m.Soil = {};
    m.ReferenceActivity = 1500;
    m.Seed = 0x4EF0'4096;
    m.Comment =
        QStringLiteral("Mixed gamma reference, 1500 Bq/kg per nuclide, 0.5 l Marinelli beaker");
    return m;
}

bool Write(const QDir& dir, const QString& name, const TSampleFile& sample) {
    QString error;
    if (!WriteSampleFile(dir.filePath(name), sample, error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: zkmakeexamples OUTPUT_DIR\n");
        return 1;
    }
    QDir dir(args[1]);
    if (!dir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "Cannot create %s\n", qPrintable(args[1]));
        return 2;
    }
    if (!Write(dir, QStringLiteral("Soil_4096.vtb"), MakeExampleSample(Soil4096())) ||
        !Write(dir, QStringLiteral("Background_4096.vtb"), MakeExampleSample(Background4096())) ||
        !Write(dir, QStringLiteral("Soil_1024.vtb"), MakeExampleSample(Soil1024())) ||
        !Write(dir, QStringLiteral("Reference_4096.vtb"), MakeExampleSample(Reference4096()))) {
        return 2;
    }
    QString error;
    if (!WriteFileAtomically(dir.filePath(QStringLiteral("UncertaintySettings.usf")),
                             ExampleUncertaintySettings(0.01, 0.05, 0.03, 2), error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
#ifdef ZK_HAVE_EXAMPLE_PEAK_LISTS
    try {
        WriteExamplePeakLists(dir.path());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }
#endif
    return 0;
}

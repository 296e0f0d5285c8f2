#include "PeakLists.h"

#include "core/NumberFormat.h"
#include "core/sample_types.h"

#include <QDir>
#include <QSaveFile>

#include <initializer_list>
#include <stdexcept>

namespace {

struct TLine {
    const char* Name;
    double Energy;     // keV
    float Probability; // %
    float Limit = -1;  // Bq/kg, -1 for none
};

TPeakList MakeList(std::initializer_list<TLine> lines) {
    TPeakList list{};
    for (const TLine& line : lines) {
        TPeakEntry entry{};
        SetPeakName(entry, line.Name);
        entry.Energy = static_cast<std::uint16_t>(Round(line.Energy));
        entry.Probability = line.Probability;
        entry.Limit = line.Limit;
        list.Peak[list.Size] = entry;
        ++list.Size;
    }
    return list;
}

void WriteList(const QString& path, const TPeakList& list) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char*>(&list), sizeof(list)) !=
            static_cast<qint64>(sizeof(list)) ||
        !file.commit()) {
        throw std::runtime_error("Cannot write " + path.toStdString() + ": " +
                                 file.errorString().toStdString());
    }
}

} // namespace

void WriteExamplePeakLists(const QString& directory) {
    const QDir dir(directory);
    WriteList(dir.filePath("Natural.gpl"), MakeList({
                                               {"K40", 1460.822, 10.66f},
                                               {"Ra226", 186.211, 3.555f},
                                               {"Pb214", 295.224, 18.414f},
                                               {"Pb214", 351.932, 35.60f},
                                               {"Bi214", 609.312, 45.49f},
                                               {"Bi214", 1120.287, 14.91f},
                                               {"Bi214", 1764.494, 15.31f},
                                               {"Pb212", 238.632, 43.6f},
                                               {"Ac228", 338.320, 11.27f},
                                               {"Ac228", 911.204, 25.8f},
                                               {"Ac228", 968.971, 15.8f},
                                               {"Tl208", 583.187, 85.0f},
                                               {"Tl208", 2614.511, 99.754f},
                                               {"Cs137", 661.657, 85.10f, 600},
                                           }));
    // Ac-228 338 / Pb-214 352 and Tl-208 583 / Cs-134 605 / Bi-214 609 lie
    // within two standard deviations of each other in a NaI spectrum.
    WriteList(dir.filePath("Doublets.gpl"), MakeList({
                                                {"Ac228", 338.320, 11.27f},
                                                {"Pb214", 351.932, 35.60f},
                                                {"Tl208", 583.187, 85.0f},
                                                {"Cs134", 604.721, 97.62f, 600},
                                                {"Bi214", 609.312, 45.49f},
                                                {"Cs137", 661.657, 85.10f, 600},
                                                {"Cs134", 795.864, 85.46f, 600},
                                                {"K40", 1460.822, 10.66f},
                                            }));
}

#include "library/NuclideLibrary.h"

#include "core/NumberFormat.h"
#include "core/Single.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// Splits off the next tab-separated field. When no tab is left the field is
// the whole remaining text and `rest` stays as it is.
std::string_view NextField(std::string_view& rest, bool& hadTab) {
    const std::size_t tab = rest.find('\t');
    if (tab == std::string_view::npos) {
        hadTab = false;
        return rest;
    }
    hadTab = true;
    std::string_view field = rest.substr(0, tab);
    rest.remove_prefix(tab + 1);
    return field;
}

} // namespace

bool ParseLibraryLine(std::string_view line, char decimalSeparator, TPeakEntry& entry) {
    std::string_view rest = line;
    bool tabAfterName = false, tabAfterEnergy = false, tabAfterProbability = false;
    const std::string_view nameField = NextField(rest, tabAfterName);
    if (!tabAfterName) {
        return false; // a name alone
    }
    const std::string_view energyField = NextField(rest, tabAfterEnergy);
    if (!tabAfterEnergy) {
        return false; // name and energy only: no probability of its own
    }
    const std::string_view probabilityField = NextField(rest, tabAfterProbability);
    double limit = -1;
    if (tabAfterProbability) {
        bool tabAfterLimit = false;
        limit = ParseNumberOr(NextField(rest, tabAfterLimit), decimalSeparator, -1);
    }

    // The stored name ends at its first zero byte, so a name is empty when it
    // starts with one.
    std::string_view name = nameField.substr(0, LibraryNameLength);
    name = name.substr(0, name.find('\0'));
    const double energy = ParseNumberOr(energyField, decimalSeparator, -1);
    const double probability = ParseNumberOr(probabilityField, decimalSeparator, -1);
    const std::int64_t keV = Round(energy);
    if (name.empty() || keV < 0 || keV > 0xFFFF || probability == -1) {
        return false;
    }

    TPeakEntry parsed{};
    std::memcpy(parsed.Name, name.data(), name.size());
    parsed.Energy = static_cast<std::uint16_t>(keV);
    parsed.Probability = ToSingle(probability);
    parsed.Limit = ToSingle(limit);
    entry = parsed;
    return true;
}

void ParseNuclideLibrary(std::string_view text, char decimalSeparator, TNuclideList& list) {
    list.Size = 0;
    std::string line;
    std::size_t pos = 0;
    while (pos < text.size() && list.Size < MaxLibraryEntries) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        line.clear();
        for (std::size_t i = pos; i < end; ++i) {
            if (text[i] != '\r') {
                line.push_back(text[i]);
            }
        }
        pos = end + 1;
        TPeakEntry entry{};
        if (ParseLibraryLine(line, decimalSeparator, entry)) {
            list.Peak[list.Size] = entry;
            ++list.Size;
        }
    }
}

QString ReadNuclideLibraryFile(const QString& path, char decimalSeparator, TNuclideList& list) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QString("Cannot open library file \"%1\": %2").arg(path, file.errorString());
    }
    const QByteArray bytes = file.readAll();
    ParseNuclideLibrary(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                        decimalSeparator, list);
    return {};
}

QString PeakEntryText(const TPeakEntry& entry) {
    return PeakNameToText(entry) + " - (" + QString::number(entry.Energy) + "keV)";
}

QString LibraryListingLine(const TPeakEntry& entry, char decimalSeparator) {
    const float probability = entry.Probability, limit = entry.Limit;
    return PeakNameToText(entry) + "\t" + QString::number(entry.Energy) + "\t" +
           QString::fromStdString(FormatGeneral(probability, decimalSeparator, 7)) + "\t" +
           QString::fromStdString(FormatGeneral(limit, decimalSeparator, 7));
}

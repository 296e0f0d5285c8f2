#include "core/SpectrumTextFile.h"

#include "core/Ansi.h"
#include "core/AtomicWrite.h"
#include "core/Errors.h"
#include "core/NumberFormat.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr std::string_view VintravaTag = "Vintrava";
constexpr std::string_view ChannelDataLine = "[CHANNELDATA]";
constexpr int ZemaDefaultStartField = 13;
constexpr int ZemaSpectrumFieldsSearched = 29;
constexpr int HeliomatFirstDataLine = 14;

// Splits bytes into lines ending at CR, LF or CR LF. With `complete` false
// the bytes are only the beginning of a file: a last line without its end
// is not known in full and is reported as cut.
class TLineReader {
public:
    enum class TStatus { Line, End, Cut };

    TLineReader(std::string_view bytes, bool complete) : Bytes(bytes), Complete(complete) {}

    TStatus Next(std::string_view& line) {
        if (Pos >= Bytes.size()) {
            return Complete ? TStatus::End : TStatus::Cut;
        }
        const std::size_t end = Bytes.find_first_of("\r\n", Pos);
        if (end == std::string_view::npos) {
            if (!Complete) {
                return TStatus::Cut;
            }
            line = Bytes.substr(Pos);
            Pos = Bytes.size();
            return TStatus::Line;
        }
        line = Bytes.substr(Pos, end - Pos);
        Pos = end + 1;
        if (Bytes[end] == '\r' && Pos < Bytes.size() && Bytes[Pos] == '\n') {
            ++Pos;
        }
        return TStatus::Line;
    }

private:
    std::string_view Bytes;
    bool Complete;
    std::size_t Pos = 0;
};

// The text of a line after its first tab; the whole line when it has none.
std::string_view ValueOf(std::string_view line) {
    const std::size_t tab = line.find('\t');
    return tab == std::string_view::npos ? line : line.substr(tab + 1);
}

// Field `n` (from 1) of a line; empty when the line has fewer fields.
std::string_view FieldOf(std::string_view line, int n) {
    std::size_t start = 0;
    for (int i = 1; i < n; ++i) {
        const std::size_t tab = line.find('\t', start);
        if (tab == std::string_view::npos) {
            return {};
        }
        start = tab + 1;
    }
    const std::size_t tab = line.find('\t', start);
    return line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start);
}

bool TryInt32(std::string_view text, std::int32_t& value) {
    std::int64_t v = 0;
    if (!TryParseInteger(text, v) || v < std::numeric_limits<std::int32_t>::min() ||
        v > std::numeric_limits<std::int32_t>::max()) {
        return false;
    }
    value = static_cast<std::int32_t>(v);
    return true;
}

// A count field or count line: a 32-bit integer, anything else 0.
std::int32_t IntegerOrZero(std::string_view text) {
    std::int32_t value = 0;
    return TryInt32(text, value) ? value : 0;
}

std::int32_t Saturated(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// Reads one file's lines and turns bad header values into conversion errors
// that name the file and the physical line.
class TTextDecoder {
public:
    TTextDecoder(std::string_view bytes, const QString& name, char separator, bool complete)
        : Lines(bytes, complete), Name(name), Separator(separator) {}

    // The next line; false at the end of the file. Throws when the line lies
    // beyond the part of the file that was read.
    bool Next(std::string_view& line) {
        switch (Lines.Next(line)) {
        case TLineReader::TStatus::Line:
            ++Physical;
            return true;
        case TLineReader::TStatus::End:
            return false;
        case TLineReader::TStatus::Cut:
            break;
        }
        throw EConversionError(
            QStringLiteral("%1: the spectrum runs on beyond the first %2 MiB, more than a "
                           "spectrum text file can hold")
                .arg(Name)
                .arg(MaxSpectrumTextBytes / (1024 * 1024)));
    }

    // The next line, or an empty one at the end of the file.
    std::string_view NextOrEmpty() {
        std::string_view line;
        return Next(line) ? line : std::string_view();
    }

    std::int32_t Integer(std::string_view text) const {
        std::int32_t value = 0;
        if (!TryInt32(text, value)) {
            throw Invalid(text, QStringLiteral("integer"));
        }
        return value;
    }

    double Number(std::string_view text) const {
        double value = 0;
        if (!TryParseNumber(text, Separator, value) || !std::isfinite(value)) {
            throw Invalid(text, QStringLiteral("number"));
        }
        return value;
    }

    EConversionError Error(const QString& what) const {
        return EConversionError(
            QStringLiteral("%1, line %2: %3").arg(Name).arg(Physical).arg(what));
    }

private:
    EConversionError Invalid(std::string_view text, const QString& kind) const {
        constexpr std::size_t shown = 40;
        QString quoted = AnsiToText(text.substr(0, shown));
        if (text.size() > shown) {
            quoted += QStringLiteral("...");
        }
        return Error(QStringLiteral("'%1' is not a valid %2").arg(quoted, kind));
    }

    TLineReader Lines;
    QString Name;
    char Separator;
    int Physical = 0;
};

void ReadZema(TTextDecoder& in, TCalSpectrum& s, TFileCalibration& cal) {
    int startField = ZemaDefaultStartField;
    std::string_view line;
    for (int number = 2; in.Next(line); ++number) {
        switch (number) {
        case 5:
            s.RefVoltage = in.Number(ValueOf(line));
            break;
        case 6: {
            // The number is followed by a unit; without a space there is no number.
            const std::string_view value = ValueOf(line);
            const std::size_t space = value.find(' ');
            s.AdcResolution = in.Integer(space == std::string_view::npos ? std::string_view()
                                                                         : value.substr(0, space));
            break;
        }
        case 7:
            s.Offset = in.Integer(ValueOf(line));
            break;
        case 9:
        case 10:
        case 11:
        case 12:
            cal[number - 9] = in.Number(ValueOf(line));
            break;
        case 20:
            startField = ZemaDefaultStartField;
            for (int k = 1; k <= ZemaSpectrumFieldsSearched; ++k) {
                if (FieldOf(line, k) == "SPECTRUM") {
                    startField = k + 1;
                    break;
                }
            }
            break;
        case 23: {
            s.LifeTime = in.Integer(FieldOf(line, 2));
            // Skip to the start field, then one count per field.
            std::size_t pos = 0;
            bool present = true;
            for (int k = 1; k < startField && present; ++k) {
                const std::size_t tab = line.find('\t', pos);
                present = tab != std::string_view::npos;
                pos = tab + 1;
            }
            int count = 0;
            while (present) {
                const std::size_t tab = line.find('\t', pos);
                const std::string_view field = line.substr(
                    pos, tab == std::string_view::npos ? std::string_view::npos : tab - pos);
                if (count == CalChannels) {
                    throw in.Error(QStringLiteral("more than %1 counts, more than a spectrum holds")
                                       .arg(CalChannels));
                }
                s.Channels[count++] = IntegerOrZero(field);
                present = tab != std::string_view::npos;
                pos = tab + 1;
            }
            s.Size = count;
            return; // nothing after the data line is read
        }
        default:
            break;
        }
    }
}

void ReadVintrava(TTextDecoder& in, TCalSpectrum& s) {
    s.Size = 256;
    s.Offset = 0;
    s.AdcResolution = 256;
    s.RefVoltage = 2500;
    std::string_view line;
    while (in.Next(line)) {
        if (line == ChannelDataLine) {
            break;
        }
    }
    // Counts beyond the last entry of the array are dropped: they lie far
    // outside the 256-channel spectrum.
    for (int index = 0; index < CalChannels && in.Next(line); ++index) {
        s.Channels[index] = IntegerOrZero(line);
    }
}

void ReadHeliomat(TTextDecoder& in, TCalSpectrum& s, TFileCalibration& cal) {
    s.Offset = 0;
    s.RefVoltage = 4096;
    std::int32_t eMin = 0;
    std::int32_t eMax = 0;
    int groupLength = 1;
    int firstIndex = 1;
    int groups = 0;
    int inGroup = 0;
    std::int64_t sum = 0;
    std::string_view line;
    // The line after the "ADR" line is line 2, wherever that line stood.
    for (int number = 2; in.Next(line); ++number) {
        switch (number) {
        case 7:
            eMin = in.Integer(ValueOf(line));
            continue;
        case 8:
            eMax = in.Integer(ValueOf(line));
            continue;
        case 9:
            s.LifeTime = in.Integer(ValueOf(line));
            continue;
        case 10: {
            const std::int32_t n = in.Integer(ValueOf(line));
            if (n < 0 || n > MaxChannels) {
                throw in.Error(QStringLiteral("SIZE %1 is not a number of channels from 0 to %2")
                                   .arg(n)
                                   .arg(MaxChannels));
            }
            s.AdcResolution = n;
            // 2048 and 4096 ADC channels come summed to 1024 channels; their
            // groups fill the spectrum from index 0, so every group is a
            // channel of the 1024-channel sample.
            if (n == 2048 || n == 4096) {
                groupLength = n / 1024;
                firstIndex = 0;
                s.Size = 1024;
            } else {
                groupLength = 1;
                firstIndex = 1;
                s.Size = n;
            }
            continue;
        }
        case HeliomatFirstDataLine: {
            // The calibration maps energy to channel, E_min to channel 0.
            const std::int64_t range = std::int64_t{eMax} - eMin;
            if (range >= 1) {
                cal[1] = s.Size / static_cast<double>(range);
                cal[0] = -static_cast<double>(eMin) * cal[1];
            } else {
                cal[1] = s.Size / 10000.0;
                cal[0] = 0;
            }
            break;
        }
        default:
            if (number < HeliomatFirstDataLine) {
                continue;
            }
            break;
        }
        if (groups >= s.Size) {
            return; // the lines after the last group are not read
        }
        sum += IntegerOrZero(ValueOf(line));
        if (++inGroup == groupLength) {
            const int index = firstIndex + groups;
            if (index >= 0 && index < CalChannels) {
                s.Channels[index] = Saturated(sum);
            }
            ++groups;
            inGroup = 0;
            sum = 0;
        }
        if (groups >= s.Size) {
            return;
        }
    }
}

// Whitespace-separated words of a line.
std::vector<std::string_view> WordsOf(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t pos = 0;
    while (pos < line.size()) {
        const std::size_t start = line.find_first_not_of(" \t", pos);
        if (start == std::string_view::npos) {
            break;
        }
        const std::size_t end = std::min(line.find_first_of(" \t", start), line.size());
        words.push_back(line.substr(start, end - start));
        pos = end;
    }
    return words;
}

std::string_view Trimmed(std::string_view text) {
    const std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        return {};
    }
    const std::size_t end = text.find_last_not_of(" \t");
    return text.substr(start, end - start + 1);
}

// "$KEY:" with upper-case letters and underscores.
bool IsSpeKey(std::string_view line) {
    line = Trimmed(line);
    if (line.size() < 3 || line.front() != '$' || line.back() != ':') {
        return false;
    }
    return std::all_of(line.begin() + 1, line.end() - 1,
                       [](char c) { return (c >= 'A' && c <= 'Z') || c == '_'; });
}

// What an SPE, CSV or N42 file gives starts empty: no channels, nothing
// dropped, no description or start. The live time keeps its value until the
// file gives one.
void StartForeignSpectrum(TCalSpectrum& s) {
    s.Size = 0;
    s.Offset = 0;
    s.Channels = {};
    s.Dropped = 0;
    s.Description.clear();
    s.Start.clear();
    s.SerialNumber = -1;
    s.SampleID = -1;
}

// A serial number or sample ID: a whole number from 0 to 65535, else -1.
std::int32_t WordNumber(std::string_view text) {
    std::int64_t v = 0;
    return TryParseInteger(Trimmed(text), v) && v >= 0 && v <= 65535 ? static_cast<std::int32_t>(v)
                                                                     : -1;
}

// Counts `n` channels beyond the sample as dropped (at most 2^31 - 1).
void DropChannels(TCalSpectrum& s, std::int64_t n) {
    s.Dropped = static_cast<std::int32_t>(
        std::min<std::int64_t>(std::numeric_limits<std::int32_t>::max(), s.Dropped + n));
}

// Stores the count of `channel`; channels beyond the sample are counted.
void StoreCount(TCalSpectrum& s, std::int64_t channel, std::int32_t count) {
    if (channel >= MaxChannels) {
        DropChannels(s, 1);
        return;
    }
    s.Channels[static_cast<std::size_t>(channel)] = count;
    s.Size = std::max<std::int32_t>(s.Size, static_cast<std::int32_t>(channel) + 1);
}

std::int32_t CountOf(const TTextDecoder& in, std::string_view text) {
    const std::int32_t count = in.Integer(text);
    if (count < 0) {
        throw in.Error(QStringLiteral("the count %1 is negative").arg(count));
    }
    return count;
}

void AppendDescription(std::string& description, std::string_view text) {
    text = Trimmed(text);
    if (text.empty()) {
        return;
    }
    if (!description.empty()) {
        description.append(", ");
    }
    description.append(text);
}

// "MM/dd/yyyy HH:mm[:ss]" of an SPE file's $DATE_MEA as a start; empty when
// the date has another form or does not exist.
std::string SpeStart(std::string_view date) {
    static const QRegularExpression form(
        QStringLiteral("^(\\d{1,2})/(\\d{1,2})/(\\d{4})\\s+(\\d{1,2}):(\\d{2})(?::(\\d{2}))?$"));
    const QRegularExpressionMatch m = form.match(AnsiToText(Trimmed(date)));
    if (!m.hasMatch()) {
        return {};
    }
    const auto two = [&m](int n) { return m.captured(n).rightJustified(2, QLatin1Char('0')); };
    const QString iso = QStringLiteral("%1-%2-%3T%4:%5:%6")
                            .arg(m.captured(3), two(1), two(2), two(4), two(5),
                                 m.captured(6).isEmpty() ? QStringLiteral("00") : m.captured(6));
    return MeasurementStartText(iso.toStdString());
}

// SPE numbers have a decimal point whatever the separator of the other layouts.
double DotNumber(const TTextDecoder& in, std::string_view text) {
    double value = 0;
    if (!TryParseNumber(text, '.', value) || !std::isfinite(value)) {
        constexpr std::size_t shown = 40;
        throw in.Error(
            QStringLiteral("'%1' is not a valid number").arg(AnsiToText(text.substr(0, shown))));
    }
    return value;
}

// `line` is the first "$KEY:" line.
void ReadSpe(TTextDecoder& in, std::string_view line, TCalSpectrum& s, TFileCalibration& cal) {
    StartForeignSpectrum(s);
    TFileCalibration mcaCal{};
    TFileCalibration enerFit{};
    std::string id;
    std::string date;
    bool pending = true; // `line` is a key not yet handled
    for (;;) {
        if (!pending && !in.Next(line)) {
            break;
        }
        pending = false;
        const std::string_view key = Trimmed(line);
        if (!IsSpeKey(key)) {
            continue; // lines of sections that are not read
        }
        const auto nextValue = [&]() -> std::optional<std::string_view> {
            std::string_view value;
            if (!in.Next(value)) {
                return std::nullopt;
            }
            if (IsSpeKey(value)) {
                line = value;
                pending = true;
                return std::nullopt;
            }
            return value;
        };
        if (key == "$SPEC_ID:") {
            if (const auto v = nextValue()) {
                id = Trimmed(*v);
            }
        } else if (key == "$DATE_MEA:") {
            if (const auto v = nextValue()) {
                date = Trimmed(*v);
            }
        } else if (key == "$MEAS_TIM:") {
            if (const auto v = nextValue()) {
                const auto words = WordsOf(*v);
                const double live = DotNumber(in, words.empty() ? std::string_view() : words[0]);
                if (live < 0 || live > std::numeric_limits<std::int32_t>::max()) {
                    throw in.Error(QStringLiteral("the live time %1 s is out of range").arg(live));
                }
                s.LifeTime = static_cast<std::int32_t>(std::lround(live));
            }
        } else if (key == "$DATA:") {
            const auto range = nextValue();
            if (!range) {
                continue;
            }
            const auto words = WordsOf(*range);
            if (words.size() < 2) {
                throw in.Error(QStringLiteral("the data range needs a first and a last channel"));
            }
            const std::int32_t first = in.Integer(words[0]);
            const std::int32_t last = in.Integer(words[1]);
            if (first < 0 || last < first) {
                throw in.Error(QStringLiteral("the data range %1 to %2 is not a range of channels")
                                   .arg(first)
                                   .arg(last));
            }
            std::int64_t channel = first;
            while (const auto v = nextValue()) {
                // Most lines hold one count: read the words in place.
                const std::string_view values = *v;
                std::size_t pos = 0;
                while ((pos = values.find_first_not_of(" \t", pos)) != std::string_view::npos) {
                    const std::size_t end =
                        std::min(values.find_first_of(" \t", pos), values.size());
                    StoreCount(s, channel++, CountOf(in, values.substr(pos, end - pos)));
                    pos = end;
                }
            }
        } else if (key == "$ENER_FIT:" || key == "$MCA_CAL:") {
            TFileCalibration& target = key == "$MCA_CAL:" ? mcaCal : enerFit;
            auto v = nextValue();
            if (v && key == "$MCA_CAL:") {
                v = nextValue(); // the first line holds the number of coefficients
            }
            if (!v) {
                continue;
            }
            const auto words = WordsOf(*v);
            for (std::size_t k = 0; k < words.size() && k < target.size(); ++k) {
                const bool unit = k > 0 && std::isalpha(static_cast<unsigned char>(words[k][0])) &&
                                  words[k] != "nan" && words[k] != "inf";
                if (unit) {
                    break; // the unit after the coefficients
                }
                target[k] = DotNumber(in, words[k]);
            }
        }
    }
    cal = IsAllZero(mcaCal) ? enerFit : mcaCal;
    std::string description;
    AppendDescription(description, id);
    s.Start = SpeStart(date);
    if (s.Start.empty() && !date.empty()) {
        AppendDescription(description, "measured " + date);
    }
    s.Description = DescriptionWithStart(description, s.Start);
}

// Splits "channel,counts"; false when the line is not two numbers.
bool CsvPair(std::string_view line, std::string_view& channel, std::string_view& count) {
    const std::size_t comma = line.find(',');
    if (comma == std::string_view::npos) {
        return false;
    }
    channel = Trimmed(line.substr(0, comma));
    count = Trimmed(line.substr(comma + 1));
    std::int64_t v = 0;
    return TryParseInteger(channel, v);
}

bool IsCsvComment(std::string_view line) {
    line = Trimmed(line);
    return !line.empty() && line.front() == '#';
}

// The lines "# key,value" of a CSV file that the reader takes.
void ReadCsvComment(const TTextDecoder& in, std::string_view line, TCalSpectrum& s,
                    TFileCalibration& cal) {
    line = Trimmed(line).substr(1);
    const std::size_t comma = line.find(',');
    if (comma == std::string_view::npos) {
        return;
    }
    const QString key = AnsiToText(Trimmed(line.substr(0, comma))).toLower();
    const std::string_view value = line.substr(comma + 1);
    if (key == QLatin1String("live time (s)") || key == QLatin1String("live time")) {
        const double live = DotNumber(in, Trimmed(value));
        if (live < 0 || live > std::numeric_limits<std::int32_t>::max()) {
            throw in.Error(QStringLiteral("the live time %1 s is out of range").arg(live));
        }
        s.LifeTime = static_cast<std::int32_t>(std::lround(live));
    } else if (key == QLatin1String("start")) {
        s.Start = MeasurementStartText(value);
    } else if (key == QLatin1String("energy (kev) of channel")) {
        TFileCalibration c{};
        std::size_t k = 0;
        std::size_t pos = 0;
        while (pos <= value.size()) {
            const std::size_t next = std::min(value.find(',', pos), value.size());
            const std::string_view word = Trimmed(value.substr(pos, next - pos));
            if (!word.empty()) {
                if (k == c.size()) {
                    throw in.Error(
                        QStringLiteral("more than %1 energy coefficients").arg(c.size()));
                }
                c[k++] = DotNumber(in, word);
            }
            pos = next + 1;
        }
        cal = c;
    } else if (key == QLatin1String("serial number")) {
        s.SerialNumber = WordNumber(value);
    } else if (key == QLatin1String("sample id")) {
        s.SampleID = WordNumber(value);
    } else if (key == QLatin1String("description")) {
        s.Description = std::string(Trimmed(value));
    }
}

void ReadCsv(TTextDecoder& in, std::string_view line, TCalSpectrum& s, TFileCalibration& cal) {
    StartForeignSpectrum(s);
    cal = {};
    std::string_view channelText;
    std::string_view countText;
    bool first = true;
    do {
        if (Trimmed(line).empty()) {
            continue;
        }
        if (IsCsvComment(line)) {
            ReadCsvComment(in, line, s, cal);
            continue;
        }
        if (!CsvPair(line, channelText, countText)) {
            if (first) {
                first = false;
                continue; // the header
            }
            throw in.Error(QStringLiteral("a line that is not \"channel,counts\""));
        }
        first = false;
        const std::int32_t channel = in.Integer(channelText);
        if (channel < 0) {
            throw in.Error(QStringLiteral("the channel %1 is negative").arg(channel));
        }
        StoreCount(s, channel, CountOf(in, countText));
    } while (in.Next(line));
    s.Description = DescriptionWithStart(s.Description, s.Start);
}

// A CSV spectrum: after any '#' comment lines, a line "channel,counts", or
// a header with a comma followed by such a line.
bool LooksLikeCsv(std::string_view bytes, std::string_view firstLine) {
    std::string_view channel;
    std::string_view count;
    std::int64_t v = 0;
    const auto isPair = [&](std::string_view line) {
        return CsvPair(line, channel, count) && TryParseInteger(count, v);
    };
    TLineReader lines(bytes, true);
    std::string_view line = firstLine;
    if (IsCsvComment(firstLine)) {
        // Comment lines before the spectrum: the first other line decides.
        while (lines.Next(line) == TLineReader::TStatus::Line && IsCsvComment(line)) {
        }
        if (IsCsvComment(line)) {
            return false;
        }
    } else if (lines.Next(line) != TLineReader::TStatus::Line) {
        return false;
    }
    if (isPair(line)) {
        return true;
    }
    if (line.find(',') == std::string_view::npos) {
        return false;
    }
    return lines.Next(line) == TLineReader::TStatus::Line && isPair(line);
}

// Elements of an N42 file nested deeper than this are refused.
constexpr int MaxN42Depth = 64;

// Reads an N42-2012 file: the first RadMeasurement whose class is
// "Foreground" (else the first one), its first Spectrum, that spectrum's
// live time and the EnergyCalibration it names.
class TN42Reader {
public:
    TN42Reader(std::string_view bytes, const QString& name, bool complete)
        : Xml(QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()))),
          Name(name), Complete(complete) {}

    void Read(TCalSpectrum& s, TFileCalibration& cal) {
        StartForeignSpectrum(s);
        std::map<QString, TFileCalibration> calibrations;
        int measurements = 0;
        int chosen = 0;
        bool chosenForeground = false;
        QString reference;
        QString start;
        QString measurementId;
        bool haveSpectrum = false;
        // Path of open elements, local names only.
        std::vector<QString> path;
        int current = 0; // the RadMeasurement being read, from 1
        bool currentForeground = false;
        std::optional<TCalSpectrum> candidate;
        QString candidateReference;
        QString candidateStart;
        QString candidateRemark;
        QString candidateId;
        QString remark;
        std::int32_t serial = -1;
        bool spectrumDone = false;
        while (!Xml.atEnd()) {
            const QXmlStreamReader::TokenType token = Xml.readNext();
            if (token == QXmlStreamReader::StartElement) {
                path.push_back(Xml.name().toString());
                if (path.size() > MaxN42Depth) {
                    throw Error(
                        QStringLiteral("elements nested more than %1 deep").arg(MaxN42Depth));
                }
                const QString& element = path.back();
                if (path.size() == 1 && element != QLatin1String("RadInstrumentData")) {
                    throw Error(QStringLiteral("the root element is not RadInstrumentData"));
                }
                if (element == QLatin1String("RadMeasurement") && path.size() == 2) {
                    current = ++measurements;
                    if (chosenForeground) {
                        // The choice is made: later measurements are only counted.
                        Xml.skipCurrentElement();
                        path.pop_back();
                        continue;
                    }
                    currentForeground = false;
                    spectrumDone = false;
                    candidate.reset();
                    candidateReference.clear();
                    candidateStart.clear();
                    candidateRemark.clear();
                    candidateId = Xml.attributes().value(QLatin1String("id")).toString();
                } else if (element == QLatin1String("RadInstrumentIdentifier") &&
                           path.size() == 3 &&
                           path[1] == QLatin1String("RadInstrumentInformation")) {
                    serial = WordNumber(Xml.readElementText().toStdString());
                    path.pop_back();
                } else if (element == QLatin1String("EnergyCalibration") && path.size() == 2) {
                    const QString id = Xml.attributes().value(QLatin1String("id")).toString();
                    calibrations[id] = ReadCoefficients();
                    path.pop_back();
                } else if (current != 0 && path.size() == 3 &&
                           path[1] == QLatin1String("RadMeasurement") &&
                           element == QLatin1String("MeasurementClassCode")) {
                    currentForeground =
                        Xml.readElementText().trimmed() == QLatin1String("Foreground");
                    path.pop_back();
                } else if (current != 0 && path.size() == 3 &&
                           path[1] == QLatin1String("RadMeasurement") &&
                           element == QLatin1String("StartDateTime")) {
                    candidateStart = Xml.readElementText().trimmed();
                    path.pop_back();
                } else if (current != 0 && path.size() == 3 &&
                           path[1] == QLatin1String("RadMeasurement") &&
                           element == QLatin1String("Spectrum") && !spectrumDone) {
                    if (chosen != 0 && !currentForeground) {
                        // A measurement that cannot replace the one chosen.
                        Xml.skipCurrentElement();
                        path.pop_back();
                        continue;
                    }
                    candidate.emplace();
                    candidate->Size = 0;
                    candidateReference = Xml.attributes()
                                             .value(QLatin1String("energyCalibrationReference"))
                                             .toString();
                } else if (candidate && path.size() == 4 && !spectrumDone &&
                           path[1] == QLatin1String("RadMeasurement") &&
                           path[2] == QLatin1String("Spectrum")) {
                    if (element == QLatin1String("Remark") && candidateRemark.isEmpty()) {
                        candidateRemark = Xml.readElementText().simplified();
                        path.pop_back();
                    } else if (element == QLatin1String("LiveTimeDuration")) {
                        candidate->LifeTime = Duration(Xml.readElementText());
                        path.pop_back();
                    } else if (element == QLatin1String("ChannelData")) {
                        const bool zeroes =
                            Xml.attributes().value(QLatin1String("compressionCode")).trimmed() ==
                            QLatin1String("CountedZeroes");
                        ReadChannels(Xml.readElementText(), zeroes, *candidate);
                        haveSpectrum = true;
                        path.pop_back();
                    }
                }
            } else if (token == QXmlStreamReader::EndElement) {
                if (!path.empty()) {
                    if (path.size() == 3 && path.back() == QLatin1String("Spectrum") &&
                        path[1] == QLatin1String("RadMeasurement")) {
                        spectrumDone = true;
                    }
                    if (path.size() == 2 && path.back() == QLatin1String("RadMeasurement") &&
                        candidate && spectrumDone &&
                        (chosen == 0 || (!chosenForeground && currentForeground))) {
                        chosen = current;
                        chosenForeground = currentForeground;
                        s.Channels = candidate->Channels;
                        s.Size = candidate->Size;
                        s.Dropped = candidate->Dropped;
                        s.LifeTime = candidate->LifeTime;
                        reference = candidateReference;
                        start = candidateStart;
                        remark = candidateRemark;
                        measurementId = candidateId;
                    }
                    path.pop_back();
                }
            }
        }
        if (Xml.hasError()) {
            if (!Complete && Xml.error() == QXmlStreamReader::PrematureEndOfDocumentError) {
                throw EConversionError(
                    QStringLiteral("%1: the spectrum runs on beyond the first %2 MiB, more than a "
                                   "spectrum file can hold")
                        .arg(Name)
                        .arg(MaxSpectrumTextBytes / (1024 * 1024)));
            }
            throw Error(Xml.errorString());
        }
        if (!haveSpectrum || chosen == 0) {
            throw Error(QStringLiteral("no measurement with a spectrum"));
        }
        const auto found = calibrations.find(reference);
        cal = found != calibrations.end() ? found->second : TFileCalibration{};
        std::string description =
            "N42 measurement " + std::to_string(chosen) + " of " + std::to_string(measurements);
        if (!measurementId.isEmpty()) {
            description += " (" + measurementId.left(40).toStdString() + ")";
        }
        description += chosenForeground ? ", foreground" : "";
        if (!remark.isEmpty()) {
            description += ": " + TextToAnsi(remark);
        }
        s.Start = MeasurementStartText(start.toStdString());
        if (s.Start.empty() && !start.isEmpty()) {
            description += ", measured " + TextToAnsi(start.left(40));
        }
        s.Description = DescriptionWithStart(description, s.Start);
        s.SerialNumber = serial;
    }

private:
    EConversionError Error(const QString& what) const {
        return EConversionError(
            QStringLiteral("%1, line %2: %3").arg(Name).arg(Xml.lineNumber()).arg(what));
    }

    // The coefficients of an EnergyCalibration element, whose end it reads.
    TFileCalibration ReadCoefficients() {
        TFileCalibration c{};
        int depth = 1;
        while (depth > 0 && !Xml.atEnd()) {
            const QXmlStreamReader::TokenType token = Xml.readNext();
            if (token == QXmlStreamReader::StartElement) {
                if (Xml.name() == QLatin1String("CoefficientValues")) {
                    const QStringList words = Xml.readElementText().simplified().split(
                        QLatin1Char(' '), Qt::SkipEmptyParts);
                    for (qsizetype k = 0; k < words.size() && k < 4; ++k) {
                        bool ok = false;
                        c[static_cast<std::size_t>(k)] = words[k].toDouble(&ok);
                        if (!ok || !std::isfinite(c[static_cast<std::size_t>(k)])) {
                            throw Error(QStringLiteral("'%1' is not a valid number")
                                            .arg(words[k].left(40)));
                        }
                    }
                } else if (++depth > MaxN42Depth) {
                    throw Error(
                        QStringLiteral("elements nested more than %1 deep").arg(MaxN42Depth));
                }
            } else if (token == QXmlStreamReader::EndElement) {
                --depth;
            }
        }
        return c;
    }

    // An xs:duration of seconds ("PT3600S", "PT1H0M0.5S"), rounded.
    std::int32_t Duration(const QString& text) {
        const QString t = text.trimmed();
        static const QRegularExpression form(
            QStringLiteral("^PT(?:(\\d+)H)?(?:(\\d+)M)?(?:(\\d+(?:\\.\\d*)?)S)?$"));
        const QRegularExpressionMatch m = form.match(t);
        if (!m.hasMatch() || t == QLatin1String("PT")) {
            throw Error(QStringLiteral("'%1' is not a duration").arg(t.left(40)));
        }
        const double seconds = m.captured(1).toDouble() * 3600 + m.captured(2).toDouble() * 60 +
                               m.captured(3).toDouble();
        if (!(seconds >= 0 && seconds <= std::numeric_limits<std::int32_t>::max())) {
            throw Error(QStringLiteral("the duration '%1' is out of range").arg(t.left(40)));
        }
        return static_cast<std::int32_t>(std::lround(seconds));
    }

    // The whitespace-separated counts of a ChannelData element. Plain digits
    // are converted directly; other words (such as "12.0" or "1e3") go
    // through the general conversion and must be whole numbers.
    void ReadChannels(QStringView text, bool countedZeroes, TCalSpectrum& s) {
        qsizetype pos = 0;
        const qsizetype size = text.size();
        const auto nextWord = [&](QStringView& word) {
            while (pos < size && IsXmlSpace(text[pos])) {
                ++pos;
            }
            const qsizetype start = pos;
            while (pos < size && !IsXmlSpace(text[pos])) {
                ++pos;
            }
            word = text.sliced(start, pos - start);
            return !word.isEmpty();
        };
        const auto wholeNumber = [](QStringView word, double limit, double& value) {
            if (word.size() <= 15) {
                std::int64_t v = 0;
                bool digits = true;
                for (const QChar c : word) {
                    if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
                        digits = false;
                        break;
                    }
                    v = v * 10 + (c.unicode() - '0');
                }
                if (digits) {
                    value = static_cast<double>(v);
                    return value <= limit;
                }
            }
            bool ok = false;
            value = word.toDouble(&ok);
            return ok && value >= 0 && value <= limit && value == std::floor(value);
        };
        std::int64_t channel = 0;
        QStringView word;
        while (nextWord(word)) {
            double v = 0;
            if (!wholeNumber(word, std::numeric_limits<std::int32_t>::max(), v)) {
                throw Error(QStringLiteral("'%1' is not a count").arg(word.left(40)));
            }
            if (countedZeroes && v == 0) {
                // A zero is followed by the number of zero channels it stands for.
                QStringView number;
                double n = 0;
                if (!nextWord(number)) {
                    throw Error(QStringLiteral("a counted zero without its number"));
                }
                if (!wholeNumber(number, 1e9, n)) {
                    throw Error(
                        QStringLiteral("'%1' is not a number of zeroes").arg(number.left(40)));
                }
                const auto zeroes = static_cast<std::int64_t>(n);
                const std::int64_t stored =
                    std::clamp<std::int64_t>(MaxChannels - channel, 0, zeroes);
                for (std::int64_t z = 0; z < stored; ++z) {
                    StoreCount(s, channel++, 0);
                }
                DropChannels(s, zeroes - stored);
                channel += zeroes - stored;
                continue;
            }
            StoreCount(s, channel++, static_cast<std::int32_t>(v));
        }
    }

    static bool IsXmlSpace(QChar c) {
        return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
               c == QLatin1Char('\r');
    }

    QXmlStreamReader Xml;
    QString Name;
    bool Complete;
};

bool LooksLikeN42(std::string_view firstLine) {
    const std::string_view t =
        Trimmed(firstLine.substr(firstLine.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0));
    return t.substr(0, 5) == "<?xml" || t.substr(0, 18) == "<RadInstrumentData";
}

} // namespace

std::string MeasurementStartText(std::string_view text) {
    static const QRegularExpression form(
        QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})T(\\d{2}):(\\d{2}):(\\d{2})(?:\\.\\d{1,9})?"
                       "(?:Z|[+-](\\d{2}):(\\d{2}))?$"));
    const std::string_view trimmed = Trimmed(text);
    if (trimmed.size() > 40) {
        return {};
    }
    const QRegularExpressionMatch m = form.match(AnsiToText(trimmed));
    if (!m.hasMatch()) {
        return {};
    }
    const auto field = [&m](int n) { return m.captured(n).toInt(); };
    const bool exists = QDate(field(1), field(2), field(3)).isValid() && field(4) < 24 &&
                        field(5) < 60 && field(6) < 60 && field(7) <= 14 && field(8) < 60;
    return exists ? std::string(trimmed) : std::string();
}

std::string DescriptionWithStart(std::string_view description, std::string_view start) {
    std::string suffix;
    // A description that already names this start (a file this program
    // wrote from an imported sample) keeps its one mention.
    if (!start.empty() && MeasurementStartOfComment(description) != start) {
        suffix = (description.empty() ? "started " : ", started ") + std::string(start);
    }
    const std::size_t room =
        suffix.size() < MaxCommentLength ? MaxCommentLength - suffix.size() : 0;
    return std::string(description.substr(0, room)) + suffix;
}

std::string MeasurementStartOfComment(std::string_view comment) {
    constexpr std::string_view marker = "started ";
    const std::size_t at = comment.rfind(marker);
    if (at == std::string_view::npos) {
        return {};
    }
    const std::string_view rest = comment.substr(at + marker.size());
    return MeasurementStartText(rest.substr(0, rest.find_first_of(" ,;")));
}

bool IsExchangeLayout(TTextLayout layout) {
    return layout == TTextLayout::Spe || layout == TTextLayout::Csv || layout == TTextLayout::N42;
}

bool IsAllZero(const TFileCalibration& calibration) {
    return std::all_of(calibration.begin(), calibration.end(), [](double c) { return c == 0; });
}

QString TextLayoutName(TTextLayout layout) {
    switch (layout) {
    case TTextLayout::Zema:
        return QStringLiteral("ZEMA");
    case TTextLayout::Vintrava:
        return QStringLiteral("Vintrava");
    case TTextLayout::Heliomat:
        return QStringLiteral("HELIOMAT7xx");
    case TTextLayout::Spe:
        return QStringLiteral("SPE");
    case TTextLayout::Csv:
        return QStringLiteral("CSV");
    case TTextLayout::N42:
        return QStringLiteral("N42");
    case TTextLayout::Unrecognised:
        break;
    }
    return {};
}

TTextLayout DecodeSpectrumText(std::string_view bytes, const QString& name, char decimalSeparator,
                               TCalSpectrum& spectrum, TFileCalibration& calibration,
                               bool complete) {
    TTextDecoder in(bytes, name, decimalSeparator, complete);
    TCalSpectrum s = spectrum;
    TFileCalibration cal = calibration;
    TTextLayout layout = TTextLayout::Unrecognised;
    std::string_view examined = in.NextOrEmpty();
    if (examined.substr(0, 4) == "ZEMA") {
        layout = TTextLayout::Zema;
        ReadZema(in, s, cal);
    } else {
        bool vintrava = false;
        if (examined == "[INFO]") {
            // Line 2 names the family after its first tab.
            examined = in.NextOrEmpty();
            vintrava = ValueOf(examined).substr(0, VintravaTag.size()) == VintravaTag;
        }
        if (vintrava) {
            layout = TTextLayout::Vintrava;
            ReadVintrava(in, s);
        } else if (examined.substr(0, 3) == "ADR") {
            layout = TTextLayout::Heliomat;
            ReadHeliomat(in, s, cal);
        } else if (LooksLikeN42(examined)) {
            layout = TTextLayout::N42;
            TN42Reader(bytes, name, complete).Read(s, cal);
        } else if (IsSpeKey(examined)) {
            layout = TTextLayout::Spe;
            ReadSpe(in, examined, s, cal);
        } else if (LooksLikeCsv(bytes, examined)) {
            layout = TTextLayout::Csv;
            ReadCsv(in, examined, s, cal);
        } else {
            return TTextLayout::Unrecognised;
        }
    }
    spectrum = s;
    calibration = cal;
    return layout;
}

TTextLayout ReadSpectrumTextFile(const QString& path, char decimalSeparator, TCalSpectrum& spectrum,
                                 TFileCalibration& calibration) {
    // Directories, devices and pipes are not spectrum text files.
    if (!QFileInfo(path).isFile()) {
        return TTextLayout::Unrecognised;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return TTextLayout::Unrecognised;
    }
    QByteArray bytes = file.read(MaxSpectrumTextBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        return TTextLayout::Unrecognised;
    }
    file.close();
    const bool complete = bytes.size() <= MaxSpectrumTextBytes;
    if (!complete) {
        bytes.truncate(MaxSpectrumTextBytes);
    }
    return DecodeSpectrumText(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
        QDir::toNativeSeparators(path), decimalSeparator, spectrum, calibration, complete);
}

TFileDialogOptions SpectrumTextOpenDialog() {
    return {QStringLiteral("All spectrum text files (*.*)|*.*"), {}, {}};
}

TFileDialogOptions SpaSaveDialog() {
    return {QStringLiteral("Spectrum text file (*.SPA)|*.SPA"), QStringLiteral(".SPA"), {}};
}

QByteArray SpaFileText(const TSampleFile& sample, std::optional<std::int64_t> firstEnergy,
                       std::optional<std::int64_t> lastEnergy, char decimalSeparator) {
    const TSampleParameter p = sample.Sample.Parameter;
    const std::uint16_t size = sample.Sample.Spectrum.Size;
    std::string text;
    text.reserve(200 + 16 * static_cast<std::size_t>(size) + MaxCommentLength);
    const auto line = [&text](std::string_view a, const std::string& b = {}) {
        text.append(a);
        text.append(b);
        text.append("\r\n");
    };
    line("ADR\tWEIGHT:", FormatGeneral(static_cast<double>(p.Weight), decimalSeparator));
    line("GROUP\tVOLUME:", FormatGeneral(static_cast<double>(p.Volume), decimalSeparator));
    line("TYPE\t", std::to_string(p.SampleType));
    line("NUMBER\t", std::to_string(p.SerialNumber));
    line("START\t0");
    line("SAVE\t", std::to_string(p.SampleInterval));
    line("E_min\t", std::to_string(firstEnergy.value_or(0)));
    line("E_max\t", lastEnergy ? std::to_string(*lastEnergy) : std::string());
    line("SAMPLE\t", std::to_string(p.SampleID));
    line("SIZE\t", std::to_string(size));
    line("");
    line("CHANNEL\tCOUNTS");
    const int channels = std::min<int>(size, MaxChannels);
    for (int i = 0; i < channels; ++i) {
        const float count = sample.Sample.Spectrum.Channel[i];
        text.append(std::to_string(i + 1));
        text.push_back('\t');
        text.append(std::to_string(Round(count)));
        text.append("\r\n");
    }
    line("");
    const std::uint8_t length = sample.Comment[0];
    text.append("INFO\t");
    text.append(reinterpret_cast<const char*>(sample.Comment + 1), length);
    text.append("\r\n");
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

bool WriteSpaFile(const QString& path, const QByteArray& text, QString& error) {
    return WriteFileAtomically(path, text, error, QStringLiteral("spectrum text file"));
}

#include "instrument/InstrumentOperations.h"

#include "core/NumberFormat.h"
#include "core/SampleFileCommands.h"
#include "core/SampleFiles.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <climits>
#include <memory>

#ifndef Q_OS_WIN
#include <csignal>
#endif

namespace {

// Marks the host busy for the lifetime of the guard.
class TBusyGuard {
public:
    explicit TBusyGuard(TCommandHost& host) : Host(host) { Host.SetBusy(true); }
    ~TBusyGuard() { Host.SetBusy(false); }
    TBusyGuard(const TBusyGuard&) = delete;
    TBusyGuard& operator=(const TBusyGuard&) = delete;

private:
    TCommandHost& Host;
};

void ShowStatus(TCommandHost& host, TComStatus status) {
    const QString text = StatusMessage(status);
    if (!text.isEmpty()) {
        host.Prompt().ShowMessage(text);
    }
}

// Begin download, select the background, read it into `background` (Valid
// := 1 whatever the read gives), end download.
TComStatus ReadStoredBackground(const QString& port, TSampleFile& background,
                                const TInstrumentLink& link) {
    TComStatus status = ComBeginDownload(port, link);
    if (status == ComStatus::Ok) {
        status = ComSelectBackground(port, link);
    }
    if (status == ComStatus::Ok) {
        status = ComReadSampleFile(port, background, link);
        background.Valid = 1;
    }
    if (status == ComStatus::Ok) {
        status = ComEndDownload(port, link);
    }
    return status;
}

// The instrument sent the net spectrum; adds the background back, scaled
// by the ratio of the measuring times, when both spectra match.
void AddBackgroundBack(TSampleFile& measured, const TSampleFile& background) {
    const std::uint16_t measuredSize = measured.Sample.Spectrum.Size;
    const std::uint16_t measuredOffset = measured.Sample.Spectrum.Offset;
    const std::uint16_t backgroundSize = background.Sample.Spectrum.Size;
    const std::uint16_t backgroundOffset = background.Sample.Spectrum.Offset;
    const std::uint32_t measuredTime = measured.Sample.Parameter.SampleInterval;
    const std::uint32_t backgroundTime = background.Sample.Parameter.SampleInterval;
    if (measuredSize != backgroundSize || measuredOffset != backgroundOffset || measuredTime == 0 ||
        backgroundTime == 0) {
        return;
    }
    const double ratio = static_cast<double>(measuredTime) / static_cast<double>(backgroundTime);
    const int channels = std::min<int>(measuredSize, MaxChannels);
    for (int i = 0; i < channels; ++i) {
        const double sum = static_cast<double>(measured.Sample.Spectrum.Channel[i]) +
                           ratio * static_cast<double>(background.Sample.Spectrum.Channel[i]);
        measured.Sample.Spectrum.Channel[i] = static_cast<float>(sum);
    }
}

int ClampToInt(std::uint32_t v) {
    return v > INT_MAX ? INT_MAX : static_cast<int>(v);
}

} // namespace

QString StatusMessage(TComStatus status) {
    switch (status) {
    case ComStatus::PortNotAvailable:
        return QStringLiteral("Com port not available! Port selected? Cable connected?");
    case ComStatus::TimeOut:
        return QStringLiteral("Time out! Port selected? Cable connected?");
    case ComStatus::MemoryFailed:
        return QStringLiteral("Instrument memory access failed!");
    case ComStatus::Busy:
        return QStringLiteral("Can not read data while sampling!");
    case ComStatus::Unexpected:
        return QStringLiteral("Unexpected response from instrument!");
    case ComStatus::WriteFailed:
        return QStringLiteral("Could not write to selected directory! Write protection released?");
    default:
        return {};
    }
}

QString SimulatorLinkDirectory() {
    return QDir::tempPath();
}

QStringList CandidatePortNames() {
    QStringList names;
#ifdef Q_OS_WIN
    for (int n = 1; n <= 255; ++n) {
        names << (n <= 9 ? QStringLiteral("COM%1") : QStringLiteral("//./COM%1")).arg(n);
    }
#else
    const QDir dev(QStringLiteral("/dev"));
    const QStringList patterns = {QStringLiteral("ttyS*"), QStringLiteral("ttyUSB*"),
                                  QStringLiteral("ttyACM*"), QStringLiteral("ttyAMA*"),
                                  QStringLiteral("rfcomm*")};
    for (const QString& pattern : patterns) {
        QStringList found = dev.entryList({pattern}, QDir::System | QDir::Files | QDir::Readable);
        // Natural order: ttyS2 before ttyS10.
        std::sort(found.begin(), found.end(), [](const QString& a, const QString& b) {
            return a.size() != b.size() ? a.size() < b.size() : a < b;
        });
        for (const QString& name : found) {
            names << dev.filePath(name);
        }
    }
    // Simulators publish a link zksim-<pid> to their device and remove it on
    // exit; a link whose process has gone is skipped.
    const QDir links(SimulatorLinkDirectory());
    for (const QString& name :
         links.entryList({QStringLiteral("zksim-*")}, QDir::System | QDir::Files, QDir::Name)) {
        bool ok = false;
        const long pid = name.mid(6).toLong(&ok);
        if (!ok || pid <= 0 || ::kill(static_cast<pid_t>(pid), 0) != 0) {
            continue;
        }
        names << links.filePath(name);
    }
#endif
    return names;
}

QStringList ListOpenablePorts(const QStringList& candidates, const TInstrumentLink& link) {
    QStringList open;
    for (const QString& name : candidates) {
        std::unique_ptr<TSerialPort> port = link.NewPort();
        if (port && port->Open(name)) {
            port->Close();
            open << name;
        }
    }
    return open;
}

QStringList ComPortComboBoxDropDown(const TInstrumentLink& link) {
    return ListOpenablePorts(CandidatePortNames(), link);
}

TComStatus ReadSampleClick(TCommandHost& host, const TInstrumentLink& link) {
    TAnalysisState& state = host.State();
    const QString port = host.SelectedPort();
    TComStatus status;
    {
        TBusyGuard busy(host);
        status = ComReadSampleFile(port, state.MeasuredSample, link);
        TSpecConfig config{};
        if (status == ComStatus::Ok) {
            status = ComReadSpecConfig(port, config, link);
        }
        if (status == ComStatus::Ok && (config.Mode & 1) != 0) {
            status = ReadStoredBackground(port, state.BackgroundSample, link);
            if (status == ComStatus::Ok) {
                AddBackgroundBack(state.MeasuredSample, state.BackgroundSample);
            }
        }
    }
    host.SetBackgroundSubtractionChecked(true);
    if (status != ComStatus::Ok) {
        ShowStatus(host, status);
        return status;
    }
    state.MeasuredSample.CalibrationType = 0;
    state.MeasuredSample.Valid = 1;
    host.SetCaption(QStringLiteral("Sample read from instrument, not yet saved!"));
    state.DoubletResults.Valid = false;
    state.TrapezoidResults.Valid = false;
    const std::uint16_t serial = state.MeasuredSample.Sample.Parameter.SerialNumber;
    const QString origin = QStringLiteral("read from instrument SN:") + QString::number(serial);
    state.EWCalOrigin = origin;
    state.EfficiencyOrigin = origin;
    state.PeakListOrigin = origin;
    state.SampleOrigin = origin;
    const TPeakList peakList = state.MeasuredSample.PeakList;
    host.RefreshPeakSelection(peakList);
    return status;
}

TComStatus ReadbackgroundsampleClick(TCommandHost& host, const TInstrumentLink& link) {
    TComStatus status;
    {
        TBusyGuard busy(host);
        status = ReadStoredBackground(host.SelectedPort(), host.State().BackgroundSample, link);
    }
    if (status != ComStatus::Ok) {
        ShowStatus(host, status);
        return status;
    }
    host.Prompt().ShowMessage(QStringLiteral("Done!"));
    host.AnalyseSample();
    return status;
}

TComStatus ReadMemoryClick(TCommandHost& host, const TInstrumentLink& link,
                           TDownloadProgress& progress) {
    TFileDialogOptions options;
    options.Filter = SampleFileFilter;
    options.DefaultExtension = QStringLiteral(".vtb");
    options.FileName = QStringLiteral("Zel-Korda data");
    const QString chosen = host.Prompt().SaveFileName(options);
    if (chosen.isEmpty()) {
        return ComStatus::Cancelled;
    }
    const QFileInfo info(chosen);
    const QString directory = info.path();
    const QString fileName = info.fileName();
    const int dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString baseName = dot < 0 ? fileName : fileName.left(dot);
    const QString extension = dot < 0 ? QString() : fileName.mid(dot);

    const QString port = host.SelectedPort();
    TComStatus status;
    {
        TBusyGuard busy(host);
        status = ComBeginDownload(port, link);
        if (status == ComStatus::Ok) {
            progress.Show();
            std::uint32_t count = 0;
            status = ComGetSampleCount(port, count, link);
            QString lastName;
            // Every file starts from an all-zero record: calibration type 0,
            // empty comment.
            auto sample = std::make_unique<TSampleFile>();
            for (std::uint32_t i = 0; status == ComStatus::Ok && i < count; ++i) {
                status = ComSelectSample(port, i, link);
                if (status == ComStatus::Ok) {
                    status = ComReadSampleFile(port, *sample, link);
                }
                if (status == ComStatus::Ok) {
                    const std::uint16_t serial = sample->Sample.Parameter.SerialNumber;
                    const std::uint32_t id = sample->Sample.Parameter.SampleID;
                    lastName = baseName + QStringLiteral("_SN") + QString::number(serial) +
                               QStringLiteral("_ID") + QString::number(id) + QStringLiteral("_") +
                               QString::number(i) + extension;
                    QString error;
                    const QString path =
                        QDir::toNativeSeparators(directory + QLatin1Char('/') + lastName);
                    if (!WriteSampleFile(path, *sample, error)) {
                        status = ComStatus::WriteFailed;
                    }
                }
                progress.ShowProgress(ClampToInt(i + 1), ClampToInt(count), lastName);
            }
            progress.Hide();
            if (status == ComStatus::Ok) {
                status = ComEndDownload(port, link);
            }
        }
    }
    if (status == ComStatus::Ok) {
        host.Prompt().ShowMessage(QStringLiteral("Done!"));
    } else {
        ShowStatus(host, status);
    }
    return status;
}

TComStatus ClearMemoryClick(TCommandHost& host, const TInstrumentLink& link) {
    if (!host.Prompt().Confirm(QStringLiteral("Clear memory"),
                               QStringLiteral("You really want to delete all stored samples?"))) {
        return ComStatus::Cancelled;
    }
    TComStatus status;
    {
        TBusyGuard busy(host);
        status = ComClearMemory(host.SelectedPort(), link);
    }
    if (status == ComStatus::Ok) {
        host.Prompt().ShowMessage(QStringLiteral("Done!"));
    } else if (status == ComStatus::Busy) {
        host.Prompt().ShowMessage(QStringLiteral("Can not clear memory during data download!"));
    } else {
        ShowStatus(host, status);
    }
    return status;
}

TComStatus ResetSampleIDClick(TCommandHost& host, const TInstrumentLink& link) {
    if (!host.Prompt().Confirm(QStringLiteral("Reset sample ID"),
                               QStringLiteral("You really want to reset sample ID?"))) {
        return ComStatus::Cancelled;
    }
    TComStatus status;
    {
        TBusyGuard busy(host);
        status = ComResetSampleID(host.SelectedPort(), link);
    }
    if (status == ComStatus::Ok) {
        host.Prompt().ShowMessage(QStringLiteral("Done!"));
    } else {
        ShowStatus(host, status);
    }
    return status;
}

TComStatus SpectrometerConfigurationClick(TCommandHost& host, const TInstrumentLink& link,
                                          TSpecConfigEditor& editor) {
    const QString port = host.SelectedPort();
    TSpecConfig config{};
    TPeakList peakList{};
    TComStatus status;
    {
        TBusyGuard busy(host);
        status = ComReadSpecConfig(port, config, link);
        if (status == ComStatus::Ok) {
            status = ComReadPeakList(port, peakList, link);
        }
    }
    if (status == ComStatus::Ok) {
        if (editor.SpectrometerConfig(peakList, config)) {
            TBusyGuard busy(host);
            status = ComWriteSpecConfig(port, config, link);
        } else {
            status = ComStatus::Cancelled;
        }
    }
    if (status == ComStatus::Ok) {
        host.Prompt().ShowMessage(QStringLiteral("Done!"));
    } else {
        ShowStatus(host, status);
    }
    return status;
}

QString InstrumentInfoText(const TInstrumentInfo& info) {
    const auto n = [](unsigned v) { return QString::number(v); };
    const std::uint16_t serial = info.SerialNumber;
    return QStringLiteral("Serial number: ") + n(serial) + QStringLiteral("\r\n") +
           QStringLiteral("Firmware version: ") + n(info.FirmwareMajor) + QStringLiteral(".") +
           n(info.FirmwareMinor) + QStringLiteral("\r\n") + QStringLiteral("Instrument version: ") +
           n(info.InstrumentMajor) + QStringLiteral(".") + n(info.InstrumentMinor) +
           QStringLiteral("\r\n") + QStringLiteral("Manufactured: ") +
           n(2000u + info.ManufacturedYear) + QStringLiteral("/") + n(info.ManufacturedMonth) +
           QStringLiteral("/") + n(info.ManufacturedDay) + QStringLiteral("\r\n") +
           QStringLiteral("Firmware update: ") + n(2000u + info.UpdateYear) + QStringLiteral("/") +
           n(info.UpdateMonth) + QStringLiteral("/") + n(info.UpdateDay);
}

TComStatus About1Click(TCommandHost& host, const TInstrumentLink& link) {
    TInstrumentInfo info{};
    TComStatus status;
    {
        TBusyGuard busy(host);
        status = ComReadInstrumentInfo(host.SelectedPort(), info, link);
    }
    if (status == ComStatus::Ok) {
        host.Prompt().ShowMessage(InstrumentInfoText(info));
    } else {
        ShowStatus(host, status);
    }
    return status;
}

namespace {

template <typename Send> TComStatus Transfer(TCommandHost& host, Send send) {
    TComStatus status;
    {
        TBusyGuard busy(host);
        status = send(host.SelectedPort(), host.State().MeasuredSample);
    }
    host.Prompt().ShowMessage(status == ComStatus::Ok
                                  ? QStringLiteral("Done!")
                                  : QString::fromLatin1(CommunicationFailedMessage));
    return status;
}

} // namespace

TComStatus TransmitPeakListClick(TCommandHost& host, const TInstrumentLink& link) {
    return Transfer(host, [&](const QString& port, const TSampleFile& sample) {
        const TPeakList peakList = sample.PeakList;
        return ComWritePeakList(port, peakList, link);
    });
}

TComStatus TransmitCalibrationClick(TCommandHost& host, const TInstrumentLink& link) {
    return Transfer(host, [&](const QString& port, const TSampleFile& sample) {
        const TDetectorCalibration calibration = sample.Calibration;
        return ComWriteEWCalibration(port, calibration, link);
    });
}

TComStatus TransmitEfficiencyClick(TCommandHost& host, const TInstrumentLink& link) {
    return Transfer(host, [&](const QString& port, const TSampleFile& sample) {
        const TDetectorCalibration calibration = sample.Calibration;
        return ComWriteEfficiency(port, calibration, link);
    });
}

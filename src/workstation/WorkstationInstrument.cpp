// The instrument operations of the workstation session.
#include "workstation/Workstation.h"

#include "core/FileDialogs.h"
#include "core/SampleFiles.h"

#include <QDir>
#include <QFileInfo>

#include <climits>
#include <memory>

namespace {

TCommandResult StatusResult(TComStatus status) {
    TCommandResult result;
    result.Status = status;
    const QString text = StatusMessage(status);
    if (!text.isEmpty()) {
        result.Messages << text;
    }
    return result;
}

TCommandResult DoneOrStatus(TComStatus status) {
    if (status != ComStatus::Ok) {
        return StatusResult(status);
    }
    TCommandResult result;
    result.Messages << QStringLiteral("Done!");
    return result;
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

int ClampToInt(std::uint32_t v) {
    return v > INT_MAX ? INT_MAX : static_cast<int>(v);
}

} // namespace

template <typename F> auto TWorkstation::Exchange(F exchange) {
    struct TBusy {
        const std::function<void(bool)>& Changed;
        explicit TBusy(const std::function<void(bool)>& changed) : Changed(changed) {
            if (Changed) {
                Changed(true);
            }
        }
        ~TBusy() {
            if (Changed) {
                Changed(false);
            }
        }
        TBusy(const TBusy&) = delete;
        TBusy& operator=(const TBusy&) = delete;
    } busy(BusyChanged);
    return exchange();
}

TCommandResult TWorkstation::ReadCurrentSample(const QString& port) {
    // The record is read into copies: the instrument's answers fill it part
    // by part, and a read that fails part-way must not leave another
    // sample's parts under the previous sample's name.
    auto measured = std::make_unique<TSampleFile>(State.MeasuredSample);
    auto background = std::make_unique<TSampleFile>(State.BackgroundSample);
    bool backgroundRead = false;
    const TComStatus status = Exchange([&] {
        TComStatus s = ComReadSampleFile(port, *measured, InstrumentLink);
        TSpecConfig config{};
        if (s == ComStatus::Ok) {
            s = ComReadSpecConfig(port, config, InstrumentLink);
        }
        if (s == ComStatus::Ok && (config.Mode & 1) != 0) {
            s = ReadStoredBackground(port, *background, InstrumentLink);
            backgroundRead = true;
            if (s == ComStatus::Ok) {
                AddBackgroundBack(*measured, *background);
            }
        }
        return s;
    });
    if (status == ComStatus::Ok) {
        State.MeasuredSample = *measured;
        if (backgroundRead) {
            State.BackgroundSample = *background;
            State.BackgroundOrigin =
                InstrumentOrigin(State.BackgroundSample.Sample.Parameter.SerialNumber);
        }
    }
    // The box is checked whatever the read gave; checking it runs its
    // compatibility check on the state as it now is.
    TCommandResult result;
    if (!BackgroundSubtraction) {
        result = SetBackgroundSubtraction(true);
        result.SubtractionChecked = true;
    }
    if (status != ComStatus::Ok) {
        const TCommandResult failure = StatusResult(status);
        result.Status = failure.Status;
        result.Messages << failure.Messages;
        return result;
    }
    State.MeasuredSample.CalibrationType = 0;
    State.MeasuredSample.Valid = 1;
    InvalidateSolverResults();
    SetSampleOrigins(InstrumentOrigin(State.MeasuredSample.Sample.Parameter.SerialNumber));
    result.Caption = QStringLiteral("Sample read from instrument, not yet saved!");
    result.Refresh = TRefresh::PeakSelection;
    return result;
}

TCommandResult TWorkstation::ReadBackgroundSample(const QString& port) {
    auto background = std::make_unique<TSampleFile>(State.BackgroundSample);
    const TComStatus status =
        Exchange([&] { return ReadStoredBackground(port, *background, InstrumentLink); });
    if (status != ComStatus::Ok) {
        return StatusResult(status);
    }
    State.BackgroundSample = *background;
    State.BackgroundOrigin = InstrumentOrigin(State.BackgroundSample.Sample.Parameter.SerialNumber);
    TCommandResult result = DoneOrStatus(status);
    result.Refresh = TRefresh::Analysis;
    return result;
}

TCommandResult TWorkstation::DownloadMemory(const QString& port, const QString& chosenPath,
                                            TDownloadProgress& progress) {
    const QFileInfo info(chosenPath);
    const QString directory = info.path();
    const QString fileName = info.fileName();
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString baseName = dot < 0 ? fileName : fileName.left(dot);
    const QString extension = dot < 0 ? QString() : fileName.mid(dot);

    QString writeError;
    const TComStatus status = Exchange([&] {
        TComStatus s = ComBeginDownload(port, InstrumentLink);
        if (s != ComStatus::Ok) {
            return s;
        }
        progress.Show();
        std::uint32_t count = 0;
        s = ComGetSampleCount(port, count, InstrumentLink);
        QString lastName;
        // Every file starts from an all-zero record: calibration type 0,
        // empty comment.
        auto sample = std::make_unique<TSampleFile>();
        for (std::uint32_t i = 0; s == ComStatus::Ok && i < count; ++i) {
            s = ComSelectSample(port, i, InstrumentLink);
            if (s == ComStatus::Ok) {
                s = ComReadSampleFile(port, *sample, InstrumentLink);
            }
            if (s == ComStatus::Ok) {
                const std::uint16_t serial = sample->Sample.Parameter.SerialNumber;
                const std::uint32_t id = sample->Sample.Parameter.SampleID;
                lastName = baseName + QStringLiteral("_SN") + QString::number(serial) +
                           QStringLiteral("_ID") + QString::number(id) + QStringLiteral("_") +
                           QString::number(i) + extension;
                const QString path = NativePath(directory + QLatin1Char('/') + lastName);
                if (!WriteSampleFile(path, *sample, writeError)) {
                    s = ComStatus::WriteFailed;
                }
            }
            progress.ShowProgress(ClampToInt(i + 1), ClampToInt(count), lastName);
        }
        progress.Hide();
        if (s == ComStatus::Ok) {
            s = ComEndDownload(port, InstrumentLink);
        }
        return s;
    });
    return DoneOrStatus(status);
}

TCommandResult TWorkstation::ClearMemory(const QString& port) {
    const TComStatus status = Exchange([&] { return ComClearMemory(port, InstrumentLink); });
    if (status == ComStatus::Busy) {
        TCommandResult result;
        result.Status = status;
        result.Messages << QStringLiteral("Can not clear memory during data download!");
        return result;
    }
    return DoneOrStatus(status);
}

TCommandResult TWorkstation::ResetSampleID(const QString& port) {
    return DoneOrStatus(Exchange([&] { return ComResetSampleID(port, InstrumentLink); }));
}

TCommandResult TWorkstation::ReadSpecConfiguration(const QString& port, TSpecConfig& config,
                                                   TPeakList& peakList) {
    TSpecConfig readConfig{};
    TPeakList readList{};
    const TComStatus status = Exchange([&] {
        TComStatus s = ComReadSpecConfig(port, readConfig, InstrumentLink);
        if (s == ComStatus::Ok) {
            s = ComReadPeakList(port, readList, InstrumentLink);
        }
        return s;
    });
    if (status != ComStatus::Ok) {
        return StatusResult(status);
    }
    config = readConfig;
    peakList = readList;
    return {};
}

TCommandResult TWorkstation::WriteSpecConfiguration(const QString& port,
                                                    const TSpecConfig& config) {
    return DoneOrStatus(Exchange([&] { return ComWriteSpecConfig(port, config, InstrumentLink); }));
}

TCommandResult TWorkstation::ReadInstrumentInfo(const QString& port, TInstrumentInfo* info) {
    TInstrumentInfo read{};
    const TComStatus status =
        Exchange([&] { return ComReadInstrumentInfo(port, read, InstrumentLink); });
    if (status != ComStatus::Ok) {
        return StatusResult(status);
    }
    if (info != nullptr) {
        *info = read;
    }
    TCommandResult result;
    result.Messages << InstrumentInfoText(read);
    return result;
}

namespace {

TCommandResult TransferResult(TComStatus status) {
    TCommandResult result;
    result.Status = status;
    result.Messages << (status == ComStatus::Ok ? QStringLiteral("Done!")
                                                : QString::fromLatin1(CommunicationFailedMessage));
    return result;
}

} // namespace

TCommandResult TWorkstation::TransmitPeakList(const QString& port) {
    const TPeakList list = State.MeasuredSample.PeakList;
    return TransferResult(Exchange([&] { return ComWritePeakList(port, list, InstrumentLink); }));
}

TCommandResult TWorkstation::TransmitCalibration(const QString& port) {
    const TDetectorCalibration calibration = State.MeasuredSample.Calibration;
    return TransferResult(
        Exchange([&] { return ComWriteEWCalibration(port, calibration, InstrumentLink); }));
}

TCommandResult TWorkstation::TransmitEfficiency(const QString& port) {
    const TDetectorCalibration calibration = State.MeasuredSample.Calibration;
    return TransferResult(
        Exchange([&] { return ComWriteEfficiency(port, calibration, InstrumentLink); }));
}

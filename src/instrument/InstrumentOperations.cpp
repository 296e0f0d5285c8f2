#include "instrument/InstrumentOperations.h"

#include "core/NumberFormat.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <climits>
#include <memory>

#ifndef Q_OS_WIN
#include <csignal>
#endif

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

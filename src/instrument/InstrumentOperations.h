// What the instrument operations share besides the command functions: the
// status messages, the port list and the download progress window. The
// operations themselves work on the workstation session (TWorkstation).
#pragma once

#include "instrument/InstrumentCommands.h"
#include "instrument/SpecConfig.h"

#include <QString>
#include <QStringList>

// The download progress window.
class TDownloadProgress {
public:
    virtual ~TDownloadProgress() = default;
    virtual void Show() = 0;
    // Received and total count, and the file name (without directory) of the
    // last file formed, empty when none; shown at once.
    virtual void ShowProgress(int receivedRecords, int totalRecords, const QString& fileName) = 0;
    virtual void Hide() = 0;
};

// The message for a status code of an operation (empty for 0 and 255).
QString StatusMessage(TComStatus status);

// The one message of the transfers for every failure.
inline constexpr char CommunicationFailedMessage[] =
    "Communication failed! Port selected? Cable connected?";

// The port names to try on this platform: "COM1".."COM9" and
// "//./COM10".."//./COM255" on Windows; elsewhere the serial devices of
// /dev (ttyS*, ttyUSB*, ttyACM*, ttyAMA*, rfcomm*) and the links that
// running instrument simulators publish (SimulatorLinkDirectory()/zksim-<pid>).
QStringList CandidatePortNames();

// Where simulators publish their port links: the system's temporary folder.
QString SimulatorLinkDirectory();

// Rebuilding the port list: the candidates, in order, that open exactly as an
// exchange opens them (exclusive access), each closed again at once. Ports
// held by another program are therefore not listed. The caller clears the
// list's selection.
QStringList ListOpenablePorts(const QStringList& candidates, const TInstrumentLink& link);
QStringList ComPortComboBoxDropDown(const TInstrumentLink& link);

// The five lines of the information message, joined by CR LF.
QString InstrumentInfoText(const TInstrumentInfo& info);

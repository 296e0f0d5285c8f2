// The instrument operations that the user starts from the main window's
// menus. Each runs a fixed sequence of command functions on the port that
// the host has selected, reports the outcome with one message through the
// host's prompt, and returns its status code (those of the command
// functions, plus 6 when a downloaded sample could not be saved and 255 when
// the user ended the operation: a declined confirmation, a cancelled file
// dialog, a configuration dialog not confirmed or with invalid input; 255
// shows no message).
//
// While an exchange runs the host is told it is busy (SetBusy); the busy
// indication ends before any message is shown.
#pragma once

#include "core/CommandHost.h"
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

// "Sample" -> "Read": the current sample into MeasuredSample; when the
// instrument subtracts its background, the stored background is read into
// BackgroundSample and added back, scaled by the measuring times. Checks the
// background subtraction box whatever happens. On success sets the caption,
// the origins ("read from instrument SN:<serial>"), invalidates the solver
// results and refreshes the peak selection.
TComStatus ReadSampleClick(TCommandHost& host, const TInstrumentLink& link);

// "Read background sample": the stored background into BackgroundSample;
// "Done!" and a new analysis on success.
TComStatus ReadbackgroundsampleClick(TCommandHost& host, const TInstrumentLink& link);

// "Read Memory": every stored sample into a file
// <dir>/<base>_SN<serial>_ID<id>_<i><ext> named from the chosen file name.
// Files are written atomically; files written before a failure remain.
TComStatus ReadMemoryClick(TCommandHost& host, const TInstrumentLink& link,
                           TDownloadProgress& progress);

// "Clear Memory", after a confirmation.
TComStatus ClearMemoryClick(TCommandHost& host, const TInstrumentLink& link);

// "Set unique sample ID to zero", after a confirmation.
TComStatus ResetSampleIDClick(TCommandHost& host, const TInstrumentLink& link);

// "Spectrometer Configuration": reads the configuration and the instrument's
// peak list, lets `editor` change the configuration and writes it back.
TComStatus SpectrometerConfigurationClick(TCommandHost& host, const TInstrumentLink& link,
                                          TSpecConfigEditor& editor);

// The five lines of the information message, joined by CR LF.
QString InstrumentInfoText(const TInstrumentInfo& info);

// "About": shows the instrument information.
TComStatus About1Click(TCommandHost& host, const TInstrumentLink& link);

// Transfers of the measured sample's peak list, energy and peak-width
// calibration, and efficiency calibration. Any failure shows
// CommunicationFailedMessage.
TComStatus TransmitPeakListClick(TCommandHost& host, const TInstrumentLink& link);
TComStatus TransmitCalibrationClick(TCommandHost& host, const TInstrumentLink& link);
TComStatus TransmitEfficiencyClick(TCommandHost& host, const TInstrumentLink& link);

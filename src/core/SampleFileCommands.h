// The sample and calibration file commands of the main window's menus:
// "Sample" -> "Open"/"Save", "Calibration" -> "Energy / Peak Width" ->
// "Open"/"Save" and "Calibration" -> "Efficiency" -> "Open"/"Save".
#pragma once

#include "core/CommandHost.h"

// Filters and proposed names of the file dialogs.
extern const QString SampleFileFilter;
extern const QString EWCalFileFilter;
extern const QString RCalFileFilter;

// True when the file name's extension, from its last dot, is exactly `ext`
// (case-sensitive, with the dot).
bool HasExactExtension(const QString& path, const QString& ext);

// The file name without its directory.
QString FileNameOnly(const QString& path);

// "Sample" -> "Open". A failed read shows "Could not open " + path and keeps
// the previous sample; caption, solver validity and the analysis follow in
// every case after a file of the right extension was chosen.
void OpenClick(TCommandHost& host);

// "Sample" -> "Save": asks before replacing a file; a failed save is not
// reported and never leaves a truncated file.
void SaveClick(TCommandHost& host);

void OpenEWCalClick(TCommandHost& host);
void SaveEWcalClick(TCommandHost& host);
void OpenRCalClick(TCommandHost& host);
void SaveRCalClick(TCommandHost& host);

// Asks "File already exists, overwrite?" when `path` exists; true to go on.
bool ConfirmOverwrite(TPrompt& prompt, const QString& path);

// The questions of the file commands: the filters and proposed names of the
// file dialogs, and the overwrite confirmation.
#pragma once

#include "core/Prompt.h"

#include <QString>

// Filters and proposed names of the file dialogs.
extern const QString SampleFileFilter;
extern const QString EWCalFileFilter;
extern const QString RCalFileFilter;

// The dialogs of "Sample" -> "Save", "Read Memory" and the calibration saves.
TFileDialogOptions SampleSaveDialog();
TFileDialogOptions EWCalSaveDialog();
TFileDialogOptions RCalSaveDialog();

// True when the file name's extension, from its last dot, is exactly `ext`
// (case-sensitive, with the dot).
bool HasExactExtension(const QString& path, const QString& ext);

// The file name without its directory.
QString FileNameOnly(const QString& path);

// The path with the platform's separators, as captions and messages show it.
QString NativePath(const QString& path);

// Asks "File already exists, overwrite?" when `path` exists; true to go on.
bool ConfirmOverwrite(TPrompt& prompt, const QString& path);

// A save dialog followed by the overwrite question: the chosen name, or empty
// when the user cancelled or declined.
QString AskSaveName(TPrompt& prompt, const TFileDialogOptions& options);

// An open dialog: the chosen name when it has extension `ext`, else empty.
QString AskOpenName(TPrompt& prompt, const QString& filter, const QString& ext);

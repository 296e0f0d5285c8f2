// Every message box, confirmation, file dialog and input prompt of the
// program goes through this interface, so that each handler can run in a
// test with scripted answers. The program uses the Qt implementation
// (ui/QtPrompt); tests use tests/support/ScriptedPrompt.
#pragma once

#include <QString>

struct TFileDialogOptions {
    QString Filter;           // "Description (*.ext)|*.ext", pairs separated by '|'
    QString DefaultExtension; // with or without the leading dot; empty for none
    QString FileName;         // proposed file name; empty for none
};

class TPrompt {
public:
    virtual ~TPrompt() = default;

    // A plain message box with an OK button.
    virtual void ShowMessage(const QString& text) = 0;

    // A Yes/No question with a warning icon and No as the default button.
    // Returns true for Yes.
    virtual bool Confirm(const QString& caption, const QString& text) = 0;

    // File dialogs; an empty result means the user cancelled. A chosen name
    // without extension gets the default extension.
    virtual QString OpenFileName(const TFileDialogOptions& options) = 0;
    virtual QString SaveFileName(const TFileDialogOptions& options) = 0;

    // A one-line input prompt; returns false when cancelled. `value` holds the
    // proposed text on entry and the typed text on return.
    virtual bool InputText(const QString& caption, const QString& label, QString& value) = 0;
};

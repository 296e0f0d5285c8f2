// The program's TPrompt: Qt message boxes, file dialogs and input dialogs.
#pragma once

#include "core/Prompt.h"

#include <QString>

class QWidget;

class TQtPrompt : public TPrompt {
public:
    explicit TQtPrompt(QWidget* parent = nullptr) : Parent(parent) {}

    void SetParent(QWidget* parent) { Parent = parent; }

    void ShowMessage(const QString& text) override;
    bool Confirm(const QString& caption, const QString& text) override;
    QString OpenFileName(const TFileDialogOptions& options) override;
    QString SaveFileName(const TFileDialogOptions& options) override;
    bool InputText(const QString& caption, const QString& label, QString& value) override;

    // "Desc (*.a)|*.a|Other|*.b" -> Qt's "Desc (*.a);;Other (*.b)".
    static QString QtFilter(const QString& filter);

    // The suffix a save dialog adds to a name typed without one when the
    // Qt filter `chosen` is selected: the extension of a filter with one
    // pattern "*.ext", else `fallback` (the dialog's default extension).
    static QString FilterSuffix(const QString& chosen, const QString& fallback);

private:
    QString RunFileDialog(const TFileDialogOptions& options, bool save);

    QWidget* Parent;
    QString LastDirectory;
};

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

private:
    QString RunFileDialog(const TFileDialogOptions& options, bool save);

    QWidget* Parent;
    QString LastDirectory;
};

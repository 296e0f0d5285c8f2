// A TPrompt that answers from a script and records every question, so tests
// can drive handlers that ask the user and check exactly what was asked.
#pragma once

#include "core/Prompt.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <stdexcept>

class ScriptedPrompt : public TPrompt {
public:
    // Answers are consumed in order; a question without a scripted answer
    // fails the test by throwing.
    std::deque<bool> Confirmations;
    std::deque<QString> FileNames; // empty string = cancel
    std::deque<QString> Inputs;    // a null QString = cancel

    QStringList Messages;  // texts of ShowMessage
    QStringList Questions; // "caption|text" of Confirm
    QList<TFileDialogOptions> OpenDialogs, SaveDialogs;

    void ShowMessage(const QString& text) override { Messages << text; }

    bool Confirm(const QString& caption, const QString& text) override {
        Questions << caption + "|" + text;
        return Take(Confirmations, "confirmation: " + text);
    }

    QString OpenFileName(const TFileDialogOptions& options) override {
        OpenDialogs << options;
        return Take(FileNames, "open dialog " + options.Filter);
    }

    QString SaveFileName(const TFileDialogOptions& options) override {
        SaveDialogs << options;
        return Take(FileNames, "save dialog " + options.Filter);
    }

    bool InputText(const QString& caption, const QString&, QString& value) override {
        QString answer = Take(Inputs, "input: " + caption);
        if (answer.isNull()) {
            return false;
        }
        value = answer;
        return true;
    }

private:
    template <typename T> static T Take(std::deque<T>& queue, const QString& what) {
        if (queue.empty()) {
            throw std::runtime_error("unscripted " + what.toStdString());
        }
        T v = queue.front();
        queue.pop_front();
        return v;
    }
};

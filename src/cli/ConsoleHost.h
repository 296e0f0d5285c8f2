// A TCommandHost for the command-line tool: no window; messages go to
// standard error, file dialogs answer with names given on the command line,
// and questions are answered by a fixed flag (--yes).
#pragma once

#include "core/CommandHost.h"

#include <QStringList>
#include <QTextStream>

#include <deque>

class TConsolePrompt : public TPrompt {
public:
    explicit TConsolePrompt(QTextStream& err) : Err(err) {}

    std::deque<QString> FileNames; // answers of the file dialogs, in order
    bool AnswerYes = false;
    QStringList Messages;

    void ShowMessage(const QString& text) override {
        Messages << text;
        Err << text << Qt::endl;
    }
    bool Confirm(const QString&, const QString&) override { return AnswerYes; }
    QString OpenFileName(const TFileDialogOptions&) override { return Next(); }
    QString SaveFileName(const TFileDialogOptions&) override { return Next(); }
    bool InputText(const QString&, const QString&, QString&) override { return false; }

private:
    QString Next() {
        if (FileNames.empty()) {
            return {};
        }
        QString name = FileNames.front();
        FileNames.pop_front();
        return name;
    }
    QTextStream& Err;
};

class TConsoleHost : public TCommandHost {
public:
    explicit TConsoleHost(QTextStream& err) : Prompts(err) {}

    TAnalysisState Analysis;
    TConsolePrompt Prompts;
    QString Caption;
    QString Comment;
    bool Subtraction = false;
    QString Port;

    TAnalysisState& State() override { return Analysis; }
    TPrompt& Prompt() override { return Prompts; }
    void SetCaption(const QString& caption) override { Caption = caption; }
    void ShowComment(const QString& comment) override { Comment = comment; }
    bool BackgroundSubtractionChecked() const override { return Subtraction; }
    void SetBackgroundSubtractionChecked(bool checked) override { Subtraction = checked; }
    void RefreshPeakSelection(const TPeakList&) override {}
    void AnalyseSample() override {}
    QString SelectedPort() const override { return Port; }
};

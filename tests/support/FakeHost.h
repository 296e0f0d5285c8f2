// A TCommandHost without a window: it records what a command asked of the
// main window, and answers prompts from a ScriptedPrompt.
#pragma once

#include "ScriptedPrompt.h"
#include "core/CommandHost.h"

#include <QStringList>

class FakeHost : public TCommandHost {
public:
    TAnalysisState Analysis;
    ScriptedPrompt Prompts;
    QString Caption;
    QString Comment;
    bool SubtractionChecked = false;
    QString Port;
    int Refreshes = 0;
    int Analyses = 0;
    TPeakList LastRefreshedList{};

    TAnalysisState& State() override { return Analysis; }
    TPrompt& Prompt() override { return Prompts; }
    void SetCaption(const QString& caption) override { Caption = caption; }
    void ShowComment(const QString& comment) override { Comment = comment; }
    bool BackgroundSubtractionChecked() const override { return SubtractionChecked; }
    void SetBackgroundSubtractionChecked(bool checked) override {
        if (checked != SubtractionChecked) {
            SubtractionChecked = checked;
            ++Analyses;
        }
    }
    void RefreshPeakSelection(const TPeakList& peakList) override {
        LastRefreshedList = peakList;
        ++Refreshes;
        ++Analyses;
    }
    void AnalyseSample() override { ++Analyses; }
    QString SelectedPort() const override { return Port; }
};

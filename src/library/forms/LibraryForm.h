// The peak list editor window: builds a peak list from the nuclide library,
// loads and saves peak list files, and hands the list back on "Use Peak List".
#pragma once

#include "core/NumberFormat.h"
#include "core/Prompt.h"
#include "library/NuclideLibrary.h"
#include "library/PeakListEditor.h"

#include <QDialog>

class QListWidget;
class QPushButton;

class TLibraryForm : public QDialog, public TPeakListEditor {
    Q_OBJECT

public:
    explicit TLibraryForm(TPrompt& prompt, char decimalSeparator = LocaleDecimalSeparator(),
                          QWidget* parent = nullptr);

    // Shows `list` modally for editing. On "Use Peak List" `list` receives the
    // edited record and `origin` the editor's PeakListOrigin, and the result is
    // true; any other way of closing changes neither and returns false.
    bool GetPeakList(TPeakList& list, QString& origin) override;

private slots:
    void OpenLibButtonClick();
    void AddPeakButtonClick();
    void RemovePeakButtonClick();
    void ClearAllButtonClick();
    void OpenButtonClick();
    void SaveButtonClick();

private:
    void createControls();
    void ShowPeakList();
    void markEdited();

    TPrompt& Prompt;
    char DecimalSeparator;

    TNuclideList NUCLIDELIST{};
    TPeakList PEAKLIST{};
    QString PeakListOrigin;
    QString OpenDialogFileName; // the name last chosen in the open dialog

    QListWidget* LibListBox = nullptr;
    QListWidget* PeakListBox = nullptr;
    QPushButton* OpenLibButton = nullptr;
    QPushButton* AddPeakButton = nullptr;
    QPushButton* RemovePeakButton = nullptr;
    QPushButton* ClearAllButton = nullptr;
    QPushButton* OpenButton = nullptr;
    QPushButton* SaveButton = nullptr;
    QPushButton* ApplyButton = nullptr;
};

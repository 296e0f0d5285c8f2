#include "library/forms/LibraryForm.h"
#include "widgets/Controls.h"
#include "widgets/WindowStyle.h"

#include "library/PeakListFile.h"

#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>

namespace {} // namespace

TLibraryForm::TLibraryForm(TPrompt& prompt, char decimalSeparator, QWidget* parent)
    : QDialog(parent), Prompt(prompt), DecimalSeparator(decimalSeparator) {
    setObjectName("LibraryForm");
    setWindowTitle("LibraryForm");
    ApplyWindowStyle(this);
    setFixedSize(425, 360);
    createControls();
}

void TLibraryForm::createControls() {
    LibListBox = MakeList(this, "LibListBox", QRect(8, 8, 177, 265));
    PeakListBox = MakeList(this, "PeakListBox", QRect(240, 8, 177, 265));
    AddPeakButton = MakeButton(this, "AddPeakButton", ">>", QRect(193, 56, 39, 27));
    RemovePeakButton = MakeButton(this, "RemovePeakButton", "X", QRect(193, 91, 39, 27));
    ClearAllButton = MakeButton(this, "ClearAllButton", "[X]", QRect(193, 126, 39, 27));
    OpenLibButton = MakeButton(this, "OpenLibButton", "Open Library", QRect(8, 281, 177, 30));
    OpenButton = MakeButton(this, "OpenButton", "Open List", QRect(240, 281, 85, 30));
    SaveButton = MakeButton(this, "SaveButton", "Save List", QRect(332, 281, 85, 30));
    ApplyButton = MakeButton(this, "ApplyButton", "Use Peak List", QRect(240, 319, 177, 33));

    connect(OpenLibButton, &QPushButton::clicked, this, &TLibraryForm::OpenLibButtonClick);
    connect(AddPeakButton, &QPushButton::clicked, this, &TLibraryForm::AddPeakButtonClick);
    connect(RemovePeakButton, &QPushButton::clicked, this, &TLibraryForm::RemovePeakButtonClick);
    connect(ClearAllButton, &QPushButton::clicked, this, &TLibraryForm::ClearAllButtonClick);
    connect(OpenButton, &QPushButton::clicked, this, &TLibraryForm::OpenButtonClick);
    connect(SaveButton, &QPushButton::clicked, this, &TLibraryForm::SaveButtonClick);
    connect(ApplyButton, &QPushButton::clicked, this, &QDialog::accept);
}

bool TLibraryForm::GetPeakList(TPeakList& list, QString& origin) {
    PEAKLIST = list;
    ShowPeakList();
    if (exec() != QDialog::Accepted) {
        return false;
    }
    list = PEAKLIST;
    origin = PeakListOrigin;
    return true;
}

void TLibraryForm::ShowPeakList() {
    PeakListBox->clear();
    for (int i = 0; i < UsablePeaks(PEAKLIST); ++i) {
        const TPeakEntry entry = PEAKLIST.Peak[i];
        PeakListBox->addItem(PeakEntryText(entry));
    }
}

void TLibraryForm::markEdited() {
    PeakListOrigin = EditedByUserOrigin;
    ShowPeakList();
}

void TLibraryForm::OpenLibButtonClick() {
    const QString path =
        Prompt.OpenFileName({"Gamma library files (*.txt)|*.txt", "txt", "NaI_Library.txt"});
    if (path.isEmpty()) {
        return;
    }
    OpenDialogFileName = path;
    TNuclideList loaded{};
    if (!ReadNuclideLibraryFile(path, DecimalSeparator, loaded).isEmpty()) {
        return; // a library that cannot be opened changes nothing
    }
    NUCLIDELIST = loaded;
    LibListBox->clear();
    for (int i = 0; i < NUCLIDELIST.Size; ++i) {
        LibListBox->addItem(PeakEntryText(NUCLIDELIST.Peak[i]));
    }
}

void TLibraryForm::AddPeakButtonClick() {
    if (AddLibraryEntry(PEAKLIST, NUCLIDELIST, LibListBox->currentRow())) {
        markEdited();
    }
}

void TLibraryForm::RemovePeakButtonClick() {
    if (RemovePeakEntry(PEAKLIST, PeakListBox->currentRow())) {
        markEdited();
    }
}

void TLibraryForm::ClearAllButtonClick() {
    PEAKLIST.Size = 0;
    markEdited();
}

void TLibraryForm::OpenButtonClick() {
    const QString path =
        Prompt.OpenFileName({"Gamma peak list files (*.gpl)|*.gpl", "gpl", OpenDialogFileName});
    if (!path.isEmpty()) {
        OpenDialogFileName = path;
        const QString error = ReadPeakListFile(path, PEAKLIST);
        if (error.isEmpty()) {
            PeakListOrigin = QFileInfo(path).fileName();
        } else {
            Prompt.ShowMessage(error);
        }
    }
    ShowPeakList();
}

void TLibraryForm::SaveButtonClick() {
    const QString path = Prompt.SaveFileName({"Gamma peak list files (*.gpl)|*.gpl", ".gpl", {}});
    if (path.isEmpty()) {
        return;
    }
    if (QFileInfo::exists(path) &&
        !Prompt.Confirm("Save file", "File already exists, overwrite?")) {
        return;
    }
    const QString error = WritePeakListFile(path, PEAKLIST);
    if (!error.isEmpty()) {
        Prompt.ShowMessage(error);
    }
}

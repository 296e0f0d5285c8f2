#include "library/forms/LibraryForm.h"
#include "ModalScript.h"
#include "library/PeakListFile.h"

#include "ScriptedPrompt.h"

#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cstring>
#include <functional>

namespace {

QPushButton* Button(QWidget& form, const char* name) {
    auto* b = form.findChild<QPushButton*>(name);
    if (!b) {
        qFatal("no button %s", name);
    }
    return b;
}

QListWidget* List(QWidget& form, const char* name) {
    auto* l = form.findChild<QListWidget*>(name);
    if (!l) {
        qFatal("no list %s", name);
    }
    return l;
}

// Runs GetPeakList with `script` acting inside the modal window. The script
// closes the window; should a check in it fail, the window is dismissed.
bool RunEditor(TLibraryForm& form, TPeakList& list, QString& origin,
               const std::function<void()>& script) {
    ActInModal(form, script);
    return form.GetPeakList(list, origin);
}

// Stays here: every byte but the one line is 0x33, so that the insignificant
// slots can be seen to travel unchanged.
TPeakList OneEntryList(const char* name, int energy) {
    TPeakList list{};
    std::memset(&list, 0x33, sizeof(list));
    TPeakEntry entry = list.Peak[0];
    SetPeakName(entry, name);
    entry.Energy = static_cast<std::uint16_t>(energy);
    list.Peak[0] = entry;
    list.Size = 1;
    return list;
}

} // namespace

class LibraryFormTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir Dir;
    QString LibraryPath;

private slots:
    void initTestCase() {
        QVERIFY(Dir.isValid());
        LibraryPath = Dir.filePath("NaI_Library.txt");
        QFile f(LibraryPath);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("K40\t1460.82\t10.66\r\nCs-137\t661.66\t85.1\t600\r\nnot a line\r\n"
                "Bi214\t609.31\t45.49\r\n");
    }

    void openLibraryAddAndApply() {
        ScriptedPrompt prompt;
        TLibraryForm form(prompt, '.');
        TPeakList list = OneEntryList("Old", 100);
        QString origin = "before";
        const bool confirmed = RunEditor(form, list, origin, [&] {
            QCOMPARE(List(form, "PeakListBox")->count(), 1);
            prompt.FileNames.push_back(LibraryPath);
            Button(form, "OpenLibButton")->click();
            QCOMPARE(prompt.OpenDialogs.last().FileName, QString("NaI_Library.txt"));
            QCOMPARE(prompt.OpenDialogs.last().Filter,
                     QString("Gamma library files (*.txt)|*.txt"));
            QListWidget* lib = List(form, "LibListBox");
            QCOMPARE(lib->count(), 3);
            QCOMPARE(lib->item(1)->text(), QString("Cs-13 - (662keV)"));
            lib->setCurrentRow(1);
            Button(form, "AddPeakButton")->click();
            Button(form, "AddPeakButton")->click();
            QCOMPARE(List(form, "PeakListBox")->item(2)->text(), QString("Cs-13 - (662keV)"));
            QImage image = form.grab().toImage();
            image.save(QString(ZK_TEST_OUTPUT_DIR) + "/LibraryForm.png");
            Button(form, "ApplyButton")->click();
        });
        QVERIFY(confirmed);
        QCOMPARE(list.Size, 3);
        QCOMPARE(PeakNameToText(list.Peak[1]), QString("Cs-13"));
        QCOMPARE(+list.Peak[2].Limit, 600.0f);
        QCOMPARE(list.Peak[3].Name[0], '\x33'); // insignificant slots travel unchanged
        QCOMPARE(origin, QString("edited by user"));

        // The library survives; a dismissed window changes neither list nor origin.
        TPeakList kept = list;
        QString keptOrigin = "mine";
        const bool second = RunEditor(form, kept, keptOrigin, [&] {
            QCOMPARE(List(form, "LibListBox")->count(), 3);
            Button(form, "ClearAllButton")->click();
            QCOMPARE(List(form, "PeakListBox")->count(), 0);
            form.reject();
        });
        QVERIFY(!second);
        QCOMPARE(std::memcmp(&kept, &list, sizeof(list)), 0);
        QCOMPARE(keptOrigin, QString("mine"));
    }

    void fullListAndRemove() {
        ScriptedPrompt prompt;
        TLibraryForm form(prompt, '.');
        TPeakList list{};
        QString origin;
        RunEditor(form, list, origin, [&] {
            prompt.FileNames.push_back(LibraryPath);
            Button(form, "OpenLibButton")->click();
            List(form, "LibListBox")->setCurrentRow(0);
            for (int i = 0; i < 17; ++i) {
                Button(form, "AddPeakButton")->click();
            }
            QCOMPARE(List(form, "PeakListBox")->count(), 16);
            List(form, "PeakListBox")->setCurrentRow(0);
            Button(form, "RemovePeakButton")->click();
            QCOMPARE(List(form, "PeakListBox")->count(), 15);
            Button(form, "ApplyButton")->click();
        });
        QCOMPARE(list.Size, 15);
        QCOMPARE(origin, QString("edited by user"));
    }

    void openAndSaveLists() {
        ScriptedPrompt prompt;
        TLibraryForm form(prompt, '.');
        const QString good = Dir.filePath("Natural.gpl");
        const TPeakList stored = OneEntryList("Tl208", 2615);
        QVERIFY(WritePeakListFile(good, stored).isEmpty());
        const QString bad = Dir.filePath("short.gpl");
        {
            QFile f(bad);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(100, '\0'));
        }
        const QString saved = Dir.filePath("saved.gpl");

        TPeakList list{};
        QString origin = "earlier";
        RunEditor(form, list, origin, [&] {
            prompt.FileNames.push_back(good);
            Button(form, "OpenButton")->click();
            QCOMPARE(prompt.OpenDialogs.last().Filter,
                     QString("Gamma peak list files (*.gpl)|*.gpl"));
            QCOMPARE(List(form, "PeakListBox")->item(0)->text(), QString("Tl208 - (2615keV)"));

            // A short file is refused with a message; the list stays as it was.
            prompt.FileNames.push_back(bad);
            Button(form, "OpenButton")->click();
            QCOMPARE(prompt.OpenDialogs.last().FileName, good); // the name last chosen
            QCOMPARE(prompt.Messages.size(), 1);
            QVERIFY(prompt.Messages[0].contains("too short"));
            QCOMPARE(List(form, "PeakListBox")->count(), 1);

            // Cancelled open dialog changes nothing.
            prompt.FileNames.push_back(QString());
            Button(form, "OpenButton")->click();

            prompt.FileNames.push_back(saved);
            Button(form, "SaveButton")->click();
            QCOMPARE(prompt.SaveDialogs.last().DefaultExtension, QString(".gpl"));
            QVERIFY(prompt.SaveDialogs.last().FileName.isEmpty());
            QVERIFY(prompt.Questions.isEmpty()); // new file: no question

            // Overwriting asks; No keeps the file.
            Button(form, "ClearAllButton")->click();
            prompt.FileNames.push_back(saved);
            prompt.Confirmations.push_back(false);
            Button(form, "SaveButton")->click();
            QCOMPARE(prompt.Questions.last(), QString("Save file|File already exists, overwrite?"));
            TPeakList onDisk{};
            QVERIFY(ReadPeakListFile(saved, onDisk).isEmpty());
            QCOMPARE(std::memcmp(&onDisk, &stored, sizeof(onDisk)), 0);

            prompt.FileNames.push_back(saved);
            prompt.Confirmations.push_back(true);
            Button(form, "SaveButton")->click();
            QVERIFY(ReadPeakListFile(saved, onDisk).isEmpty());
            QCOMPARE(onDisk.Size, 0);
            QCOMPARE(+onDisk.Peak[0].Energy, 2615); // slot bytes kept
            Button(form, "ApplyButton")->click();
        });
        // Clearing made the list "edited by user"; saving does not change the origin.
        QCOMPARE(origin, QString("edited by user"));

        // Opening after the edit names the file again.
        RunEditor(form, list, origin, [&] {
            prompt.FileNames.push_back(good);
            Button(form, "OpenButton")->click();
            Button(form, "ApplyButton")->click();
        });
        QCOMPARE(origin, QString("Natural.gpl"));
        QCOMPARE(std::memcmp(&list, &stored, sizeof(list)), 0);
    }

    void originKeptBetweenUses() {
        ScriptedPrompt prompt;
        TLibraryForm form(prompt, '.');
        TPeakList list{};
        QString origin = "caller";
        // Nothing opened or edited yet: the editor's origin is still empty.
        RunEditor(form, list, origin, [&] { Button(form, "ApplyButton")->click(); });
        QCOMPARE(origin, QString());
    }

    void windowLooksRight() {
        ScriptedPrompt prompt;
        TLibraryForm form(prompt, '.');
        QCOMPARE(form.windowTitle(), QString("LibraryForm"));
        QCOMPARE(Button(form, "ApplyButton")->text(), QString("Use Peak List"));
        QCOMPARE(Button(form, "OpenLibButton")->text(), QString("Open Library"));
        QCOMPARE(Button(form, "OpenButton")->text(), QString("Open List"));
        QCOMPARE(Button(form, "SaveButton")->text(), QString("Save List"));
        QCOMPARE(Button(form, "RemovePeakButton")->text(), QString("X"));
        QCOMPARE(Button(form, "ClearAllButton")->text(), QString("[X]"));
        QCOMPARE(form.palette().color(QPalette::Window), QColor(255, 255, 102));
    }
};

QTEST_MAIN(LibraryFormTest)
#include "LibraryFormTest.moc"

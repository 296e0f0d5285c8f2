#include "analysis/forms/UncertaintiesForm.h"

#include "ScriptedPrompt.h"
#include "core/NumberFormat.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Packed record fields are compared by value: the comparison macros take
// references, which must not bind to possibly misaligned members.
template <typename T> T Value(T v) {
    return v;
}

QString WithSeparator(const char* text) {
    return QString(text).replace('.', QChar(LocaleDecimalSeparator()));
}

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

} // namespace

class UncertaintiesFormTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir FDir;
    QString Path() const { return FDir.filePath("UncertaintySettings.usf"); }

    static QLineEdit* Edit(TUncertaintiesForm& form, const char* name) {
        auto* edit = form.findChild<QLineEdit*>(name);
        if (!edit) {
            qFatal("no edit %s", name);
        }
        return edit;
    }

    static void Type(TUncertaintiesForm& form, const char* name, const QString& text) {
        QLineEdit* edit = Edit(form, name);
        edit->clear();
        QTest::keyClicks(edit, text);
    }

    // PrepareFields, type the four values, click Save, take the result.
    static bool SaveWith(TUncertaintiesForm& form, const QStringList& texts) {
        form.PrepareFields();
        form.show();
        Type(form, "uScaleEdit", texts[0]);
        Type(form, "uEfficiencyEdit", texts[1]);
        Type(form, "uCurveEdit", texts[2]);
        Type(form, "uFactorEdit", texts[3]);
        QTest::mouseClick(form.findChild<QPushButton*>("SaveButton"), Qt::LeftButton);
        const bool closed = !form.isVisible();
        return form.FinishEditing(form.result()) && closed;
    }

private slots:
    void init() { QFile::remove(Path()); }

    void layoutAndCaptions() {
        ScriptedPrompt prompt;
        TUncertaintiesForm form(prompt, nullptr, Path());
        QCOMPARE(form.windowTitle(), QString("Define uncertainties"));
        QCOMPARE(form.size(), QSize(330, 230));
        QCOMPARE(form.palette().color(QPalette::Window), QColor(255, 255, 102));
        QCOMPARE(form.findChild<QPushButton*>("SaveButton")->text(), QString("Save Uncertainties"));
        QStringList captions;
        for (const QLabel* label : form.findChildren<QLabel*>()) {
            captions << label->text();
        }
        QCOMPARE(captions, QStringList({"Rel. Standard Uncertainty Scale [%]",
                                        "Rel- Standard Uncertainty Efficiency Calibration [%]",
                                        "Maximum Efficiency Curve Deviation [%]",
                                        "Uncertainty Extention Factor"}));
        QVERIFY(Edit(form, "uScaleEdit")->y() < Edit(form, "uEfficiencyEdit")->y());
        QVERIFY(Edit(form, "uCurveEdit")->y() < Edit(form, "uFactorEdit")->y());

        form.PrepareFields();
        Edit(form, "uScaleEdit")->setText(WithSeparator("1.000"));
        Edit(form, "uEfficiencyEdit")->setText(WithSeparator("5.000"));
        Edit(form, "uCurveEdit")->setText(WithSeparator("3.000"));
        Edit(form, "uFactorEdit")->setText(WithSeparator("2.000"));
        form.show();
        QVERIFY(form.grab().save(QString(ZK_TEST_OUTPUT_DIR) + "/UncertaintiesForm.png"));
    }

    void loadMessages() {
        ScriptedPrompt prompt;
        TUncertaintiesForm missing(prompt, nullptr, Path());
        QVERIFY(!missing.LoadUncertainties());
        QCOMPARE(prompt.Messages,
                 QStringList({"No valid uncertainty settings found! Use menu option "
                              "\"Calibration -> Define uncertainties\" for correct definition."}));

        QFile file(Path());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(20, '\0'));
        file.close();
        prompt.Messages.clear();
        TUncertaintiesForm shortFile(prompt, nullptr, Path());
        QVERIFY(!shortFile.LoadUncertainties());
        QCOMPARE(prompt.Messages.size(), 1);
        QVERIFY(prompt.Messages[0].contains("holds 20 bytes, 32 are needed"));
        QVERIFY(!shortFile.Settings().UncertaintySetupValid);
    }

    void saveNewFileAndShowItAgain() {
        ScriptedPrompt prompt;
        TUncertaintiesForm form(prompt, nullptr, Path());
        QVERIFY(SaveWith(form, {"5", "3", "1", "2"}));
        QVERIFY(prompt.Questions.isEmpty()); // no file yet, no zero
        QCOMPARE(FileBytes(Path()).size(), 32);
        QVERIFY(form.Settings().UncertaintySetupValid);
        QCOMPARE(Value(form.Settings().UncertaintySetup.uScale), 0.05);
        QCOMPARE(Value(form.Settings().UncertaintySetup.uFactor), 2.0);

        form.PrepareFields();
        QCOMPARE(Edit(form, "uScaleEdit")->text(), WithSeparator("5.000"));
        QCOMPARE(Edit(form, "uFactorEdit")->text(), WithSeparator("2.000"));

        TUncertaintiesForm reloaded(prompt, nullptr, Path());
        QVERIFY(reloaded.LoadUncertainties());
        QCOMPARE(Value(reloaded.Settings().UncertaintySetup.uScale), 0.05);
    }

    void declinedOverwriteKeepsFileAndFigures() {
        ScriptedPrompt prompt;
        TUncertaintiesForm form(prompt, nullptr, Path());
        QVERIFY(SaveWith(form, {"5", "3", "1", "2"}));
        const QByteArray before = FileBytes(Path());

        prompt.Confirmations = {false};
        QVERIFY(SaveWith(form, {"9", "9", "9", "9"})); // still closes through Save
        QCOMPARE(prompt.Questions,
                 QStringList({"Uncertainty settings|Overwrite previous settings?"}));
        QCOMPARE(FileBytes(Path()), before);
        QCOMPARE(Value(form.Settings().UncertaintySetup.uScale), 0.05);
    }

    void declinedOverwriteOfUnreadableFileStaysNotValid() {
        QFile file(Path());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(10, '\0'));
        file.close();
        ScriptedPrompt prompt;
        TUncertaintiesForm form(prompt, nullptr, Path());
        QVERIFY(!form.LoadUncertainties());
        prompt.Confirmations = {false};
        QVERIFY(SaveWith(form, {"5", "3", "1", "2"})); // closed through Save
        QVERIFY(!form.Settings().UncertaintySetupValid);
        QCOMPARE(FileBytes(Path()).size(), 10);
    }

    void zeroValueQuestion_data() {
        QTest::addColumn<bool>("answer");
        QTest::newRow("continue") << true;
        QTest::newRow("stop") << false;
    }

    void zeroValueQuestion() {
        QFETCH(bool, answer);
        ScriptedPrompt prompt;
        TUncertaintiesForm form(prompt, nullptr, Path());
        QVERIFY(SaveWith(form, {"5", "3", "1", "2"}));
        const QByteArray before = FileBytes(Path());

        prompt.Confirmations = {true, answer};
        QVERIFY(SaveWith(form, {"abc", "3", "1", "2"}));
        QCOMPARE(prompt.Questions,
                 QStringList({"Uncertainty settings|Overwrite previous settings?",
                              "Attention!|One or more values zero or invalid! Continue?"}));
        // The zero is in force either way; only Yes writes it.
        QCOMPARE(Value(form.Settings().UncertaintySetup.uScale), 0.0);
        QCOMPARE(FileBytes(Path()) == before, !answer);
    }

    void failedSaveIsReported() {
        ScriptedPrompt prompt;
        TUncertaintiesForm form(prompt, nullptr, FDir.filePath("missing/UncertaintySettings.usf"));
        QVERIFY(SaveWith(form, {"5", "3", "1", "2"}));
        QCOMPARE(prompt.Messages.size(), 1);
        QVERIFY(prompt.Messages[0].startsWith("Cannot write the uncertainty settings file"));
        QCOMPARE(Value(form.Settings().UncertaintySetup.uScale), 0.05);
    }
};

QTEST_MAIN(UncertaintiesFormTest)
#include "UncertaintiesFormTest.moc"

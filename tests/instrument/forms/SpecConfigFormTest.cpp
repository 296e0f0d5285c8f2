// The configuration dialog driven through its controls.
#include "instrument/forms/SpecConfigForm.h"

#include "SampleFixtures.h"
#include "ScriptedPrompt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {

// A packed field by value, so that no reference binds to it.
template <typename T> T Copy(T v) {
    return v;
}

TPeakList OnePeak() {
    TPeakList list{};
    AddPeak(list, PeakLine("K40", 1461, 0, 0));
    return list;
}

// Runs `action` on the dialog once it is shown modally.
void WhenShown(TSpecConfigForm& form, std::function<void()> action) {
    QTimer::singleShot(0, &form, [&form, action] {
        QTRY_VERIFY(form.isVisible());
        action();
    });
}

} // namespace

class SpecConfigFormTest : public QObject {
    Q_OBJECT
private slots:
    void editsAndConfirmsThroughOK() {
        ScriptedPrompt prompt;
        TSpecConfigForm form(prompt);
        QCOMPARE(form.windowTitle(), QStringLiteral("Zel-Korda"));
        TSpecConfig config{100.0f, 2, 0x04, 7.0f, 0};
        bool saved = false;
        WhenShown(form, [&] {
            QCOMPARE(form.PeakThresholdEdit->text(), QStringLiteral("100"));
            QCOMPARE(form.TimeToPeakEdit->text(), QStringLiteral("2"));
            QVERIFY(!form.SubtractBackgroundCheckBox->isChecked());
            QVERIFY(form.PeakListComboBox->isHidden());
            QVERIFY(form.DetectionLimitEdit->isHidden());
            QCOMPARE(form.PeakListComboBox->currentText(), QStringLiteral("K40, 1461keV"));
            saved = form.grab().save(QStringLiteral(ZK_TEST_OUTPUT_DIR "/SpecConfigForm.png"));
            form.PeakThresholdEdit->clear();
            QTest::keyClicks(form.PeakThresholdEdit, QStringLiteral("250"));
            form.TimeToPeakEdit->selectAll();
            QTest::keyClicks(form.TimeToPeakEdit, QStringLiteral("4"));
            QTest::mouseClick(form.SubtractBackgroundCheckBox, Qt::LeftButton, {},
                              QPoint(6, form.SubtractBackgroundCheckBox->height() / 2));
            QTest::mouseClick(form.OKButton, Qt::LeftButton);
        });
        QVERIFY(form.SpectrometerConfig(OnePeak(), config));
        QVERIFY(saved);
        QCOMPARE(Copy(config.PeakThreshold), 250.0f);
        QCOMPARE(int(config.TimeToPeak), 4);
        QCOMPARE(int(config.Mode), 0x05);
        QCOMPARE(Copy(config.RequestedDL), 100.0f);
        QCOMPARE(int(config.PeakIndexDL), 0);
        QVERIFY(prompt.Messages.isEmpty());
        QCOMPARE(form.DetectionLimitEdit->text(), QStringLiteral("DetectionLimitEdit"));
    }

    void closedWithoutOKChangesNothing() {
        ScriptedPrompt prompt;
        TSpecConfigForm form(prompt);
        TSpecConfig config{100.0f, 2, 1, 7.0f, 3};
        WhenShown(form, [&] {
            form.PeakThresholdEdit->setText(QStringLiteral("999"));
            form.reject();
        });
        QVERIFY(!form.SpectrometerConfig(OnePeak(), config));
        QCOMPARE(Copy(config.PeakThreshold), 100.0f);
        QCOMPARE(Copy(config.RequestedDL), 7.0f);
    }

    void invalidInputIsRefused() {
        ScriptedPrompt prompt;
        TSpecConfigForm form(prompt);
        TSpecConfig config{12.5f, 2, 0, 7.0f, -1};
        WhenShown(form, [&] { QTest::mouseClick(form.OKButton, Qt::LeftButton); });
        QVERIFY(!form.SpectrometerConfig(OnePeak(), config));
        QCOMPARE(Copy(prompt.Messages), QStringList{QStringLiteral("Invalid input values")});
        QCOMPARE(Copy(config.PeakThreshold), 12.5f);
    }
};

QTEST_MAIN(SpecConfigFormTest)
#include "SpecConfigFormTest.moc"

// "Sample" -> "Export": the save dialog offers SPA first, then SPE, N42-2012
// and CSV, and the chosen name's extension decides what is written.
#include "SampleFixtures.h"
#include "ScriptedPrompt.h"
#include "core/SpectrumExportFiles.h"
#include "ui/PaekAnalyserForm.h"
#include "ui/QtPrompt.h"

#include <QAction>
#include <QFile>
#include <QTemporaryDir>

#include <QtTest>

class ExportFormatsTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    static QByteArray Read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void typedNameTakesTheChosenFiltersExtension_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("SPA") << "Spectrum text file (*.SPA)"
                             << "SPA";
        QTest::newRow("N42") << "N42-2012 spectrum (*.n42)"
                             << "n42";
        QTest::newRow("all files") << "All spectrum text files (*.*)"
                                   << "SPA";
        QTest::newRow("two patterns") << "Spectra (*.spe *.csv)"
                                      << "SPA";
    }

    void typedNameTakesTheChosenFiltersExtension() {
        QFETCH(QString, filter);
        QFETCH(QString, suffix);
        QCOMPARE(TQtPrompt::FilterSuffix(filter, QStringLiteral("SPA")), suffix);
    }

    void everyExportFilterNamesItsExtension() {
        const QStringList filters =
            TQtPrompt::QtFilter(SpectrumExportDialog().Filter).split(QStringLiteral(";;"));
        QStringList suffixes;
        for (const QString& f : filters) {
            suffixes << TQtPrompt::FilterSuffix(f, {});
        }
        QCOMPARE(suffixes, (QStringList{"SPA", "spe", "n42", "csv"}));
    }

    void chosenExtensionPicksTheFormat_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("start");
        QTest::newRow("SPA") << "a.SPA" << QByteArray("ADR\tWEIGHT:");
        QTest::newRow("SPE") << "a.spe" << QByteArray("$SPEC_ID:\r\n");
        QTest::newRow("N42") << "a.N42" << QByteArray("<?xml");
        QTest::newRow("CSV") << "a.csv" << QByteArray("# live time (s),");
        QTest::newRow("other name is SPA") << "a.dat" << QByteArray("ADR\tWEIGHT:");
    }

    void chosenExtensionPicksTheFormat() {
        QFETCH(QString, name);
        QFETCH(QByteArray, start);
        ScriptedPrompt prompt;
        TPaekAnalyserForm form(prompt);
        TSampleFile sample = FlatSample(256, 5);
        SetCalibration(sample, ChannelIsKeV);
        form.State().MeasuredSample = sample;
        const QString path = dir.filePath(name);
        prompt.FileNames = {path};
        form.MenuAction({"Sample", "Export"})->trigger();
        QVERIFY(prompt.Messages.isEmpty());
        QVERIFY2(Read(path).startsWith(start), Read(path).left(40).constData());
        QCOMPARE(prompt.SaveDialogs.size(), 1);
        const TFileDialogOptions dialog = prompt.SaveDialogs.front();
        QVERIFY(dialog.Filter.startsWith(QStringLiteral("Spectrum text file (*.SPA)|*.SPA|")));
        QCOMPARE(dialog.DefaultExtension, QStringLiteral(".SPA"));
    }
};

QTEST_MAIN(ExportFormatsTest)
#include "ExportFormatsTest.moc"

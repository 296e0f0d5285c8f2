#include "calibration/forms/CalibrationToolForm.h"
#include "ModalScript.h"
#include "SampleFixtures.h"
#include "ScriptedPrompt.h"
#include "ui/WindowFonts.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

template <typename T> T* Control(QWidget& form, const char* name) {
    auto* c = form.findChild<T*>(name);
    if (!c) {
        qFatal("no control %s", name);
    }
    return c;
}

QWidget* AnyControl(QWidget& form, const char* name) {
    return Control<QWidget>(form, name);
}

// Three lines on a flat 100 counts: each Gaussian symmetric about the middle
// of channel Ch = E + 20 (20000 counts, sigma 5 channels), so a ROI of
// +-15 channels around it locates the peak at exactly E + 20.5.
struct TLine {
    const char* Name;
    int Energy;
};
constexpr TLine Lines[] = {{"Co57", 122}, {"Ba133", 356}, {"Cs137", 662}};

int PeakChannel(int energy) {
    return energy + 20;
}

TSampleFile ThreeLineSample() {
    TSampleFile s = FlatSample(1024, 100);
    for (const TLine& line : Lines) {
        const double centre = PeakChannel(line.Energy) + 0.5;
        SetChannels(s, [&](int i) {
            return s.Sample.Spectrum.Channel[i] + GaussianCounts(i + 0.5, centre, 5, 20000);
        });
        AddPeak(s, line.Name, line.Energy, 50);
    }
    SetCalibration(s, {1.5f, 0.75f, -0.001f, 2e-7f}, {2.0f, 0.01f, 1e-6f});
    SetMeasurement(s, 3600, 1);
    s.CalibrationType = 1;
    return s;
}

// A left click at the first ROI channel and a right click at the channel
// after the last one. A click that would put the markers out of order is
// undone, so the right button goes first and once more at the end: one of
// the first two clicks always holds, and the last two then do.
void SelectRoi(TCalibrationToolForm& form, int first, int end) {
    QWidget* view = AnyControl(form, "SpectrumPaintBox");
    const double zoom = form.Tool().Zoom;
    QTest::mouseClick(view, Qt::RightButton, {}, QPoint(qRound(end * zoom), 80));
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(qRound(first * zoom), 80));
    QTest::mouseClick(view, Qt::RightButton, {}, QPoint(qRound(end * zoom), 80));
}

// The ROI around the line's peak, then a double click on its candidate line.
void AddLinePoint(TCalibrationToolForm& form, int candidate, int energy) {
    SelectRoi(form, PeakChannel(energy) - 15, PeakChannel(energy) + 16);
    auto* list = Control<QListWidget>(form, "LibListBox");
    QListWidgetItem* item = list->item(candidate);
    QVERIFY(item);
    const QPoint at = list->visualItemRect(item).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

QString Cell(QWidget& form, int row, int column) {
    QTableWidgetItem* item = Control<QTableWidget>(form, "CalPointsStringGrid")->item(row, column);
    return item ? item->text() : QString("<none>");
}

QStringList MemoLines(QWidget& form) {
    return Control<QPlainTextEdit>(form, "ResultsMemo")->toPlainText().split('\n');
}

void SaveGrab(QWidget& form, const QString& name) {
    const QImage image = form.grab().toImage();
    QVERIFY(image.save(QString(ZK_TEST_OUTPUT_DIR) + "/" + name));
}

// Writes `text` to a file of the directory and returns its path.
QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& text) {
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size()) {
        qFatal("cannot write fixture");
    }
    return path;
}

// The three layouts of spectrum text files, built line by line.
QByteArray ZemaText(const QList<int>& counts, const QByteArray& resolution = "512 ch",
                    const QByteArray& refVoltage = "2000") {
    QList<QByteArray> lines(23, "x\t0");
    lines[0] = "ZEMA spectrum";
    lines[4] = "RefVoltage\t" + refVoltage;
    lines[5] = "Resolution\t" + resolution;
    lines[6] = "Offset\t0";
    lines[19] = "A\tB\tSPECTRUM";
    QByteArray data = "Data\t600\tx";
    for (int count : counts) {
        data += "\t" + QByteArray::number(count);
    }
    lines[22] = data;
    return lines.join("\r\n") + "\r\n";
}

QList<int> SmallZemaCounts() {
    QList<int> counts;
    for (int i = 0; i < 300; ++i) {
        counts << (i == 150 ? 900 : 20 + i % 7);
    }
    return counts;
}

QList<int> SampleCounts(const TSampleFile& s) {
    QList<int> counts;
    for (int i = 0; i < s.Sample.Spectrum.Size; ++i) {
        counts << qRound(s.Sample.Spectrum.Channel[i]);
    }
    return counts;
}

QByteArray VintravaText() {
    QByteArray text = "[INFO]\r\nDevice\tVintrava 2\r\n[CHANNELDATA]\r\n";
    for (int i = 0; i < 256; ++i) {
        text += QByteArray::number(i == 100 ? 500 : 10) + "\r\n";
    }
    return text;
}

QByteArray HeliomatText() {
    QByteArray text = "ADR\tWEIGHT:1\r\nGROUP\tVOLUME:1\r\nTYPE\t0\r\nNUMBER\t0\r\nSTART\t0\r\n"
                      "SAVE\t600\r\nE_min\t0\r\nE_max\t1500\r\nSAMPLE\t600\r\nSIZE\t512\r\n\r\n"
                      "CHANNEL\tCOUNTS\r\n";
    for (int i = 0; i < 512; ++i) {
        text += QByteArray::number(i + 1) + "\t" + QByteArray::number(40 + (i % 50)) + "\r\n";
    }
    return text + "\r\nINFO\tx\r\n";
}

// The texts of the tool that a translation replaces, as the window shows
// them untranslated.
const QStringList ToolTexts = {"dCALIBRATION",
                               "Calibration - ZEMA",
                               "Calibration - Vintrava",
                               "Calibration - HELIOMAT7xx",
                               "Spectrum view contol",
                               "lin/log",
                               "Position (Channel)",
                               "Sigma (Channels)",
                               "FWHM [%]",
                               "OK",
                               "Double click to add calibration point",
                               "Double click to remove calibration point",
                               "NaI library files (*.txt)|*.txt",
                               "keV)",
                               "Name",
                               "Energy",
                               "Position",
                               "Sigma",
                               "Energy calibration",
                               "Peak width calibration",
                               "Sigma [ch] vs. Channels",
                               "Channel [ch] vs. Energy [keV]",
                               "Energy [keV] vs. Voltage [mV]",
                               "Voltage [mV] vs. Energy [keV]",
                               "Sigma rel [keV] vs. Energy [keV]",
                               "Correlation = "};
// Texts that German writes as English does.
const QStringList SameInGerman = {"lin/log", "OK", "keV)"};

} // namespace

class CalibrationToolFormTest : public QObject {
    Q_OBJECT

    QTemporaryDir Dir;

private slots:
    void initTestCase() {
        QVERIFY(Dir.isValid());
        LoadWindowFonts(); // the program's fonts, so the pictures look like the program
    }

    void controlsAtTheirPlaces_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry"); // width or height 0: follows its caption
        QTest::addColumn<QString>("caption");
        const auto row = [](const char* name, QRect g, const char* caption = "") {
            QTest::newRow(name) << QString(name) << g << QString(caption);
        };
        row("OpenSpectrumButton", {8, 8, 50, 50});
        row("OpenLibButton", {64, 8, 50, 50});
        row("ClearCalPointsButton", {120, 8, 50, 50});
        row("ApplyButton", {982, 8, 50, 50}, "OK");
        row("Bevel1", {416, 8, 202, 50});
        row("Label4", {464, 10, 0, 0}, "Spectrum view contol");
        row("LinLogCheckBox", {424, 27, 0, 0}, "lin/log");
        row("RoiShiftLeftButton", {491, 25, 25, 25}, "<");
        row("RoiShiftRightButton", {522, 25, 25, 25}, ">");
        row("BiggerRoiButton", {553, 25, 25, 25}, "<>");
        row("SmallerRoiButton", {584, 25, 25, 25}, "><");
        row("SpectrumPaintBox", {8, 66, 1024, 166});
        row("PeakPaintBox", {8, 244, 350, 300});
        row("Label1", {8, 550, 0, 0}, "Position (Channel)");
        row("Label2", {130, 550, 0, 0}, "Sigma (Channels)");
        row("Label3", {248, 550, 0, 0}, "FWHM [%]");
        row("PeakPositionEdit", {8, 569, 110, 21});
        row("PeakWidthEdit", {130, 569, 110, 21});
        row("FWHMEdit", {248, 569, 110, 21});
        row("LibListBox", {370, 244, 130, 345});
        row("CalPointsStringGrid", {510, 244, 210, 190});
        row("ResultsMemo", {510, 439, 210, 150});
        row("RegressionPaintBox", {730, 244, 302, 345});
    }

    void controlsAtTheirPlaces() {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QString, caption);
        ScriptedPrompt prompt;
        TCalibrationToolForm form(prompt, '.');
        QWidget* c = AnyControl(form, name.toLatin1().constData());
        if (geometry.width() > 0) {
            QCOMPARE(c->geometry(), geometry);
        } else {
            QCOMPARE(c->pos(), geometry.topLeft());
        }
        QString text;
        if (auto* b = qobject_cast<QAbstractButton*>(c)) {
            text = b->text();
        } else if (auto* l = qobject_cast<QLabel*>(c)) {
            text = l->text();
        }
        QCOMPARE(text, caption);
    }

    void windowLookAtCreation() {
        ScriptedPrompt prompt;
        TCalibrationToolForm form(prompt, '.');
        QCOMPARE(form.size(), QSize(1043, 597));
        QCOMPARE(form.minimumSize(), form.maximumSize());
        QCOMPARE(form.windowTitle(), QString("dCALIBRATION"));
        QCOMPARE(form.palette().color(QPalette::Window), QColor(255, 255, 102));
        QCOMPARE(form.font().family(), QString("Tahoma"));
        QCOMPARE(form.font().pointSize(), 8);
        auto* ok = Control<QPushButton>(form, "ApplyButton");
        QVERIFY(!ok->isEnabled());
        QVERIFY(ok->font().bold());
        QCOMPARE(ok->font().pixelSize(), 19);
        QCOMPARE(Control<QListWidget>(form, "LibListBox")->toolTip(),
                 QString("Double click to add calibration point"));
        QCOMPARE(Control<QTableWidget>(form, "CalPointsStringGrid")->toolTip(),
                 QString("Double click to remove calibration point"));
        QCOMPARE(Control<QTableWidget>(form, "CalPointsStringGrid")->rowCount(), 1);
        QCOMPARE(Control<QTableWidget>(form, "CalPointsStringGrid")->columnCount(), 4);
        QVERIFY(Control<QPlainTextEdit>(form, "ResultsMemo")->isReadOnly());
        QCOMPARE(form.Tool().Spectrum.Size, -1);
        for (const char* glyph : {"OpenSpectrumButton", "OpenLibButton", "ClearCalPointsButton"}) {
            QVERIFY2(!Control<QPushButton>(form, glyph)->icon().isNull(), glyph);
        }
    }

    // From the main window's sample to its new calibration: candidates from
    // its peak list, the present calibration in the memo, three located
    // peaks as points, OK.
    void calibrateSample() {
        ScriptedPrompt prompt;
        TCalibrationToolForm form(prompt, '.');
        TSampleFile sample = ThreeLineSample();
        ActInModal(form, [&] {
            auto* list = Control<QListWidget>(form, "LibListBox");
            QCOMPARE(list->count(), 3);
            QCOMPARE(list->item(2)->text(), QString("Cs137 - (662keV)"));
            const QStringList memo = MemoLines(form);
            QCOMPARE(memo.size(), 11);
            QCOMPARE(memo[0], QString("Energy calibration"));
            QCOMPARE(memo[3], QString("C1: 0.750000"));
            QCOMPARE(memo[6], QString("Peak width calibration"));
            QCOMPARE(form.Tool().Zoom, 1.0);

            for (int i = 0; i < 3; ++i) {
                AddLinePoint(form, i, Lines[i].Energy);
            }
            QCOMPARE(Control<QLineEdit>(form, "PeakPositionEdit")->text(), QString("682.5"));
            QCOMPARE(Control<QTableWidget>(form, "CalPointsStringGrid")->rowCount(), 4);
            QCOMPARE(Cell(form, 0, 0), QString("Name"));
            QCOMPARE(Cell(form, 1, 0), QString("Co57"));
            QCOMPARE(Cell(form, 1, 1), QString("122"));
            QCOMPARE(Cell(form, 1, 2), QString("142.5"));
            QCOMPARE(Cell(form, 3, 2), QString("682.5"));
            QVERIFY(Control<QPushButton>(form, "ApplyButton")->isEnabled());
            QCOMPARE(MemoLines(form)[0], QString("ADC:256ch; Vref:2000mV;"));
            QVERIFY(MemoLines(form).contains("Correlation = 1.000000"));
            SaveGrab(form, "CalibrationTool_sample.png");
            QTest::mouseClick(Control<QPushButton>(form, "ApplyButton"), Qt::LeftButton);
        });
        QVERIFY(form.CalibrateSample(sample));
        // Channel = energy + 20.5 through all three points.
        QCOMPARE(sample.CalibrationType, std::uint8_t(0));
        QVERIFY(qAbs(sample.Calibration.ECal.C0 - 20.5f) < 1e-3f);
        QVERIFY(qAbs(sample.Calibration.ECal.C1 - 1.0f) < 1e-5f);
        QCOMPARE(sample.Calibration.ECal.C3, 0.0f); // three points: a parabola
        QVERIFY(qAbs(sample.Calibration.WCal.W0 - 5.0f) < 0.3f);

        // The points survive; closing without OK leaves the sample alone.
        TSampleFile again = ThreeLineSample();
        ActInModal(form, [&] {
            QCOMPARE(Control<QTableWidget>(form, "CalPointsStringGrid")->rowCount(), 4);
            QVERIFY(Control<QPushButton>(form, "ApplyButton")->isEnabled());
            QCOMPARE(MemoLines(form)[0], QString("Energy calibration"));
            form.reject();
        });
        QVERIFY(!form.CalibrateSample(again));
        const TSampleFile fresh = ThreeLineSample();
        QCOMPARE(std::memcmp(&again, &fresh, sizeof(again)), 0);
    }

    // The four ROI buttons move the markers and relocate the peak; lin/log
    // redraws the spectrum on the other scale.
    void roiButtonsAndLogView() {
        ScriptedPrompt prompt;
        TCalibrationToolForm form(prompt, '.');
        TSampleFile sample = ThreeLineSample();
        ActInModal(form, [&] {
            const int peak = PeakChannel(Lines[1].Energy);
            SelectRoi(form, peak - 15, peak + 16);
            const TCalibrationTool& tool = form.Tool();
            QCOMPARE(tool.Marker1, peak - 15);
            QCOMPARE(tool.Marker2, peak + 16);
            const struct {
                const char* Button;
                int Marker1, Marker2;
            } steps[] = {{"RoiShiftLeftButton", peak - 16, peak + 15},
                         {"RoiShiftRightButton", peak - 15, peak + 16},
                         {"BiggerRoiButton", peak - 15, peak + 17},
                         {"SmallerRoiButton", peak - 14, peak + 17}};
            for (const auto& step : steps) {
                QTest::mouseClick(Control<QPushButton>(form, step.Button), Qt::LeftButton);
                QCOMPARE(tool.Marker1, step.Marker1);
                QCOMPARE(tool.Marker2, step.Marker2);
                QCOMPARE(tool.Roi.Offset, step.Marker1);
            }
            QCOMPARE(Control<QLineEdit>(form, "PeakPositionEdit")->text(), tool.PositionText());
            QWidget* view = AnyControl(form, "SpectrumPaintBox");
            const QImage linear = view->grab().toImage();
            QTest::mouseClick(Control<QCheckBox>(form, "LinLogCheckBox"), Qt::LeftButton);
            const QImage logarithmic = view->grab().toImage();
            QVERIFY(linear != logarithmic);
            // Flat 100 counts: a bar of a 20th of the height in linear view,
            // log 100 / log max in logarithmic view.
            QCOMPARE(linear.pixelColor(50, 166 - 30), QColor(Qt::white));
            QCOMPARE(logarithmic.pixelColor(50, 166 - 30), QColor(Qt::black));
            form.reject();
        });
        form.CalibrateSample(sample);
    }

    // The grid's selected point is red in both views; a double click removes
    // it, the clear button all of them.
    void selectRemoveAndClearPoints() {
        ScriptedPrompt prompt;
        TCalibrationToolForm form(prompt, '.');
        TSampleFile sample = ThreeLineSample();
        ActInModal(form, [&] {
            for (int i = 0; i < 3; ++i) {
                AddLinePoint(form, i, Lines[i].Energy);
            }
            auto* grid = Control<QTableWidget>(form, "CalPointsStringGrid");
            const QPoint second = grid->visualRect(grid->model()->index(2, 0)).center();
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, second);
            QCOMPARE(form.SelectedPoint(), 1);
            const QImage view = AnyControl(form, "SpectrumPaintBox")->grab().toImage();
            const int x = PeakChannel(Lines[1].Energy); // position 376.5, one pixel per channel
            QCOMPARE(view.pixelColor(x, 20), QColor(Qt::red));
            QCOMPARE(view.pixelColor(PeakChannel(Lines[0].Energy), 20), QColor(Qt::blue));

            QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, second);
            QCOMPARE(grid->rowCount(), 3);
            QCOMPARE(Cell(form, 2, 0), QString("Cs137"));
            QVERIFY(Control<QPushButton>(form, "ApplyButton")->isEnabled());

            QTest::mouseClick(Control<QPushButton>(form, "ClearCalPointsButton"), Qt::LeftButton);
            QCOMPARE(grid->rowCount(), 1);
            QCOMPARE(Cell(form, 0, 0), QString("Name")); // the header stays, as a plain row
            QVERIFY(!Control<QPushButton>(form, "ApplyButton")->isEnabled());
            QCOMPARE(Control<QPlainTextEdit>(form, "ResultsMemo")->toPlainText(), QString());
            form.reject();
        });
        QVERIFY(!form.CalibrateSample(sample));
    }

    void textFiles_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("size");
        QTest::addColumn<double>("zoom");
        QTest::newRow("ZEMA") << ZemaText(SmallZemaCounts()) << "Calibration - ZEMA" << 300 << 2.0;
        QTest::newRow("Vintrava") << VintravaText() << "Calibration - Vintrava" << 256 << 5.0;
        QTest::newRow("HELIOMAT7xx") << HeliomatText() << "Calibration - HELIOMAT7xx" << 512 << 2.0;
    }

    // The open-spectrum button reads the file into the tool's spectrum and
    // names its layout in the caption; the view follows at the layout's zoom.
    void textFiles() {
        QFETCH(QByteArray, text);
        QFETCH(QString, caption);
        QFETCH(int, size);
        QFETCH(double, zoom);
        ScriptedPrompt prompt;
        TCalibrationToolForm form(prompt, '.');
        form.show();
        prompt.FileNames.push_back(WriteFile(Dir, QTest::currentDataTag(), text));
        QTest::mouseClick(Control<QPushButton>(form, "OpenSpectrumButton"), Qt::LeftButton);
        QCOMPARE(prompt.OpenDialogs.size(), 1);
        QCOMPARE(prompt.OpenDialogs[0].Filter, QString()); // any file
        QCOMPARE(form.windowTitle(), caption);
        QCOMPARE(form.Tool().Spectrum.Size, size);
        QCOMPARE(form.Tool().Zoom, zoom);
        QVERIFY(prompt.Messages.isEmpty());
        SelectRoi(form, 90, 110);
        SaveGrab(form, QString("CalibrationTool_%1.png").arg(QTest::currentDataTag()));
    }

    // Cancelled dialogs and files that are no spectrum change nothing and
    // say nothing; a header that is not a number says so and the window
    // carries on.
    void unreadableTextFiles() {
        ScriptedPrompt prompt;
        TCalibrationToolForm form(prompt, '.');
        form.show();
        auto* open = Control<QPushButton>(form, "OpenSpectrumButton");
        prompt.FileNames = {QString(), WriteFile(Dir, "junk.txt", QByteArray("\x01\xff junk\0", 9)),
                            Dir.filePath("missing.txt")};
        for (int i = 0; i < 3; ++i) {
            QTest::mouseClick(open, Qt::LeftButton);
        }
        QCOMPARE(form.windowTitle(), QString("dCALIBRATION"));
        QCOMPARE(form.Tool().Spectrum.Size, -1);
        QVERIFY(prompt.Messages.isEmpty());

        prompt.FileNames = {
            WriteFile(Dir, "bad.txt", ZemaText(SmallZemaCounts(), "512 ch", "2 kV"))};
        QTest::mouseClick(open, Qt::LeftButton);
        QCOMPARE(prompt.Messages.size(), 1);
        QVERIFY2(prompt.Messages[0].contains("bad.txt"), qPrintable(prompt.Messages[0]));
        QCOMPARE(form.windowTitle(), QString("dCALIBRATION"));
        QVERIFY(form.isVisible());
    }

    // A spectrum without ADC resolution gives every point the voltage 0, so
    // the energy-versus-voltage fit is singular: the message comes through
    // the prompt, the memo stays empty, the window stays usable.
    void singularFitShownAndWindowCarriesOn() {
        ScriptedPrompt prompt;
        TCalibrationToolForm form(prompt, '.');
        TSampleFile sample = ThreeLineSample();
        const QString noAdc = WriteFile(Dir, "no-adc.txt", ZemaText(SampleCounts(sample), "0 ch"));
        ActInModal(form, [&] {
            prompt.FileNames = {noAdc};
            QTest::mouseClick(Control<QPushButton>(form, "OpenSpectrumButton"), Qt::LeftButton);
            QCOMPARE(form.Tool().Spectrum.AdcResolution, 0);
            AddLinePoint(form, 0, Lines[0].Energy);
            AddLinePoint(form, 1, Lines[1].Energy);
            QCOMPARE(prompt.Messages.size(), 1);
            QVERIFY2(prompt.Messages[0].startsWith("Error in GaussJordan"),
                     qPrintable(prompt.Messages[0]));
            QCOMPARE(Control<QTableWidget>(form, "CalPointsStringGrid")->rowCount(), 3);
            QCOMPARE(Control<QPlainTextEdit>(form, "ResultsMemo")->toPlainText(), QString());
            QVERIFY(form.isVisible());
            SaveGrab(form, "CalibrationTool_singular.png");
            // The window goes on working: clearing the points needs no fit.
            QTest::mouseClick(Control<QPushButton>(form, "ClearCalPointsButton"), Qt::LeftButton);
            QCOMPARE(Control<QTableWidget>(form, "CalPointsStringGrid")->rowCount(), 1);
            QVERIFY(!Control<QPushButton>(form, "ApplyButton")->isEnabled());
            form.reject();
        });
        QVERIFY(!form.CalibrateSample(sample));
        QCOMPARE(prompt.Messages.size(), 1);
    }

    // The library button's dialog, and a library that replaces the
    // candidates but keeps the points.
    void openLibrary() {
        ScriptedPrompt prompt;
        TCalibrationToolForm form(prompt, '.');
        TSampleFile sample = ThreeLineSample();
        const QString library =
            WriteFile(Dir, "NaI_Library.txt",
                      "Cs-137 long name\t661.7\t85.1\r\nbad\tx\t1\r\nK40\t1460.8\t10.7\r\n");
        ActInModal(form, [&] {
            AddLinePoint(form, 0, Lines[0].Energy);
            auto* button = Control<QPushButton>(form, "OpenLibButton");
            prompt.FileNames = {QString(), Dir.filePath("missing.txt"), library};
            for (int i = 0; i < 3; ++i) {
                QTest::mouseClick(button, Qt::LeftButton);
                if (i < 2) {
                    QCOMPARE(Control<QListWidget>(form, "LibListBox")->count(), 3);
                }
            }
            const TFileDialogOptions& dialog = prompt.OpenDialogs.last();
            QCOMPARE(dialog.FileName, QString("NaI_Library.txt"));
            QCOMPARE(dialog.DefaultExtension, QString("txt"));
            QCOMPARE(dialog.Filter, QString("NaI library files (*.txt)|*.txt"));
            auto* list = Control<QListWidget>(form, "LibListBox");
            QCOMPARE(list->count(), 2);
            QCOMPARE(list->item(0)->text(), QString("Cs-13 - (662keV)"));
            QCOMPARE(Control<QTableWidget>(form, "CalPointsStringGrid")->rowCount(), 2);
            QVERIFY(prompt.Messages.isEmpty());
            form.reject();
        });
        form.CalibrateSample(sample);
    }

    // Untranslated and in German: every text of the tool that the catalogue
    // covers changes, and the window is laid out for the longer texts.
    void germanWindow() {
        QTranslator german;
        QVERIFY(german.load(QString(GermanCatalogue)));
        QVERIFY(QCoreApplication::installTranslator(&german));
        ScriptedPrompt prompt;
        auto form = std::make_unique<TCalibrationToolForm>(prompt, ',');
        TSampleFile sample = ThreeLineSample();
        ActInModal(*form, [&] {
            QCOMPARE(form->windowTitle(), QString("Kalibrierung"));
            QCOMPARE(Control<QLabel>(*form, "Label1")->text(), QString("Lage (Kanal)"));
            QCOMPARE(Control<QLabel>(*form, "Label3")->text(), QString("Halbwertsbreite [%]"));
            QCOMPARE(Control<QLabel>(*form, "Label4")->text(), QString("Spektrumansicht"));
            QCOMPARE(Control<QListWidget>(*form, "LibListBox")->toolTip(),
                     QString("Doppelklick fügt einen Kalibrierpunkt hinzu"));
            QCOMPARE(MemoLines(*form)[0], QString("Energiekalibrierung"));
            QCOMPARE(MemoLines(*form)[3], QString("C1: 0,750000"));
            for (int i = 0; i < 3; ++i) {
                AddLinePoint(*form, i, Lines[i].Energy);
            }
            QCOMPARE(Cell(*form, 0, 1), QString("Energie"));
            QCOMPARE(Cell(*form, 1, 2), QString("142,5"));
            QVERIFY(MemoLines(*form).contains("Kanal [Kan] vs. Energie [keV]"));
            QVERIFY(MemoLines(*form).contains("Korrelation = 1,000000"));
            // No quoted English text is left on screen but those German
            // writes alike.
            QStringList shown = {form->windowTitle()};
            for (QLabel* l : form->findChildren<QLabel*>()) {
                shown << l->text();
            }
            for (QWidget* w : form->findChildren<QWidget*>()) {
                shown << w->toolTip();
            }
            for (int c = 0; c < 4; ++c) {
                shown << Cell(*form, 0, c);
            }
            shown << MemoLines(*form);
            for (const QString& text : ToolTexts) {
                if (!SameInGerman.contains(text)) {
                    QVERIFY2(!shown.contains(text), qPrintable(text));
                }
            }
            SaveGrab(*form, "CalibrationTool_de.png");
            form->reject();
        });
        form->CalibrateSample(sample);
        form.reset();
        QCoreApplication::removeTranslator(&german);
    }

    // The compiled catalogue holds a finished German text for every
    // translatable text of the tool.
    void catalogueTranslatesEveryToolText() {
        QTranslator german;
        QVERIFY(german.load(QString(GermanCatalogue)));
        QCOMPARE(german.language(), QString("de"));
        for (const QString& text : ToolTexts) {
            const QString translated =
                german.translate("TCalibrationToolForm", text.toUtf8().constData());
            QVERIFY2(!translated.isEmpty(), qPrintable("no German text for " + text));
            if (!SameInGerman.contains(text)) {
                QVERIFY2(translated != text, qPrintable("left in English: " + text));
            }
        }
    }

    void translationFollowsTheFirstInterfaceLanguage_data() {
        QTest::addColumn<QStringList>("languages");
        QTest::addColumn<bool>("installed");
        QTest::newRow("German") << QStringList{"de-DE", "en-US"} << true;
        QTest::newRow("Austrian German") << QStringList{"de-AT"} << true;
        QTest::newRow("plain de") << QStringList{"de"} << true;
        QTest::newRow("English first") << QStringList{"en-US", "de-DE"} << false;
        QTest::newRow("Danish is not German") << QStringList{"da-DK"} << false;
        QTest::newRow("none") << QStringList{} << false;
    }

    void translationFollowsTheFirstInterfaceLanguage() {
        QFETCH(QStringList, languages);
        QFETCH(bool, installed);
        QCOMPARE(InstallTranslation(*QCoreApplication::instance(), languages), installed);
        const QString caption = QCoreApplication::translate("TCalibrationToolForm", "dCALIBRATION");
        QCOMPARE(caption, QString(installed ? "Kalibrierung" : "dCALIBRATION"));
        // Leave the application untranslated for the next case.
        for (QTranslator* t : QCoreApplication::instance()->findChildren<QTranslator*>()) {
            QCoreApplication::removeTranslator(t);
            delete t;
        }
    }
};

QTEST_MAIN(CalibrationToolFormTest)
#include "CalibrationToolFormTest.moc"

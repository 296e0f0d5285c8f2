// The calibration tool's three views drawn into images from tool states set
// field by field: what they show, and that states no working tool reaches
// (damaged files, empty spectra, wild fits) draw without dividing by zero or
// reading outside an array.
#include "plots/CalibrationPlots.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

#include <cmath>
#include <functional>
#include <limits>

namespace {

const QColor Grey(128, 128, 128);
const QColor Silver(192, 192, 192);

struct TViews {
    QImage Spectrum, Peak, Regression;
};

TViews DrawAll(const TCalibrationTool& tool, bool logView = false, int selected = -1) {
    TViews v{QImage(1024, 166, QImage::Format_RGB32), QImage(350, 300, QImage::Format_RGB32),
             QImage(302, 345, QImage::Format_RGB32)};
    for (QImage* image : {&v.Spectrum, &v.Peak, &v.Regression}) {
        image->fill(Qt::magenta); // anything drawn outside the view would stay visible
    }
    {
        QPainter p(&v.Spectrum);
        DrawToolSpectrum(tool, logView, selected, p, v.Spectrum.rect());
    }
    {
        QPainter p(&v.Peak);
        DrawToolPeak(tool, p, v.Peak.rect());
    }
    {
        QPainter p(&v.Regression);
        DrawRegression(tool, selected, p, v.Regression.rect());
    }
    return v;
}

// Pixels of the image other than white, grey and silver (the box, its frame
// and the ROI band).
int DrawnPixels(const QImage& image) {
    int n = 0;
    for (int y = 1; y < image.height() - 1; ++y) {
        for (int x = 1; x < image.width() - 1; ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c != Qt::white && c != Grey && c != Silver) {
                ++n;
            }
        }
    }
    return n;
}

TCalibrationTool FlatTool(int size, int level) {
    TCalibrationTool tool('.');
    tool.Spectrum.Size = size;
    tool.Spectrum.AdcResolution = 256;
    tool.Spectrum.RefVoltage = 2000;
    for (int i = 0; i < size && i < CalChannels; ++i) {
        tool.Spectrum.Channels[i] = level;
    }
    return tool;
}

void AddPoint(TCalibrationTool& tool, const char* energy, const char* position, const char* sigma) {
    tool.Points.push_back({"X", energy, position, sigma});
}

using TSetup = std::function<void(TCalibrationTool&)>;

} // namespace

Q_DECLARE_METATYPE(TSetup)

class CalibrationPlotsTest : public QObject {
    Q_OBJECT

private slots:
    // A flat spectrum of 100 counts with channels of 1 and 2 counts: the ROI
    // band in silver between the markers, bars scaled to the largest count,
    // and in log view no bar for the channel of 1.
    void spectrumBarsBandAndLogView() {
        TCalibrationTool tool = FlatTool(256, 100);
        tool.Spectrum.Channels[10] = 1000;
        tool.Spectrum.Channels[20] = 1;
        tool.Spectrum.Channels[21] = 2;
        tool.Zoom = 4;
        tool.Marker1 = 100;
        tool.Marker2 = 110;
        const TViews linear = DrawAll(tool);
        QCOMPARE(linear.Spectrum.pixelColor(0, 0), Grey);
        QCOMPARE(linear.Spectrum.pixelColor(420, 20), Silver);
        QCOMPARE(linear.Spectrum.pixelColor(390, 20), QColor(Qt::white));
        // Channel 10 at 4 pixels per channel: a box over the full height,
        // outlined black, silver inside.
        QCOMPARE(linear.Spectrum.pixelColor(40, 1), QColor(Qt::black));
        QCOMPARE(linear.Spectrum.pixelColor(41, 80), Silver);
        // 100 of 1000 counts: a tenth of the height (17 pixels).
        QCOMPARE(linear.Spectrum.pixelColor(201, 166 - 10), Silver);
        QCOMPARE(linear.Spectrum.pixelColor(201, 166 - 25), QColor(Qt::white));

        const TViews log = DrawAll(tool, true);
        QCOMPARE(log.Spectrum.pixelColor(201, 166 - 100), Silver); // log 100 / log 1000
        QCOMPARE(log.Spectrum.pixelColor(85, 166 - 10), Silver);   // 2 counts: log 2 / log 1000
        QCOMPARE(log.Spectrum.pixelColor(81, 166 - 10), QColor(Qt::white)); // 1 count: no bar
    }

    void pointLinesAndMarks() {
        TCalibrationTool tool = FlatTool(1024, 100);
        AddPoint(tool, "200", "300.4", "4");
        AddPoint(tool, "500", "700", "6");
        tool.Coefficients[EvsCh] = {0, 0.7, 0, 0, 0};
        tool.Coefficients[SvsCh] = {4, 0.003, 0, 0, 0};
        const TViews v = DrawAll(tool, false, 1);
        QCOMPARE(v.Spectrum.pixelColor(300, 10), QColor(Qt::blue));
        QCOMPARE(v.Spectrum.pixelColor(699, 10), QColor(Qt::red));
        QCOMPARE(v.Spectrum.pixelColor(700, 10), QColor(Qt::red));
        // Energy 500 of a scale of 750 at x = 302 * 700 / 1024.
        const int x = qRound(302 * 700 / 1024.0);
        const int y = 345 - qRound(345 * 500 / 750.0);
        bool red = false;
        for (int dx = -3; dx <= 3; ++dx) {
            red = red || v.Regression.pixelColor(x + dx, y - 3) == QColor(Qt::red);
        }
        QVERIFY(red);
        QVERIFY(DrawnPixels(v.Regression) > 300); // both curves
    }

    void hostileStates_data() {
        QTest::addColumn<TSetup>("setup");
        QTest::addColumn<bool>("spectrumDrawn");
        QTest::addColumn<bool>("peakDrawn");
        QTest::addColumn<bool>("regressionDrawn");
        const auto row = [](const char* name, TSetup setup, bool s, bool p, bool r) {
            QTest::newRow(name) << setup << s << p << r;
        };
        row(
            "no spectrum loaded", [](TCalibrationTool&) {}, false, false, false);
        row(
            "largest count 0", [](TCalibrationTool& t) { t = FlatTool(1024, 0); }, false, false,
            false);
        row(
            "largest count 1 in log view", [](TCalibrationTool& t) { t = FlatTool(1024, 1); },
            false, false, false);
        row(
            "ROI whose largest gross count is 0",
            [](TCalibrationTool& t) {
                t = FlatTool(64, 0);
                t.Roi = t.Spectrum;
                t.Roi.Size = 3;
                t.Roi.Channels[1] = -5;
                t.NetRoi = t.Roi;
                t.NetRoi.Channels[1] = 3;
                t.Mean = 1.5;
                t.Sigma = 0;
            },
            false, true, false);
        row(
            "ROI longer than the array",
            [](TCalibrationTool& t) {
                t = FlatTool(CalChannels, std::numeric_limits<std::int32_t>::max());
                t.Roi = t.Spectrum;
                t.Roi.Size = 1 << 30;
                t.NetRoi = t.Roi;
                t.Mean = 1e300;
                t.Sigma = 1e300;
            },
            true, false, false); // bars of no width, everything at pixel column 0
        row(
            "spectrum larger than the array, counts at the 32-bit limit",
            [](TCalibrationTool& t) {
                t = FlatTool(CalChannels, std::numeric_limits<std::int32_t>::max());
                t.Spectrum.Size = 1 << 30;
                t.Spectrum.Channels[7] = std::numeric_limits<std::int32_t>::min();
                AddPoint(t, "100", "50", "2");
                AddPoint(t, "300", "150", "3");
            },
            true, false, true);
        row(
            "zoom and markers out of all range",
            [](TCalibrationTool& t) {
                t = FlatTool(16, 10);
                t.Zoom = std::numeric_limits<double>::infinity();
                t.Marker1 = std::numeric_limits<std::int32_t>::min();
                t.Marker2 = std::numeric_limits<std::int32_t>::max();
                AddPoint(t, "100", "1e300", "2");
            },
            false, false, false); // one box from column 0 far past the view, the point beyond it
        row(
            "zoom not a number",
            [](TCalibrationTool& t) {
                t = FlatTool(16, 10);
                t.Zoom = std::nan("");
            },
            false, false, false); // every bar at pixel column 0, the frame's
        row(
            "points whose sigmas are all 0",
            [](TCalibrationTool& t) {
                t = FlatTool(1024, 10);
                AddPoint(t, "100", "50", "0");
                AddPoint(t, "300", "150", "0");
                t.Coefficients[EvsCh] = {0, 2, 0, 0, 0};
            },
            true, false, true);
        row(
            "point at position 0 and negative offset",
            [](TCalibrationTool& t) {
                t = FlatTool(1024, 10);
                t.Spectrum.Offset = -10;
                AddPoint(t, "100", "0", "2");
                AddPoint(t, "300", "150", "3");
                t.Coefficients[SvsCh] = {1, 0, 0, 0, 0};
            },
            true, false, true);
        row(
            "spectrum of size 0 with points",
            [](TCalibrationTool& t) {
                t = FlatTool(0, 0);
                AddPoint(t, "100", "50", "2");
                AddPoint(t, "300", "150", "3");
            },
            false, false, false);
        row(
            "cells that are not numbers and wild fits",
            [](TCalibrationTool& t) {
                t = FlatTool(1024, 10);
                AddPoint(t, "x", "50", "2");
                AddPoint(t, "300", "150", "3");
                AddPoint(t, "-7", "nan", "");
                t.Coefficients[EvsCh] = {1e300, -1e300, 1e300, -1e300, 0};
                t.Coefficients[SvsCh] = {std::nan(""), 0, 0, 0, 0};
            },
            true, false, true);
    }

    void hostileStates() {
        QFETCH(TSetup, setup);
        QFETCH(bool, spectrumDrawn);
        QFETCH(bool, peakDrawn);
        QFETCH(bool, regressionDrawn);
        TCalibrationTool tool('.');
        setup(tool);
        const TViews v =
            DrawAll(tool, std::string(QTest::currentDataTag()).find("log") != std::string::npos);
        // Each view paints its whole box.
        for (const QImage* image : {&v.Spectrum, &v.Peak, &v.Regression}) {
            for (int y = 0; y < image->height(); ++y) {
                for (int x = 0; x < image->width(); ++x) {
                    QVERIFY(image->pixelColor(x, y) != QColor(Qt::magenta));
                }
            }
        }
        QCOMPARE(DrawnPixels(v.Spectrum) > 0, spectrumDrawn);
        QCOMPARE(DrawnPixels(v.Peak) > 0, peakDrawn);
        QCOMPARE(DrawnPixels(v.Regression) > 0, regressionDrawn);
    }
};

QTEST_MAIN(CalibrationPlotsTest)
#include "CalibrationPlotsTest.moc"

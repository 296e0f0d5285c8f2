// The printed page: the layout's geometry, what each step writes where (caught
// by a paint device that records every text and dot), pixels of pages drawn
// into images at low resolution, and the PDF's text as a text extractor reads it.
#include "printing/PrintProtocol.h"

#include "SampleFixtures.h"
#include "analysis/AnalysisRun.h"

#include <gtest/gtest.h>

#include <ostream>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextItem>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace {

// The page needs fonts, so the tests run in a GUI application (offscreen).
class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (!QGuiApplication::instance()) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            App = std::make_unique<QGuiApplication>(Argc, Argv);
        }
    }
    // Before the program's static objects go.
    void TearDown() override { App.reset(); }

private:
    int Argc = 1;
    char Name[8] = "printer";
    char* Argv[2] = {Name, nullptr};
    std::unique_ptr<QGuiApplication> App;
};
const auto* const Gui = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

// --- A paint device that records texts and dots -------------------------------

struct TWrittenText {
    QString Text;
    QPoint Baseline;
    bool Bold = false;
    QFont Font;
};

struct TDrawnDot {
    QRect Rect;
    QColor Fill;
};

class TRecordingEngine : public QPaintEngine {
public:
    TRecordingEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState& state) override {
        if (state.state() & QPaintEngine::DirtyBrush)
            Brush = state.brush();
        if (state.state() & QPaintEngine::DirtyTransform)
            Transform = state.transform();
    }
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawTextItem(const QPointF& p, const QTextItem& item) override {
        Texts.push_back({item.text(), Transform.map(p).toPoint(), item.font().bold(), item.font()});
    }
    void drawEllipse(const QRectF& r) override {
        Dots.push_back({Transform.mapRect(r).toRect(), Brush.color()});
    }
    void drawEllipse(const QRect& r) override { drawEllipse(QRectF(r)); }
    void drawPath(const QPainterPath&) override {}
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
    void drawPolygon(const QPoint*, int, PolygonDrawMode) override {}
    void drawRects(const QRectF*, int) override {}
    void drawRects(const QRect*, int) override {}
    void drawLines(const QLineF*, int) override {}
    void drawLines(const QLine*, int) override {}
    Type type() const override { return QPaintEngine::User; }

    std::vector<TWrittenText> Texts;
    std::vector<TDrawnDot> Dots;

private:
    QBrush Brush;
    QTransform Transform;
};

class TRecordingDevice : public QPaintDevice {
public:
    explicit TRecordingDevice(QSize size) : Size(size) {}
    QPaintEngine* paintEngine() const override { return &Engine; }
    TRecordingEngine& Record() { return Engine; }

protected:
    int metric(PaintDeviceMetric m) const override {
        switch (m) {
        case PdmWidth:
            return Size.width();
        case PdmHeight:
            return Size.height();
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 600;
        case PdmDepth:
            return 32;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(QPaintDevice::devicePixelRatioFScale());
        case PdmNumColors:
            return std::numeric_limits<int>::max();
        default:
            return Size.width() * 254 / 6000;
        }
    }

private:
    QSize Size;
    mutable TRecordingEngine Engine;
};

const QSize A4At600(4960, 7016);

// --- Samples ------------------------------------------------------------------

// A 2048-channel sample (channel = keV, sigma 4) with `peaks` lines named
// "Line-NN", each with a Gaussian of 10000 counts, and the comment `comment`.
TPrintJob MakeJob(int peaks, const QString& comment = QStringLiteral("Garden soil")) {
    TPrintJob job;
    job.SampleFile = FlatSample(2048, 100);
    SetCalibration(job.SampleFile, ChannelIsKeV, ConstantWidth(4), FivePercent);
    SetMeasurement(job.SampleFile, 3600, 0.5f);
    job.SampleFile.Sample.Parameter.SerialNumber = 1203;
    job.SampleFile.Sample.Parameter.SampleID = 42;
    for (int i = 0; i < peaks; ++i) {
        const int energy = 100 + 120 * i;
        AddGaussian(job.SampleFile.Sample.Spectrum, energy, 4, 10000);
        AddPeak(job.SampleFile, QStringLiteral("Line-%1").arg(i, 2, 10, QLatin1Char('0')), energy,
                50);
    }
    TextToComment(job.SampleFile, comment);
    job.ProtocolName = QStringLiteral("soil.vtb");
    job.Moment = QDateTime(QDate(2026, 12, 10), QTime(9, 30, 15));
    return job;
}

TRecordingEngine& Record(TRecordingDevice& device, const TPrintJob& job, bool label,
                         QSize page = A4At600) {
    QPainter painter(&device);
    EXPECT_TRUE(PrintProtocolPage(painter, QRect(QPoint(0, 0), page), job, label));
    painter.end();
    return device.Record();
}

const TWrittenText* Find(const TRecordingEngine& e, const QString& text) {
    for (const TWrittenText& t : e.Texts)
        if (t.Text == text)
            return &t;
    return nullptr;
}

int CountStartingWith(const TRecordingEngine& e, const QString& prefix) {
    int n = 0;
    for (const TWrittenText& t : e.Texts)
        n += t.Text.startsWith(prefix) ? 1 : 0;
    return n;
}

// --- Geometry -----------------------------------------------------------------

TEST(PrintLayout, A4At600DotsPerInchGivesTheFrameAndBlocks) {
    const TPrintFrame f = PrintFrame(false, 4960, 7016);
    EXPECT_EQ(f.X0, 496);
    EXPECT_EQ(f.Y0, 175);
    EXPECT_EQ(f.W, 4216);
    EXPECT_EQ(f.H, 6665);
    EXPECT_EQ(SpectrumRect(false, f), QRect(496, 1175, 4216, 1000));
    EXPECT_EQ(HeaderRect(false, f), QRect(496, 175, 4216, 666)); // 666.5 rounds to even
    EXPECT_EQ(ResultsRect(false, f), QRect(496, 175 + 5332, 4216, 6332 - 5332));

    const TPrintFrame l = PrintFrame(true, 4960, 7016);
    EXPECT_EQ(l.X0, 0);
    EXPECT_EQ(l.Y0, 0);
    EXPECT_EQ(l.W, 4960);
    EXPECT_EQ(l.H, 7016);
    EXPECT_EQ(HeaderRect(true, l), QRect(0, 0, 4960, 912));
    EXPECT_EQ(SpectrumRect(true, l), QRect(0, 1403, 4960, 3157 - 1403));
    EXPECT_EQ(ResultsRect(true, l), QRect(0, 3157, 4960, 6665 - 3157));
}

TEST(PrintLayout, PdfPageIsTheWholeSheet) {
    const QByteArray pdf = PrintToPdfBytes(MakeJob(1), false, 600, QPageSize(QPageSize::A4));
    ASSERT_FALSE(pdf.isEmpty());
    EXPECT_TRUE(pdf.startsWith("%PDF"));
    // 595 x 842 points: A4 without margins, which is 4960 x 7016 pixels at 600 dpi.
    EXPECT_TRUE(pdf.contains("/MediaBox [0 0 595.000000 842.000000]"))
        << pdf.left(2000).toStdString();
}

struct TTileCase {
    const char* Name;
    int Count, Index;
    QRect Expected;
};

void PrintTo(const TTileCase& c, std::ostream* os) {
    *os << c.Name;
}

class PrintTiles : public ::testing::TestWithParam<TTileCase> {};

// A4 at 600 dpi: gap 105, tile width 975, vertical gap 333, band 2666 from y 2508.
TEST_P(PrintTiles, TileRectangles) {
    const TTileCase& c = GetParam();
    const TPrintFrame f = PrintFrame(false, 4960, 7016);
    QRect rect(1, 2, 3, 4);
    TileRect(f, c.Count, c.Index, rect);
    EXPECT_EQ(rect, c.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    , PrintTiles,
    ::testing::Values(
        TTileCase{"OnePeakStillTwoRows", 1, 0, QRect(496, 2508, 975, 1166)},
        TTileCase{"ThreePeaksThirdColumn", 3, 2, QRect(496 + 2 * 1080, 2508, 975, 1166)},
        TTileCase{"SixteenPeaksFirstOfSecondRow", 16, 4, QRect(496, 2508 + 749, 975, 416)},
        TTileCase{"SixteenPeaksLast", 16, 15, QRect(496 + 3 * 1080, 2508 + 3 * 749, 975, 416)},
        TTileCase{"IndexBeyondCountLeavesRect", 3, 3, QRect(1, 2, 3, 4)},
        TTileCase{"NegativeIndexLeavesRect", 3, -1, QRect(1, 2, 3, 4)}),
    [](const auto& info) { return info.param.Name; });

TEST(PrintLayout, CaptionsAndLines) {
    EXPECT_EQ(PeakCaption(PeakLine("Cs-137", 662)), "Cs-137 (662 keV)");
    TSampleParameter p{};
    p.SerialNumber = 1203;
    p.Weight = 0.5f;
    p.SampleInterval = 3600;
    p.SampleID = 42;
    EXPECT_EQ(SampleLineText(p),
              "Zel Korda SN: 1203, Sample Weight: 0.5 kg, Sample Time: 3600 sec., ID: 42");
    p.Weight = 1.23456f;
    EXPECT_TRUE(SampleLineText(p).contains("Weight: 1.235 kg"));
    EXPECT_TRUE(SampleLineText(p, ',').contains("Weight: 1,235 kg"));
    EXPECT_EQ(TileStatusText(0, {1, 2, 1234.5f}), "1234 counts"); // halves to even
    EXPECT_EQ(TileStatusText(100, {0, 0, 0}), "0 counts");
    EXPECT_EQ(TileStatusText(3, {1, 2, 1234}), "No inflection point found!");
    EXPECT_EQ(TileStatusText(0, {0, 0, std::numeric_limits<float>::quiet_NaN()}), "0 counts");
}

// --- What the page writes where ---------------------------------------------

TEST(PrintPage, ProtocolOfSixteenPeaksUsesFourRowsAndBothHalvesOfTheTable) {
    TRecordingDevice device(A4At600);
    const TRecordingEngine& e = Record(device, MakeJob(16), false);
    const TPrintFrame f = PrintFrame(false, 4960, 7016);
    const QRect results = ResultsRect(false, f);
    const int rh = results.height() / 8, fh = int(std::lround(0.6 * rh));
    const int d = int(std::lround(0.05 * results.height()));

    // Each caption twice: above its tile (with a dot right of it) and in the table.
    for (int i = 0; i < 16; ++i) {
        const QString caption = PeakCaption(MakeJob(16).SampleFile.PeakList.Peak[i]);
        std::vector<QPoint> at;
        for (const TWrittenText& t : e.Texts)
            if (t.Text == caption)
                at.push_back(t.Baseline);
        ASSERT_EQ(at.size(), 2u) << caption.toStdString();
        QRect tile;
        TileRect(f, 16, i, tile);
        EXPECT_EQ(at[0].x(), tile.left());
        EXPECT_LT(at[0].y(), tile.top());
        const int column = i < 8 ? results.left() + int(std::lround(0.02 * results.width()))
                                 : results.left() + int(std::lround(0.52 * results.width()));
        EXPECT_EQ(at[1].x(), column + int(std::lround(1.5 * d)));
        EXPECT_GT(at[1].y(), results.top() + (i % 8) * rh);
        EXPECT_LE(at[1].y(), results.top() + (i % 8 + 1) * rh);
    }
    // 16 tile dots as high as the caption, 16 table dots of size d, in peak colours.
    ASSERT_EQ(e.Dots.size(), 32u);
    EXPECT_EQ(e.Dots[0].Fill, QColor(Qt::red));
    int tableDots = 0;
    for (const TDrawnDot& dot : e.Dots)
        tableDots += (dot.Rect.width() == d && results.contains(dot.Rect)) ? 1 : 0;
    EXPECT_EQ(tableDots, 16);
    EXPECT_EQ(e.Dots.back().Rect.left(), results.left() + int(std::lround(0.52 * results.width())));

    const TWrittenText* footer = Find(e, FooterText(MakeJob(16)));
    ASSERT_NE(footer, nullptr);
    EXPECT_TRUE(footer->Text.endsWith(", File: soil.vtb"));
    EXPECT_TRUE(footer->Text.contains("9:30:15") || footer->Text.contains("09:30:15"));
    EXPECT_LE(footer->Baseline.y(), f.Y0 + f.H);
    EXPECT_TRUE(footer->Bold);
    const TWrittenText* line = Find(e, SampleLineText(MakeJob(16).SampleFile.Sample.Parameter));
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->Baseline.x(), 496);
    EXPECT_LT(line->Baseline.y(), 1175);
    EXPECT_NE(Find(e, "SAMPLE DESCRIPTION"), nullptr);

    // Font heights are cell heights: Round(0.012 H) = 80 for footer and sample
    // line, Round(0.6 rh) in the table.
    const auto cell = [&](const TWrittenText* t) {
        return QFontMetrics(t->Font, &device).height();
    };
    EXPECT_NEAR(cell(footer), 80, 1);
    EXPECT_NEAR(cell(line), 80, 1);
    const QString last = PeakCaption(MakeJob(16).SampleFile.PeakList.Peak[15]);
    const TWrittenText* inTable = nullptr; // the caption's second writing
    for (const TWrittenText& t : e.Texts)
        inTable = t.Text == last ? &t : inTable;
    EXPECT_NEAR(cell(inTable), fh, 1);
}

TEST(PrintPage, ThreePeaksFillOnlyTheFirstOfTwoRows) {
    TRecordingDevice device(A4At600);
    const TRecordingEngine& e = Record(device, MakeJob(3), false);
    const TPrintFrame f = PrintFrame(false, 4960, 7016);
    QRect first, secondRow;
    TileRect(f, 3, 0, first);
    TileRect(f, 5, 4, secondRow); // where a fifth peak's tile would be with two rows
    EXPECT_EQ(first.height(), 1166);
    EXPECT_EQ(CountStartingWith(e, "Line-"), 6);
    for (const TWrittenText& t : e.Texts)
        EXPECT_FALSE(secondRow.adjusted(0, -200, 0, 200).contains(t.Baseline))
            << t.Text.toStdString();
    // Status lines of the evaluated tiles below the first row.
    EXPECT_EQ(CountStartingWith(e, "") - CountStartingWith(e, "Line-"), int(e.Texts.size()) - 6);
}

TEST(PrintPage, LabelHasNoDotsNoTilesAndBoldMeasuredActivities) {
    TPrintJob job = MakeJob(2);
    job.SampleFile.Results.Size = 2;
    job.SampleFile.Results.Result[0] = {12.3f, 8, 900};
    job.SampleFile.Results.Result[1] = {4.5f, -1, 0};
    TRecordingDevice device(A4At600);
    const TRecordingEngine& e = Record(device, job, true);
    EXPECT_TRUE(e.Dots.empty());
    EXPECT_EQ(CountStartingWith(e, "Line-"), 2); // only the table
    EXPECT_EQ(CountStartingWith(e, "No valid ROI"), 0);
    EXPECT_EQ(Find(e, "SAMPLE DESCRIPTION"), nullptr);
    const TWrittenText* measured = Find(e, "12.3 Bq/kg");
    const TWrittenText* limit = Find(e, "< 4.5 Bq/kg");
    ASSERT_NE(measured, nullptr);
    ASSERT_NE(limit, nullptr);
    EXPECT_TRUE(measured->Bold);
    EXPECT_FALSE(limit->Bold);
    EXPECT_TRUE(Find(e, PeakCaption(job.SampleFile.PeakList.Peak[0]))->Bold);
    EXPECT_FALSE(Find(e, PeakCaption(job.SampleFile.PeakList.Peak[1]))->Bold);
    // Captions without dots start at the first column.
    EXPECT_EQ(Find(e, PeakCaption(job.SampleFile.PeakList.Peak[0]))->Baseline.x(),
              int(std::lround(0.02 * 4960)));
}

struct TCommentCase {
    const char* Name;
    bool Label;
    int Lines;
};

void PrintTo(const TCommentCase& c, std::ostream* os) {
    *os << c.Name;
}

class PrintComment : public ::testing::TestWithParam<TCommentCase> {};

TEST_P(PrintComment, CutAnywhereAfterTheLastLine) {
    const QString comment(255, QLatin1Char('W'));
    TRecordingDevice device(A4At600);
    const TRecordingEngine& e = Record(device, MakeJob(1, comment), GetParam().Label);
    QString printed;
    int lines = 0;
    for (const TWrittenText& t : e.Texts)
        if (!t.Text.isEmpty() && t.Text.count(QLatin1Char('W')) == t.Text.size()) {
            printed += t.Text;
            ++lines;
        }
    EXPECT_EQ(lines, GetParam().Lines);
    EXPECT_LT(printed.size(), 255);
    EXPECT_GT(printed.size(), 10 * GetParam().Lines);
}

INSTANTIATE_TEST_SUITE_P(, PrintComment,
                         ::testing::Values(TCommentCase{"Protocol", false, 4},
                                           TCommentCase{"Label", true, 2}),
                         [](const auto& info) { return info.param.Name; });

TEST(PrintPage, EmptyCommentPrintsNoLine) {
    TRecordingDevice withText(A4At600), without(A4At600);
    const size_t a = Record(withText, MakeJob(1, "x"), false).Texts.size();
    const size_t b = Record(without, MakeJob(1, ""), false).Texts.size();
    EXPECT_EQ(a, b + 1);
}

TEST(PrintPage, SignificantTrapezoidWinsOverADoublet) {
    TPrintJob job = MakeJob(2);
    job.DoubletResults.Valid = true;
    job.DoubletResults.Result[1].Solved = true;
    job.DoubletResults.Result[1].Area = 999;
    job.DoubletResults.Result[1].Activity = 77;
    job.DoubletResults.Result[1].Error = 3;
    job.TrapezoidResults.Valid = true;
    TTrapezoidResult& t = job.TrapezoidResults.Result[1];
    t.Significant = true;
    t.Activity = 12.3f;
    t.Error = 5;
    t.Area = 1234.4f;
    t.Geometry.CenterChannel = 220;
    t.Geometry.Sigma = 4;
    TRecordingDevice device(A4At600);
    const TRecordingEngine& e = Record(device, job, false);
    EXPECT_NE(Find(e, "1234 counts"), nullptr);
    EXPECT_EQ(Find(e, "999 counts"), nullptr);
    const QString statement = FormatActivityStatement(job.Uncertainties, false, t.AsResult(), '.');
    EXPECT_NE(Find(e, statement), nullptr);
    EXPECT_EQ(PrintedResult(job, 1).Activity, 12.3f);
    job.TrapezoidResults.Result[1].Significant = false;
    EXPECT_EQ(PrintedResult(job, 1).Activity, 77.0f);
}

TEST(PrintPage, PeakThatCannotBeEvaluatedShowsTheCrossedFrame) {
    TPrintJob job = MakeJob(1);
    job.SampleFile.PeakList.Peak[0].Energy = 5000; // beyond the spectrum: stops before the ROI
    TRecordingDevice device(A4At600);
    const TRecordingEngine& e = Record(device, job, false);
    EXPECT_NE(Find(e, "No valid ROI"), nullptr);
    EXPECT_NE(Find(e, "0 counts"), nullptr);
}

TEST(PrintPage, SubtractedBackgroundPrintsTheReportsValues) {
    TAnalysisState state;
    state.MeasuredSample = MakeJob(3).SampleFile;
    state.BackgroundSample = FlatSample(2048, 40);
    SetMeasurement(state.BackgroundSample, 7200, 1);
    TUncertaintySettings settings;
    TPrintJob job = MakePrintJob(state, true, settings, "soil.vtb", '.');
    EXPECT_TRUE(job.BackgroundSubtracted);
    EXPECT_FLOAT_EQ(job.SampleFile.Sample.Spectrum.Channel[5], 100 - 20);

    TAnalysisState analysed = state;
    TAnalysisOptions options;
    options.BackgroundSubtraction = true;
    const TAnalysisRun run = AnalyseSample(analysed, options, settings);
    ASSERT_EQ(run.Peaks.size(), 3u);
    TRecordingDevice device(A4At600);
    const TRecordingEngine& e = Record(device, job, false);
    for (const TPeakReport& p : run.Peaks) {
        EXPECT_NE(Find(e, FormatActivityStatement(settings, false, p.Result, '.')), nullptr);
        EXPECT_NE(Find(e, TileStatusText(p.Code.value_or(0), p.Result)), nullptr);
    }

    // An unfitting background leaves the copy gross and the flag false.
    state.BackgroundSample.Sample.Spectrum.Size = 1024;
    job = MakePrintJob(state, true, settings, "soil.vtb", '.');
    EXPECT_FALSE(job.BackgroundSubtracted);
    EXPECT_FLOAT_EQ(job.SampleFile.Sample.Spectrum.Channel[5], 100);
}

TEST(PrintPage, InvalidSampleDrawsNothing) {
    TPrintJob job = MakeJob(2);
    job.SampleFile.Valid = 0;
    TRecordingDevice device(A4At600);
    QPainter painter(&device);
    EXPECT_FALSE(PrintProtocolPage(painter, QRect(QPoint(0, 0), A4At600), job, false));
    painter.end();
    EXPECT_TRUE(device.Record().Texts.empty());
    EXPECT_TRUE(PrintToPdfBytes(job, false, 600, QPageSize(QPageSize::A4)).isEmpty());
}

// --- Pixels -------------------------------------------------------------------

// The page drawn into an image at 150 dpi.
QImage DrawPage(const TPrintJob& job, bool label, QSize size = QSize(1240, 1754)) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    PrintProtocolPage(painter, QRect(QPoint(0, 0), size), job, label);
    return image;
}

bool AllWhite(const QImage& image, const QRect& r) {
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (image.pixel(x, y) != qRgb(255, 255, 255))
                return false;
    return true;
}

TEST(PrintPixels, ThreePeakTilesFrameTheFirstRowOnly) {
    const QImage image = DrawPage(MakeJob(3), false);
    const TPrintFrame f = PrintFrame(false, 1240, 1754);
    QRect tile;
    for (int i = 0; i < 3; ++i) {
        TileRect(f, 3, i, tile);
        EXPECT_EQ(image.pixel(tile.topLeft()), qRgb(0, 0, 0)) << i;
        EXPECT_EQ(image.pixel(tile.left() + tile.width() - 1, tile.top() + tile.height() - 1),
                  qRgb(0, 0, 0))
            << i;
    }
    TileRect(f, 3, 3, tile); // unchanged: take the fourth tile of a four-peak page
    TileRect(f, 8, 4, tile);
    EXPECT_TRUE(AllWhite(image, tile.adjusted(0, -30, 0, 30)));
}

TEST(PrintPixels, LabelBlocksKeepTheirOutlinesAtThePageEdge) {
    const QSize page(400, 200);
    const QImage image = DrawPage(MakeJob(2), true, page);
    const TPrintFrame f = PrintFrame(true, 400, 200);
    for (const QRect& r : {HeaderRect(true, f), ResultsRect(true, f)}) {
        const int right = r.left() + r.width() - 1, bottom = r.top() + r.height() - 1;
        EXPECT_EQ(image.pixel(right, r.top() + r.height() / 2), qRgb(0, 0, 0));
        EXPECT_EQ(image.pixel(r.left() + 1, bottom), qRgb(0, 0, 0));
        EXPECT_EQ(image.pixel(r.left(), r.top() + 1), qRgb(0, 0, 0));
    }
}

TEST(PrintPixels, SpectrumMarkersAreSevenPixelsWideAt600Dpi) {
    // Only the band of the spectrum, y 1000 to 2300 of the A4 page.
    TPrintJob job = MakeJob(1);
    QImage image(4960, 1300, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        PrintProtocolPage(painter, QRect(QPoint(0, -1000), A4At600), job, false);
    }
    // The red marker of peak 0 (100 keV) on a row just below the spectrum's top.
    const int y = 1175 - 1000 + 5;
    int red = 0;
    for (int x = 496; x < 496 + 4216; ++x)
        red += image.pixel(x, y) == qRgb(255, 0, 0) ? 1 : 0;
    EXPECT_EQ(red, 7);
}

TEST(PrintPixels, HostileJobsDrawNothingOutsideThePage) {
    TPrintJob job = MakeJob(0, QString(255, QLatin1Char('M')));
    for (int i = 0; i < 16; ++i) {
        AddPeak(job.SampleFile, QStringLiteral("ABCDEFGHIJKLMNOP"), 65535, 1e30f);
        job.SampleFile.Results.Result[i] = {std::numeric_limits<float>::quiet_NaN(),
                                            std::numeric_limits<float>::infinity(), 3e38f};
    }
    job.SampleFile.Results.Size = 16;
    job.SampleFile.Sample.Parameter.Weight = std::numeric_limits<float>::quiet_NaN();
    job.TrapezoidResults.Valid = true;
    job.TrapezoidResults.Result[3].Significant = true;
    job.TrapezoidResults.Result[3].Area = std::numeric_limits<float>::infinity();
    job.TrapezoidResults.Result[3].Geometry.Sigma = 1e300;
    for (const bool label : {false, true}) {
        // A label printer's page, 2 x 1 inches at 200 dpi, inside a larger image.
        for (const QSize page : {QSize(400, 200), QSize(40, 20), QSize(1, 1)}) {
            QImage image(page + QSize(200, 200), QImage::Format_RGB32);
            image.fill(qRgb(1, 2, 3));
            {
                QPainter painter(&image);
                PrintProtocolPage(painter, QRect(QPoint(100, 100), page), job, label);
            }
            const QRect inside(QPoint(100, 100), page);
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    if (!inside.contains(x, y)) {
                        ASSERT_EQ(image.pixel(x, y), qRgb(1, 2, 3))
                            << x << "," << y << " label " << label << " page " << page.width();
                    }
                }
            }
        }
    }
}

// --- PDF ----------------------------------------------------------------------

QString ExtractText(const QString& pdf) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

TEST(PrintPdf, EveryPrintedLineIsTextInThePdf) {
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    // The protocol on A4; the label on a label printer's sheet of 4 x 2 inches,
    // where its large type fits (on A4 the label's lines run off the sheet).
    QTemporaryDir dir;
    for (const bool label : {false, true}) {
        TPrintJob job = MakeJob(16, "Garden soil, dried and sieved");
        job.SampleFile.Results.Result[0] = {12.3f, 8, 900};
        const QPageSize sheet =
            label ? QPageSize(QSizeF(4, 2), QPageSize::Inch) : QPageSize(QPageSize::A4);
        const QSize page = label ? QSize(2400, 1200) : A4At600;
        const QString path = dir.filePath(label ? "label.pdf" : "protocol.pdf");
        QString error;
        ASSERT_TRUE(PrintToPdf(path, job, label, 600, sheet, error)) << error.toStdString();
        const QString text = ExtractText(path);
        TRecordingDevice device(page);
        const TRecordingEngine& e = Record(device, job, label, page);
        ASSERT_FALSE(e.Texts.empty());
        for (const TWrittenText& t : e.Texts)
            EXPECT_TRUE(text.contains(t.Text)) << label << " " << t.Text.toStdString();
    }
}

TEST(PrintPdf, UnwritableFileGivesAMessageAndKeepsTheEarlierFile) {
    QTemporaryDir dir;
    QString error;
    const QString missing = dir.filePath("no/such/folder/p.pdf");
    EXPECT_FALSE(PrintToPdf(missing, MakeJob(1), false, 600, QPageSize(QPageSize::A4), error));
    EXPECT_TRUE(error.contains(missing)) << error.toStdString();
    EXPECT_FALSE(QFile::exists(missing));

    // A folder in the file's place cannot be replaced; nothing is left beside it.
    const QString folder = dir.filePath("taken.pdf");
    ASSERT_TRUE(QDir().mkdir(folder));
    error.clear();
    EXPECT_FALSE(PrintToPdf(folder, MakeJob(1), false, 600, QPageSize(QPageSize::A4), error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 0);

    // A sample that is not valid leaves the earlier protocol as it was.
    const QString earlier = dir.filePath("earlier.pdf");
    {
        QFile f(earlier);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("earlier");
    }
    TPrintJob invalid = MakeJob(1);
    invalid.SampleFile.Valid = 0;
    EXPECT_FALSE(PrintToPdf(earlier, invalid, false, 600, QPageSize(QPageSize::A4), error));
    QFile f(earlier);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "earlier");
}

} // namespace

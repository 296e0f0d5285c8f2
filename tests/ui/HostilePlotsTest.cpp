// Every plot draws any record without reading outside its arrays.
#include "HostileRecords.h"
#include "analysis/RoiEvaluation.h"
#include "plots/Plots.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

namespace {

TEST(HostilePlotsTest, DrawAnythingInBounds) {
    THostileRecords records(4096);
    QImage image(331, 250, QImage::Format_RGB32);
    for (int round = 0; round < 100; ++round) {
        TSampleFile s = records.Next();
        QPainter painter(&image);
        const QRect rect(0, 0, image.width(), image.height());
        DrawSpectrumPlot(s, round % 17 - 1, round % 2, round % 3 == 0, rect, painter);

        TSampleFile copy = s;
        const TRoiEvaluation e = EvaluatePeak(copy, s.Sample, round % 17, false);
        DrawRoiPlot(e.Extract, e.Smoothed, e.SecondDerivative, rect, painter, e.SigmaFound,
                    e.ExpectedWidth, e.CentreOffset, s.PeakList.Peak[round % 16], e.Count);

        TTrapezoidResult t{};
        t.Geometry.CenterChannel = round * 300 - 2000;
        t.Geometry.Sigma = round % 5 == 0 ? 0.0 : round * 3.7;
        t.Geometry.LeftFirst = -100000;
        t.Geometry.RightLast = 100000;
        t.Geometry.NetArea = 1e30;
        DrawTrapezoidPlot(s.Sample.Spectrum, t, painter, rect);

        TDoubletResult d{};
        d.Solution.CenterA = round * 200 - 1000;
        d.Solution.CenterB = round * 190;
        d.Solution.SigmaA = round % 4 == 0 ? -1.0 : round * 2.0;
        d.Solution.SigmaB = round * 1.5;
        d.Solution.AreaA = 1e6;
        d.PairIndex = round % 2;
        DrawDoubletPlot(s.Sample.Spectrum, d, painter, rect);

        double energy = 0;
        int channel = 0;
        CursorPosition(s, 1028, round * 29, energy, channel);
        CursorReadoutText(s, round % 2 == 0, energy, channel);
    }
    SUCCEED();
}

} // namespace

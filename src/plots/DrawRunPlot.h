// Draws one plot box of an analysis run with the plot functions.
#pragma once

#include "analysis/AnalysisRun.h"

#include <QRect>

class QPainter;

void DrawRunPlot(const TAnalysisRun& run, const TPlot& plot, QPainter& painter, const QRect& rect);

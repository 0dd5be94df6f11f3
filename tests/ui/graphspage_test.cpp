#include "ui/graphspage.h"

#include "stats/ratehistory.h"

#include <gtest/gtest.h>

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QLegend>
#include <QLineSeries>
#include <QSplitter>
#include <QValueAxis>

namespace vantrel {
namespace {

QValueAxis* Axis(QAreaSeries* series, Qt::Alignment alignment)
{
    for (QAbstractAxis* axis : series->attachedAxes())
        if (axis->alignment() == alignment)
            return qobject_cast<QValueAxis*>(axis);
    return nullptr;
}

TEST(GraphsPage, ChartsAsAsked)
{
    GraphsPage page;
    EXPECT_EQ(page.splitter()->orientation(), Qt::Vertical);
    EXPECT_EQ(page.splitter()->handleWidth(), 8);
    struct Expected
    {
        QChartView* view;
        QAreaSeries* series;
        const char* chart;
        const char* name;
        QColor color;
        const char* hint;
    };
    const Expected charts[] = {
        {page.downChart(), page.downSeries(), "Chart1", "SerDown", QColor(0, 128, 255),
         "Download Band Usage Graph"},
        {page.upChart(), page.upSeries(), "Chart2", "SerUp", QColor(0, 255, 0),
         "Upload Band Usage Graph"},
    };
    for (const Expected& e : charts) {
        SCOPED_TRACE(e.chart);
        EXPECT_EQ(e.view->objectName(), QString::fromUtf8(e.chart));
        EXPECT_EQ(e.series->objectName(), QString::fromUtf8(e.name));
        EXPECT_EQ(e.series->color(), e.color);
        EXPECT_EQ(e.view->toolTip(), QString::fromUtf8(e.hint));
        QChart* chart = e.view->chart();
        EXPECT_TRUE(chart->title().isEmpty());
        EXPECT_FALSE(chart->legend()->isVisible());
        EXPECT_EQ(chart->backgroundBrush().color(), QColor(Qt::black));
        ASSERT_NE(Axis(e.series, Qt::AlignBottom), nullptr);
        EXPECT_FALSE(Axis(e.series, Qt::AlignBottom)->isVisible());
        QValueAxis* left = Axis(e.series, Qt::AlignLeft);
        ASSERT_NE(left, nullptr);
        EXPECT_EQ(left->titleText(), QStringLiteral("KB/Sec"));
        EXPECT_EQ(left->labelsBrush().color(), QColor(Qt::white));
        EXPECT_EQ(left->linePen().color(), QColor(Qt::white));
        EXPECT_TRUE(e.series->upperSeries()->points().isEmpty());
    }
}

// The graphs show the history oldest first; an idle direction shows an empty graph, and a
// graph empties again once its last sample has left the history.
TEST(GraphsPage, ShowsTheHistoryOldestFirstAndEmptiesIdleGraphs)
{
    GraphsPage page;
    RateHistory history;
    history.Push(1024.0 * 40, 0);
    history.Push(1024.0 * 10, 0);
    page.Show(history);

    QList<QPointF> down = page.downSeries()->upperSeries()->points();
    ASSERT_EQ(down.size(), RateHistory::Size);
    for (int i = 0; i < RateHistory::Size; ++i)
        EXPECT_DOUBLE_EQ(down[i].x(), i);
    EXPECT_DOUBLE_EQ(down[RateHistory::Size - 2].y(), 40.0);
    EXPECT_DOUBLE_EQ(down[RateHistory::Size - 1].y(), 10.0);
    EXPECT_DOUBLE_EQ(down[0].y(), 0.0);
    EXPECT_TRUE(page.upSeries()->upperSeries()->points().isEmpty());
    // The scale follows the data.
    EXPECT_GE(Axis(page.downSeries(), Qt::AlignLeft)->max(), 40.0);
    EXPECT_LT(Axis(page.downSeries(), Qt::AlignLeft)->max(), 100.0);

    for (int tick = 0; tick < RateHistory::Size - 2; ++tick)
        history.Push(0, 2048.0);
    page.Show(history);
    down = page.downSeries()->upperSeries()->points();
    ASSERT_EQ(down.size(), RateHistory::Size);
    EXPECT_DOUBLE_EQ(down[0].y(), 40.0);
    EXPECT_DOUBLE_EQ(down[1].y(), 10.0);
    EXPECT_EQ(page.upSeries()->upperSeries()->points().size(), RateHistory::Size);

    history.Push(0, 0);
    history.Push(0, 0);
    page.Show(history);
    EXPECT_TRUE(page.downSeries()->upperSeries()->points().isEmpty());
    EXPECT_EQ(page.upSeries()->upperSeries()->points().size(), RateHistory::Size);
}

} // namespace
} // namespace vantrel

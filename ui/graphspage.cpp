#include "ui/graphspage.h"

#include "stats/ratehistory.h"
#include "widgets/colours.h"
#include "widgets/gradientbar.h"
#include "widgets/pictures.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QSplitter>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace vantrel {

namespace {

using colours::Blue;
using colours::Green;
using colours::LightCyan;
using colours::Lime;
const QColor DownColor(0, 128, 255);
const QColor UpColor(0, 255, 0);

// The smallest of 1, 2 or 5 times a power of ten that is at least `raw`.
double RoundStep(double raw)
{
    if (!(raw > 0))
        return 1.0;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double factor : {1.0, 2.0, 5.0})
        if (factor * power >= raw)
            return factor * power;
    return 10.0 * power;
}

struct Graph
{
    QWidget* panel;
    QChartView* view;
    QAreaSeries* series;
};

// A black chart with one area series over its upper line, filled down to zero: no title,
// no legend, no bottom axis, and a left axis in kilobytes per second drawn in white.
Graph MakeGraph(const QString& caption, const QColor& from, const QColor& to,
                const QString& chartName, const QString& seriesName, const QColor& color,
                const QString& hint, QWidget* parent)
{
    auto* panel = new QWidget(parent);
    auto* bar = new GradientBar(caption, from, to, panel);
    bar->setIcon(PictureIcon(Picture::Graphs));

    auto* series = new QAreaSeries;
    // The area series does not own its line; as its child the line goes with it.
    series->setUpperSeries(new QLineSeries(series));
    series->setObjectName(seriesName);
    series->setColor(color);
    series->setBorderColor(color);
    series->setPointsVisible(false);
    series->setPointLabelsVisible(false);

    auto* chart = new QChart;
    chart->addSeries(series);
    chart->setBackgroundBrush(Qt::black);
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(2, 4, 8, 2));
    chart->legend()->hide();
    auto* x = new QValueAxis(chart);
    x->setRange(0, RateHistory::Size - 1);
    x->setVisible(false);
    auto* y = new QValueAxis(chart);
    y->setTitleText(GraphsPage::tr("KB/Sec"));
    y->setTitleBrush(Qt::white);
    y->setLabelsBrush(Qt::white);
    y->setLinePen(QPen(Qt::white));
    y->setGridLinePen(QPen(QColor(0xff, 0xff, 0xff, 0x60)));
    y->setMinorGridLineVisible(false);
    y->setRange(0, 1);
    y->setTickCount(2);
    y->setLabelFormat(QStringLiteral("%g"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);

    auto* view = new QChartView(chart, panel);
    view->setObjectName(chartName);
    view->setToolTip(hint);
    view->setRenderHint(QPainter::Antialiasing);
    view->setBackgroundBrush(Qt::black);
    view->setMinimumHeight(60);

    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(view, 1);
    return {panel, view, series};
}

} // namespace

GraphsPage::GraphsPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("GraphsPage"));
    m_splitter = new QSplitter(Qt::Vertical, this);
    m_splitter->setObjectName(QStringLiteral("GraphSplitter"));
    m_splitter->setHandleWidth(8);
    m_splitter->setChildrenCollapsible(false);
    const Graph down = MakeGraph(tr("DOWNLOAD BAND USAGE"), Blue, LightCyan,
                                 QStringLiteral("Chart1"), QStringLiteral("SerDown"), DownColor,
                                 tr("Download Band Usage Graph"), m_splitter);
    const Graph up =
        MakeGraph(tr("UPLOAD BAND USAGE"), Green, Lime, QStringLiteral("Chart2"),
                  QStringLiteral("SerUp"), UpColor, tr("Upload Band Usage Graph"), m_splitter);
    m_splitter->addWidget(down.panel);
    m_splitter->addWidget(up.panel);
    m_downChart = down.view;
    m_down = down.series;
    m_upChart = up.view;
    m_up = up.series;

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_splitter);
}

void GraphsPage::Show(const RateHistory& history)
{
    Plot(m_down, history.DownPoints());
    Plot(m_up, history.UpPoints());
}

void GraphsPage::Plot(QAreaSeries* series, const std::vector<double>& points)
{
    QList<QPointF> line;
    line.reserve(qsizetype(points.size()));
    double top = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        line.append(QPointF(double(i), points[i]));
        top = std::max(top, points[i]);
    }
    series->upperSeries()->replace(line);
    // The scale follows the data, in at most three round steps so that the labels never crowd
    // a short chart; an empty or idle graph keeps a unit scale.
    const auto axes = series->attachedAxes();
    for (QAbstractAxis* axis : axes) {
        if (axis->alignment() != Qt::AlignLeft)
            continue;
        auto* y = static_cast<QValueAxis*>(axis);
        const double step = RoundStep(top / 3);
        const int steps = top > 0 ? std::max(1, int(std::ceil(top / step - 1e-9))) : 1;
        y->setRange(0, top > 0 ? steps * step : 1.0);
        y->setTickCount(steps + 1);
    }
}

} // namespace vantrel

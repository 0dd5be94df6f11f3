#pragma once

#include <QWidget>

#include <vector>

class QAreaSeries;
class QChartView;
class QSplitter;
class QValueAxis;

namespace vantrel {

class RateHistory;

// "Graphs": the download and upload band-usage graphs, one above the other.
class GraphsPage : public QWidget
{
    Q_OBJECT
public:
    explicit GraphsPage(QWidget* parent = nullptr);

    // Redraws both graphs from the history, oldest sample first.
    void Show(const RateHistory& history);

    // "SerDown" in "Chart1" and "SerUp" in "Chart2"; their upper line holds the points.
    QAreaSeries* downSeries() const { return m_down; }
    QAreaSeries* upSeries() const { return m_up; }
    QChartView* downChart() const { return m_downChart; }
    QChartView* upChart() const { return m_upChart; }
    QSplitter* splitter() const { return m_splitter; }

private:
    void Plot(QAreaSeries* series, const std::vector<double>& points);

    QSplitter* m_splitter = nullptr;
    QChartView* m_downChart = nullptr;
    QChartView* m_upChart = nullptr;
    QAreaSeries* m_down = nullptr;
    QAreaSeries* m_up = nullptr;
};

} // namespace vantrel

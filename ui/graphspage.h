#pragma once

#include <QWidget>

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
};

} // namespace vantrel

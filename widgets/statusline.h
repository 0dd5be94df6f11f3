#pragma once

#include <QLabel>

namespace vantrel {

// A window's status line ("Status: ..."): work in progress in black, failures in red,
// completion in green.
class StatusLine : public QLabel
{
    Q_OBJECT
public:
    enum class Kind
    {
        Work,
        Failure,
        Done
    };

    explicit StatusLine(QWidget* parent = nullptr);

    void setStatus(const QString& text, Kind kind);
    Kind kind() const { return m_kind; }
    static QColor ColorOf(Kind kind);

private:
    Kind m_kind = Kind::Work;
};

} // namespace vantrel

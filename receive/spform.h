#pragma once

#include <QDialog>

#include <cstdint>
#include <functional>

class QLineEdit;
class QPushButton;

namespace vantrel {

class LampRadioButton;

// "Band Usage Limitations": the small dialog that sets the band limit of one running
// transfer, receive or send alike. It exists for the whole run and follows the last window
// that opened it; when any transfer window closes it lets go of its transfer and closes.
class TSpeedForm : public QDialog
{
    Q_OBJECT
public:
    // The band limit it adjusts (Kb/sec, 0 = no limit).
    struct Target
    {
        std::function<std::uint32_t()> get;
        std::function<void(std::uint32_t)> set;
        explicit operator bool() const { return get && set; }
    };

    explicit TSpeedForm(QWidget* parent = nullptr);

    // Closes the dialog if it is visible, points it at `target` and shows it without blocking.
    void Open(Target target);
    // Forgets the target and closes the dialog if it is visible.
    void Detach();
    bool hasTarget() const { return bool(m_target); }

private:
    void OnShow();
    void OnOk();

    Target m_target;
    LampRadioButton* m_noLimits = nullptr;
    LampRadioButton* m_limitTo = nullptr;
    QLineEdit* m_limit = nullptr;
    QPushButton* m_ok = nullptr;
};

} // namespace vantrel

#pragma once

#include "core/programcore.h"

#include <QMainWindow>
#include <QString>

#include <functional>
#include <memory>

class QLabel;

namespace vantrel {

// The main window: owns the running copy's engine state and initialises it when it is
// built. It shows a drop target and a status bar with the version; a dropped file is handed
// off to the running copy.
class TMainForm : public QMainWindow
{
    Q_OBJECT
public:
    struct Options
    {
        ProgramCore::Options core;
        // Shows a start-up failure (caption, text) and returns once it was seen; default: a
        // critical message box with an OK button.
        std::function<void(const QString&, const QString&)> showError;
    };

    // "Vantrel v %.2f" of ProgramVersion.
    static QString VersionText();

    TMainForm(std::unique_ptr<ProgramCore> core, Options options, QWidget* parent = nullptr);
    ~TMainForm() override;

    // False when the TLS library or the compression component failed: the failure was shown
    // and the program is to end.
    bool initialised() const { return m_initResult == ProgramCore::InitResult::Ok; }
    ProgramCore::InitResult initResult() const { return m_initResult; }
    ProgramCore& core() { return *m_core; }

    // The closing steps (settings, policy, resume list, rules saved; temporary archives
    // deleted), once. Also run when the program is stopped by a signal.
    void SaveForExit();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void FirstShow();
    void RestoreApplication();
    // A handed-off path: named in the status bar.
    void OpenSendWindow(const QString& path);

    std::unique_ptr<ProgramCore> m_core;
    ProgramCore::InitResult m_initResult = ProgramCore::InitResult::Ok;
    bool m_shown = false;
    bool m_saved = false;
    QLabel* m_versionPanel = nullptr;
};

} // namespace vantrel

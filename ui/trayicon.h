#pragma once

#include <QObject>
#include <QString>

class QAction;
class QMenu;
class QSystemTrayIcon;
class QTimer;

namespace vantrel {

// The program's icon in the notification area: always shown where the desktop has one, with
// the hint about the active transfers, the eight-frame animation that announces a new
// request, and the menu with "Close Vantrel". A double-click (or a click, where the desktop
// reports only that) asks to restore the program.
class TrayIcon : public QObject
{
    Q_OBJECT
public:
    static constexpr int AnimationPeriodMs = 150;

    explicit TrayIcon(const QString& hint, QObject* parent = nullptr);
    ~TrayIcon() override;

    // Whether the desktop offers a notification area at all.
    static bool DesktopHasTray();

    QString hint() const;
    void SetHint(const QString& hint);
    // On: the frames advance every 150 ms. Off: the animation stops on frame 0.
    void SetAnimating(bool on);
    bool animating() const;
    int frame() const { return m_frame; }

    QSystemTrayIcon* icon() const { return m_icon; }
    QMenu* menu() const { return m_menu; }
    QAction* closeAction() const { return m_close; }

signals:
    void closeRequested();
    void restoreRequested();

private:
    void NextFrame();
    void ShowFrame(int frame);

    QSystemTrayIcon* m_icon = nullptr;
    QMenu* m_menu = nullptr;
    QAction* m_close = nullptr;
    QTimer* m_animation = nullptr;
    int m_frame = 0;
};

} // namespace vantrel

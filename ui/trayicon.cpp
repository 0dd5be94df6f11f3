#include "ui/trayicon.h"

#include "widgets/pictures.h"

#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

namespace vantrel {

TrayIcon::TrayIcon(const QString& hint, QObject* parent) : QObject(parent)
{
    m_icon = new QSystemTrayIcon(this);
    m_icon->setObjectName(QStringLiteral("TrayIcon"));
    // The menu has no parent widget; it goes with this object.
    m_menu = new QMenu;
    m_menu->setObjectName(QStringLiteral("TrayMenu"));
    m_close = m_menu->addAction(PictureIcon(Picture::Close), tr("Close Vantrel"), this,
                                &TrayIcon::closeRequested);
    m_menu->setDefaultAction(m_close);
    m_icon->setContextMenu(m_menu);
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Trigger)
                    emit restoreRequested();
            });

    m_animation = new QTimer(this);
    m_animation->setObjectName(QStringLiteral("TrayAnimationTimer"));
    m_animation->setInterval(AnimationPeriodMs);
    connect(m_animation, &QTimer::timeout, this, &TrayIcon::NextFrame);

    ShowFrame(0);
    SetHint(hint);
    if (DesktopHasTray())
        m_icon->show();
}

TrayIcon::~TrayIcon()
{
    m_icon->setContextMenu(nullptr);
    delete m_menu;
}

bool TrayIcon::DesktopHasTray()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

QString TrayIcon::hint() const
{
    return m_icon->toolTip();
}

void TrayIcon::SetHint(const QString& hint)
{
    m_icon->setToolTip(hint);
}

void TrayIcon::SetAnimating(bool on)
{
    if (on) {
        if (!m_animation->isActive())
            m_animation->start();
        return;
    }
    m_animation->stop();
    ShowFrame(0);
}

bool TrayIcon::animating() const
{
    return m_animation->isActive();
}

void TrayIcon::NextFrame()
{
    ShowFrame((m_frame + 1) % TrayFrameCount);
}

void TrayIcon::ShowFrame(int frame)
{
    m_frame = frame;
    m_icon->setIcon(TrayFrame(frame));
}

} // namespace vantrel

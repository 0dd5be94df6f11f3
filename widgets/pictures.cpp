#include "widgets/pictures.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyle>

#include <array>
#include <cmath>

namespace vantrel {

namespace {

QIcon Standard(QStyle::StandardPixmap pixmap)
{
    return QApplication::style()->standardIcon(pixmap);
}

// A round badge of one colour with a white glyph, for pictures no theme is sure to have.
QIcon Badge(const QColor& color, const QString& glyph)
{
    QIcon icon;
    for (const int side : {16, 32, 64}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        QRadialGradient gradient(QPointF(side * 0.35, side * 0.35), side * 0.7);
        gradient.setColorAt(0, color.lighter(160));
        gradient.setColorAt(1, color);
        painter.setPen(QPen(color.darker(160), std::max(1, side / 16)));
        painter.setBrush(gradient);
        painter.drawEllipse(QRectF(0.5, 0.5, side - 1.0, side - 1.0));
        if (!glyph.isEmpty()) {
            QFont font = painter.font();
            font.setBold(true);
            font.setPixelSize(int(side * 0.62));
            painter.setFont(font);
            painter.setPen(Qt::white);
            painter.drawText(QRect(0, 0, side, side), Qt::AlignCenter, glyph);
        }
        icon.addPixmap(pixmap);
    }
    return icon;
}

QIcon Themed(const char* name, const QIcon& fallback)
{
    return QIcon::fromTheme(QString::fromLatin1(name), fallback);
}

} // namespace

QIcon PictureIcon(Picture picture)
{
    switch (picture) {
    case Picture::Program:
        return TrayFrame(0);
    case Picture::Folder:
        return Standard(QStyle::SP_DirIcon);
    case Picture::File:
        return Standard(QStyle::SP_FileIcon);
    case Picture::Downloads:
        return Badge(QColor(0, 0x40, 0xc0), QStringLiteral("\u2193"));
    case Picture::Uploads:
        return Badge(QColor(0, 0x90, 0), QStringLiteral("\u2191"));
    case Picture::Options:
        return Badge(QColor(0x60, 0x60, 0x60), QStringLiteral("\u2699"));
    case Picture::Tunnels:
        return Badge(QColor(0xe0, 0x80, 0), QStringLiteral("\u21c4"));
    case Picture::Graphs:
        return Badge(QColor(0, 0x80, 0xff), QStringLiteral("\u2197"));
    case Picture::Credits:
        return Badge(QColor(0x80, 0, 0x80), QStringLiteral("i"));
    case Picture::Addresses:
        return Badge(QColor(0xff, 0xa0, 0x40), QStringLiteral("@"));
    case Picture::Accept:
    case Picture::Done:
    case Picture::Completed:
        return Standard(QStyle::SP_DialogApplyButton);
    case Picture::Abort:
    case Picture::Aborted:
        return Standard(QStyle::SP_DialogCancelButton);
    case Picture::Hide:
        return Badge(QColor(0x50, 0x50, 0x80), QStringLiteral("\u2013"));
    case Picture::Show:
        return Badge(QColor(0x50, 0x50, 0x80), QStringLiteral("+"));
    case Picture::Resume:
        return Standard(QStyle::SP_MediaPlay);
    case Picture::Overwrite:
        return Standard(QStyle::SP_BrowserReload);
    case Picture::SaveForLater:
        return Standard(QStyle::SP_DialogSaveButton);
    case Picture::DeleteData:
        return Standard(QStyle::SP_TrashIcon);
    case Picture::OpenFile:
        return Standard(QStyle::SP_FileIcon);
    case Picture::OpenFolder:
        return Standard(QStyle::SP_DirOpenIcon);
    case Picture::Send:
        return Badge(QColor(0, 0x90, 0), QStringLiteral("\u2192"));
    case Picture::SendAgain:
        return Standard(QStyle::SP_BrowserReload);
    case Picture::BandLimit:
        return Badge(QColor(0xc0, 0x60, 0), QStringLiteral("\u25d4")); // a dial, in the usual fonts
    case Picture::Close:
        return Standard(QStyle::SP_DialogCloseButton);
    case Picture::Minimize:
        return Standard(QStyle::SP_TitleBarMinButton);
    case Picture::Help:
        return Themed("help-contents", Standard(QStyle::SP_DialogHelpButton));
    case Picture::Policies:
        return Badge(QColor(0x80, 0, 0), QStringLiteral("\u2713"));
    case Picture::AutoReceive:
        return Badge(QColor(0, 0x40, 0xc0), QStringLiteral("A"));
    case Picture::DynDns:
        return Badge(QColor(0, 0x80, 0x80), QStringLiteral("D"));
    case Picture::Resumes:
        return Badge(QColor(0x80, 0x80, 0), QStringLiteral("R"));
    case Picture::Question:
        return Standard(QStyle::SP_MessageBoxQuestion);
    case Picture::Warning:
    case Picture::Refused:
        return Standard(QStyle::SP_MessageBoxWarning);
    case Picture::Error:
        return Standard(QStyle::SP_MessageBoxCritical);
    case Picture::Information:
        return Standard(QStyle::SP_MessageBoxInformation);
    }
    return {};
}

QIcon StateSlotIcon(int slot)
{
    switch (slot) {
    case 0:
        return Badge(QColor(0x90, 0x90, 0x90), QStringLiteral("\u2026"));
    case 1:
        return Badge(QColor(0, 0x60, 0xe0), QStringLiteral("\u21c5"));
    case 2:
        return Badge(QColor(0, 0x90, 0), QStringLiteral("\u2713"));
    case 3:
        return Badge(QColor(0xc0, 0, 0), QStringLiteral("\u2715"));
    case 11:
        return Badge(QColor(0xc0, 0x80, 0), QStringLiteral("Z"));
    case 12:
        return Badge(QColor(0, 0x90, 0), QStringLiteral("\u2713"));
    case 13:
        return Badge(QColor(0x40, 0x40, 0x40), QStringLiteral("\u2298"));
    default:
        return {};
    }
}

QIcon TrayFrame(int index)
{
    static std::array<QIcon, TrayFrameCount> frames;
    index = ((index % TrayFrameCount) + TrayFrameCount) % TrayFrameCount;
    if (!frames[std::size_t(index)].isNull())
        return frames[std::size_t(index)];
    QIcon icon;
    for (const int side : {16, 22, 32, 48, 64}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF disc(0.5, 0.5, side - 1.0, side - 1.0);
        QRadialGradient gradient(disc.center() - QPointF(side / 6.0, side / 6.0), side * 0.7);
        gradient.setColorAt(0, QColor(0x60, 0xa0, 0xff));
        gradient.setColorAt(1, QColor(0, 0x30, 0xa0));
        painter.setPen(Qt::NoPen);
        painter.setBrush(gradient);
        painter.drawEllipse(disc);
        // Two arrows, one each way, turning by an eighth of a turn per frame.
        painter.translate(disc.center());
        painter.rotate(45.0 * index);
        painter.setPen(QPen(Qt::white, std::max(1.5, side / 10.0), Qt::SolidLine, Qt::RoundCap));
        const double r = side * 0.28;
        painter.drawLine(QPointF(-r, -r / 2), QPointF(r, -r / 2));
        painter.drawLine(QPointF(r, -r / 2), QPointF(r / 2, -r));
        painter.drawLine(QPointF(r, r / 2), QPointF(-r, r / 2));
        painter.drawLine(QPointF(-r, r / 2), QPointF(-r / 2, r));
        icon.addPixmap(pixmap);
    }
    frames[std::size_t(index)] = icon;
    return icon;
}

} // namespace vantrel

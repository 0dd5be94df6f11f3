#pragma once

#include <QCoreApplication>
#include <QString>

#include <cstdint>

namespace vantrel {

// Everything the receive window shows of its transfer. The window renders it and calls the
// transfer's operations; it holds no state of its own.
struct ReceiveView
{
    enum class StatusKind
    {
        Work,
        Failure,
        Done
    }; // black, red, green
    // The area between the request fields and the buttons: the request's description and
    // abort reason (None), or one of the four panels.
    enum class Panel
    {
        None,
        ResumeQuestion,
        Progress,
        Interruption,
        Completion
    };
    enum class Focus
    {
        Accept,
        Resume,
        SaveForLaterResume,
        Done
    };
    // Decompressing runs the progress bar's colours from dark red to red.
    enum class ProgressStyle
    {
        Normal,
        Decompressing
    };

    QString caption; // window title
    QString host;
    QString nickName;
    QString nameLabel; // "File" or "Directory"
    QString name;      // the offered name, after the save choice the full path
    QString dirCount;
    QString fileCount;
    QString totalSize;
    QString description;
    QString abortReason = QStringLiteral("Sorry but I'm busy now..."); // initial text

    QString statusText; // as in the row's Status cell
    StatusKind statusKind = StatusKind::Work;

    Panel panel = Panel::None;
    Focus focus = Focus::Accept;
    bool acceptEnabled = true;
    bool abortEnabled = true;

    // Progress panel.
    QString operation = QCoreApplication::translate(
        "ReceiveView", "Awaiting for other side to complete auto-compression");
    QString dataTransferred = QCoreApplication::translate("ReceiveView", "N/A");
    QString speed = QCoreApplication::translate("ReceiveView", "N/A");
    QString timeLeft = QCoreApplication::translate("ReceiveView", "N/A");
    QString cipher = QCoreApplication::translate("ReceiveView", "N/A");
    QString compression = QCoreApplication::translate("ReceiveView", "N/A");
    QString compressionHint =
        QCoreApplication::translate("ReceiveView", "Auto-Compression is Disabled");
    std::uint32_t progressMaximum = 100;
    std::uint32_t progressPosition = 0;
    ProgressStyle progressStyle = ProgressStyle::Normal;

    // Interruption panel: its first text, and whether the "aborted" pair of pictures shows.
    QString interruptionText =
        QCoreApplication::translate("ReceiveView", "A connection error has occurred!");
    bool abortedPictures = false;

    // Completion panel.
    QString openButtonText =
        QCoreApplication::translate("ReceiveView", "Open File"); // or "Open Directory"
    bool bannerBlinking = false;
};

} // namespace vantrel

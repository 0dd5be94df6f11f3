#pragma once

#include <QCoreApplication>
#include <QString>

#include <cstdint>

namespace vantrel {

// Everything a send window shows, as plain values. The window renders it and calls the
// transfer's operations; it holds no transfer logic of its own.
struct SendView
{
    enum class Colour
    {
        Work,
        Failure,
        Done
    }; // black, red, green
    enum class Panel
    {
        Request,
        Progress,
        Completed,
        Error,
        Refused,
        Trust, // the receiver's certificate did not pass: whom trusting it would mean
    };

    QString caption = QCoreApplication::translate("SendView", "New Send Request");

    // Top panel.
    // "File to Send" / "Directory to Send"
    QString pathLabel = QCoreApplication::translate("SendView", "Directory");
    QString path;      // the file or folder to send
    QString dirCount;  // folders in it
    QString fileCount; // files in it
    QString totalSize; // its total size

    Panel panel = Panel::Request;

    // Request panel.
    bool compressionOn = true;            // a file travels compressed
    bool compressionToggleEnabled = true; // and that may still change
    QString compressionCaption =
        QCoreApplication::translate("SendView", "Auto-Compression Enabled");

    // Progress panel.
    QString operation = QCoreApplication::translate("SendView", "Compression in progress...");
    QString dataText = QCoreApplication::translate("SendView", "N/A");
    QString speed = QCoreApplication::translate("SendView", "N/A");
    QString timeLeft = QCoreApplication::translate("SendView", "N/A");
    QString cipher = QCoreApplication::translate("SendView", "N/A");
    QString compressionInfo = QCoreApplication::translate("SendView", "N/A");
    QString compressionHint =
        QCoreApplication::translate("SendView", "Auto-Compression is Disabled");
    std::uint32_t progressMax = 100;
    std::uint32_t progressPosition = 0;
    bool progressSending = false; // green-to-lime bar while sending, maroon-to-red before

    // Refusal panel.
    QString refusalLabel;   // "Comment from " + nickname
    QString refusalComment; // the receiver's comment

    // Trust panel: the receiver's authority (or, when it presented none, its own certificate).
    bool trustOffered = false; // an authority was presented, so it can be trusted
    QString trustName;         // its subject
    QString trustFingerprint;  // readable form, two lines
    QString trustText;         // what to compare, or why nothing can be trusted here

    // Bottom.
    bool sendEnabled = true;
    bool abortEnabled = true;
    QString statusText = QCoreApplication::translate("SendView", "Status: Idle");
    Colour statusColour = Colour::Work;
};

} // namespace vantrel

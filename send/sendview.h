#pragma once

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
        Refused
    };

    QString caption = QStringLiteral("New Send Request");

    // Top panel.
    QString pathLabel = QStringLiteral("Directory"); // "File to Send" / "Directory to Send"
    QString path;                                    // FEdit
    QString dirCount;                                // LEdit1
    QString fileCount;                               // LEdit2
    QString totalSize;                               // LEdit3

    Panel panel = Panel::Request;

    // Request panel.
    bool compressionOn = true;            // DoZip checked
    bool compressionToggleEnabled = true; // DoZip enabled
    QString compressionCaption = QStringLiteral("Auto-Compression Enabled");

    // Progress panel.
    QString operation = QStringLiteral("Compression in progress...");
    QString dataText = QStringLiteral("N/A");
    QString speed = QStringLiteral("N/A");
    QString timeLeft = QStringLiteral("N/A");
    QString cipher = QStringLiteral("N/A");
    QString compressionInfo = QStringLiteral("N/A");
    QString compressionHint = QStringLiteral("Auto-Compression is Disabled");
    std::uint32_t progressMax = 100;
    std::uint32_t progressPosition = 0;
    bool progressSending = false; // green-to-lime bar while sending, maroon-to-red before

    // Refusal panel.
    QString refusalLabel;   // "Comment from " + nickname
    QString refusalComment; // the receiver's comment

    // Bottom.
    bool sendEnabled = true;
    bool abortEnabled = true;
    QString statusText = QStringLiteral("Status: Idle");
    Colour statusColour = Colour::Work;
};

} // namespace vantrel

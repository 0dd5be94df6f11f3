#pragma once

#include <QIcon>

namespace vantrel {

// The program's pictures: tabs, buttons, banners, header bars, the transfer lists' state
// icons and the tray animation. Drawn by the program or taken from the desktop's icon theme,
// so that nothing depends on image files being installed.
enum class Picture
{
    Program,
    Folder,
    File,
    // Tabs and header bars.
    Downloads,
    Uploads,
    Options,
    Tunnels,
    Graphs,
    Credits,
    Addresses,
    // Buttons and panels.
    Accept,
    Abort,
    Hide,
    Show,
    Resume,
    Overwrite,
    SaveForLater,
    DeleteData,
    OpenFile,
    OpenFolder,
    Done,
    Send,
    SendAgain,
    BandLimit,
    Close,
    Minimize,
    Help,
    Policies,
    AutoReceive,
    DynDns,
    Resumes,
    Question,
    Warning,
    Error,
    Information,
    Completed,
    Refused,
    Aborted,
};

QIcon PictureIcon(Picture picture);

// The icon of a transfer-list state slot (0 waiting, 1 transferring, 2 send completed,
// 3 stopped, 11 compressing, 12 receive completed, 13 dropped); a null icon for other slots.
QIcon StateSlotIcon(int slot);

// The tray icon's animation frames, 0 to 7; frame 0 is the resting icon.
constexpr int TrayFrameCount = 8;
QIcon TrayFrame(int index);

} // namespace vantrel

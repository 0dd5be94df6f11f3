#pragma once

#include "core/mainunit.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/tempprofile.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace vantrel::test {

// A main window on a throwaway profile, listening on a free port, with scripted dialogs and a
// recorded quit instead of the application's.
struct MainWindowParts
{
    TempFolder home;
    ScriptedDialogs dialogs;
    int quits = 0;
    std::unique_ptr<TMainForm> form;
    // Runs before the window is made: stored values and start-up options of the copy.
    std::function<void(SettingsStore&, ProgramCore::Options&)> configure;

    // `install`: the profile is set up first (certificates, folders), as for a real first start.
    bool Make(bool useTray, bool install = false, const QByteArray& nickName = {});
};

} // namespace vantrel::test

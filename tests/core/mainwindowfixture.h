#pragma once

#include "core/mainunit.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/tempprofile.h"

#include <gtest/gtest.h>

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

    // `install`: the profile is set up first (certificates, folders), as for a real first start.
    bool Make(bool useTray, bool install = false, const QByteArray& nickName = {});
};

} // namespace vantrel::test

#pragma once

#include "core/autostartentry.h"
#include "core/base/nickname.h"
#include "net/wirerecords.h"

#include <QString>

namespace vantrel {

class SettingsStore;

// The general settings as the Options page holds them (its live copies), with Load and
// Save over the store. Texts are kept as typed; the numeric views apply the defaults.
struct Settings
{
    // Field texts, at most 31 characters each.
    QString nickName = AnonymousNickName;
    QString serverPortText = QString::number(DefaultServerPort);
    bool autoUpdateCheck = true;
    bool startWithDesktop = false;
    QString programFolder; // SProgramPath, written only by the installation

    // The field's text as a port number: the default port when it is not a decimal number.
    int ServerPort() const;
    // The nickname to send: "Anonymous" when the field is empty.
    QString EffectiveNickName() const;
};

// Load: defaults for missing or unusable values; never fails.
Settings LoadSettings(const SettingsStore& store, const AutostartEntry& autostart);
// Save: ServerPort, NickName, AutoUpdateCheck in that order, then the autostart entry.
void SaveSettings(SettingsStore& store, const Settings& settings, const AutostartEntry& autostart);

} // namespace vantrel

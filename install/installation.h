// Installation and removal of the game, run from the launcher's install/remove button.
#pragma once

// Installs the game after asking for the drive and mode. Returns 0 when cancelled, else
// the result of running the DirectX installer. Sets Installed and IntroPending.
int RunInstallation();

// Removes the installed game after confirmation, or hands the removal over to the
// launcher on the medium. Clears Installed when the game was removed.
void RunUninstallation();

// Start-up, when the current directory holds no settings file: reads the settings file in
// the installation directory that the uninstall entry records (the user's entry, else the
// machine's), if there is one, repairing a play-from-CD installation as the current
// directory's file would be. Returns whether that file exists, which makes the game count
// as installed.
bool ReadSettingsFromInstallLocation();

// What the launcher and the programs it starts show on the screen, as a user (or the UI
// driver) finds them: window titles and classes, fixed texts, the launcher's buttons, and
// the installation that the sample medium makes on drive C:. Written out here rather than
// taken from the program, so that the end-to-end tests and the tour check them.
#pragma once

#include "resources/resource.h"

#include <vector>

namespace ui {

constexpr char kLauncherTitle[] = "Vesk Marlit";
constexpr char kDialogClass[] = "#32770";
constexpr char kFilmTitle[] = "Vesk Marlit Intro";
constexpr char kFilmClass[] = "FilmFenster";
constexpr char kGameTitle[] = "Vesk Marlit";
constexpr char kGameClass[] = "VeskMarlitSpiel";

constexpr char kPromptText[] = "Bitte legen Sie die Vesk Marlit CD ein,\noder dr\xfc"
                               "cken Sie die Escape Taste\num zu beenden";
constexpr char kConfirmation[] = "Wollen Sie Vesk Marlit entfernen,\nund alle Spielst\xe4"
                                 "nde verlieren?";

inline const std::vector<int> kAllButtons = {IDC_PLAY_HIGH, IDC_INSTALL,  IDC_CLOSE,
                                             IDC_INTRO_HIGH, IDC_PLAY_LOW, IDC_INTRO_LOW};
inline const std::vector<int> kNotInstalledButtons = {IDC_INSTALL, IDC_CLOSE};

constexpr char kInstallDirectory[] = "C:\\VeskMarlit";
constexpr char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VeskMarlit";
// The settings file of a full installation to C:.
constexpr char kFullInstallationSettings[] = "VonHD\r\nC:\\VeskMarlit\\\r\nC:\\VeskMarlit\\SaveGames\r\n"
                                             "C:\\VeskMarlit\\KartenSets\r\nC:\\VeskMarlit\\Protokolle\r\n"
                                             "C:\\VeskMarlit\\Lib\r\nC:\\VeskMarlit\\NNet\r\n";
// The largest library file of the sample medium: the progress dialog shows it longest.
constexpr char kBigLibraryFile[] = "Lib\\klang.dat";

} // namespace ui

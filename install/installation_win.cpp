#include "install/installation.h"

// Placeholders until the installer lands: the buttons act, nothing is installed.
int RunInstallation() { return 0; }
void RunUninstallation() {}

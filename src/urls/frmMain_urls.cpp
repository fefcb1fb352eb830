// The URL screens of the main window: the URLs menu and the Add, Delete and
// Modify URL panels.

#include "screens/frmMain.h"

void frmMain::connectUrlHandlers() {}

void frmMain::cmdURL_Click() {}

// The category screens of the main window: the Categories menu and the Add,
// Delete and Modify Category panels.

#include "screens/frmMain.h"

void frmMain::connectCategoryHandlers() {}

void frmMain::cmdCat_Click() {}

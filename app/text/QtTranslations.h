#pragma once
// Qt's own words (the buttons of its message boxes, the folder chooser and the save dialog)
// in the user interface's language: Qt's translations for it are loaded from the folder Qt
// was installed with. English needs none.

// Installs them on the running application (once; later calls do nothing). False when the
// language has no translation there (the dialogs then stay English).
bool InstallQtTranslations();

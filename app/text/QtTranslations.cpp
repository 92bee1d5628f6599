#include "app/text/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "support/StringTable.h"

bool InstallQtTranslations() {
    static bool installed = false;
    auto* application = QCoreApplication::instance();
    if (installed || !application) return installed;
    InitUiLanguage();
    if (!IsKoreanUi()) return false;
    // Owned by the application, so it stays installed for as long as dialogs can appear.
    auto* translator = new QTranslator(application);
    if (!translator->load(QStringLiteral("qtbase_ko"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    installed = true;
    return true;
}

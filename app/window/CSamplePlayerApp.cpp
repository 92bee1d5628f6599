#include "app/window/CSamplePlayerApp.h"

#include <QGuiApplication>
#include <QString>

#include "app/desktop/MprisService.h"
#include "app/desktop/QuitSignals.h"
#include "app/text/QtTranslations.h"
#include "app/window/CSamplePlayerDlg.h"

bool CSamplePlayerApp::InitInstance(const std::string& path) {
    InstallQtTranslations();
    CSamplePlayerDlg dialog;
    // Created after the window (and with it the map's browser engine) has started.
    QuitSignals quitSignals;
    QuitSignals::BlockInThisThread();
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, &dialog,
                     [&dialog](int) { dialog.QuitNow(); });
    // The desktop session ending asks the application to keep its data first.
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        QObject::connect(gui, &QGuiApplication::commitDataRequest, &dialog,
                         [&dialog] { dialog.SaveConfig(); });
    }
    if (!path.empty()) {
        dialog.Navigator().OpenPath(QString::fromStdString(path));
    } else {
        dialog.Navigator().Cards().OpenLastCard();
    }
    // Media keys and desktop players' controls; without a session bus the window runs alone.
    MprisService mpris(dialog);
    mpris.Register();
    dialog.exec();
    return false;
}

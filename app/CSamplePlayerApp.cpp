#include "app/CSamplePlayerApp.h"

#include <QGuiApplication>
#include <QString>

#include "app/CSamplePlayerDlg.h"
#include "app/MprisService.h"
#include "app/QtTranslations.h"
#include "app/QuitSignals.h"

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
        dialog.OpenPath(QString::fromStdString(path));
    } else {
        dialog.OpenLastCard();
    }
    // Media keys and desktop players' controls; without a session bus the window runs alone.
    MprisService mpris(dialog);
    mpris.Register();
    dialog.exec();
    return false;
}

#include "app/desktop/MprisRootAdaptor.h"

#include "app/desktop/MprisService.h"

MprisRootAdaptor::MprisRootAdaptor(MprisService* service)
    : QDBusAbstractAdaptor(service), m_service(service) {}

QString MprisRootAdaptor::Identity() const {
    return m_service->Identity();
}

QString MprisRootAdaptor::DesktopEntry() const {
    return QString::fromLatin1(MprisService::kDesktopEntry);
}

QStringList MprisRootAdaptor::SupportedUriSchemes() const {
    return {QStringLiteral("file")};
}

QStringList MprisRootAdaptor::SupportedMimeTypes() const {
    // The dashcam writes AVI files; these are the names desktops give that type.
    return {QStringLiteral("video/x-msvideo"), QStringLiteral("video/avi"),
            QStringLiteral("video/msvideo")};
}

void MprisRootAdaptor::Raise() {
    m_service->Raise();
}

void MprisRootAdaptor::Quit() {
    m_service->Quit();
}

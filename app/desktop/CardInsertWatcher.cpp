#include "app/desktop/CardInsertWatcher.h"

#include <QDBusArgument>
#include <QDBusConnection>

namespace {

constexpr const char* kService = "org.freedesktop.UDisks2";
constexpr const char* kFilesystem = "org.freedesktop.UDisks2.Filesystem";

// MountPoints is an array of byte strings, each ending in a NUL.
QStringList MountPoints(const QVariant& value) {
    QStringList points;
    QList<QByteArray> raw;
    if (value.canConvert<QDBusArgument>()) {
        const QDBusArgument arg = value.value<QDBusArgument>();
        arg.beginArray();
        while (!arg.atEnd()) {
            QByteArray point;
            arg >> point;
            raw << point;
        }
        arg.endArray();
    } else {
        raw = value.value<QList<QByteArray>>();
    }
    for (QByteArray point : raw) {
        while (point.endsWith('\0')) point.chop(1);
        if (!point.isEmpty()) points << QString::fromLocal8Bit(point);
    }
    return points;
}

}  // namespace

CardInsertWatcher::CardInsertWatcher(QObject* parent) : QObject(parent) {
    QDBusConnection bus = QDBusConnection::systemBus();
    // Every object of the service: the path is left open.
    m_listening =
        bus.isConnected() &&
        bus.connect(kService, QString(), QStringLiteral("org.freedesktop.DBus.Properties"),
                    QStringLiteral("PropertiesChanged"), this,
                    SLOT(OnPropertiesChanged(QString, QVariantMap, QStringList)));
}

void CardInsertWatcher::OnPropertiesChanged(const QString& interfaceName,
                                            const QVariantMap& changed, const QStringList&) {
    if (interfaceName != QLatin1String(kFilesystem)) return;
    const auto it = changed.find(QStringLiteral("MountPoints"));
    if (it == changed.end()) return;
    for (const QString& point : MountPoints(*it)) emit mounted(point);
}

#pragma once
// Tells when a volume is mounted, from UDisks2's signals on the system bus (a file system's
// MountPoints property changing): no polling. Without a system bus or UDisks2 it stays silent.
//
// GUI thread only.

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

class CardInsertWatcher : public QObject {
    Q_OBJECT
public:
    explicit CardInsertWatcher(QObject* parent = nullptr);
    bool IsListening() const { return m_listening; }

signals:
    void mounted(const QString& mountPoint);

public slots:
    // UDisks2's org.freedesktop.DBus.Properties.PropertiesChanged of any of its objects.
    void OnPropertiesChanged(const QString& interfaceName, const QVariantMap& changed,
                             const QStringList& invalidated);

private:
    bool m_listening = false;
};

#pragma once
// The card formatter of the desktop: UDisks2 over the system D-Bus. The volume is checked
// first (CheckFormatTarget: a removable card, not the system's disk), then its block object
// is found by device number and mount point, unmounted, formatted as FAT ("vfat", keeping
// the volume's label) and mounted again. Every call lets UDisks2 ask for authorisation
// through the desktop's prompt.
//
// User-interface thread only. The D-Bus calls block while still dispatching window events,
// so the caller keeps input away meanwhile (the settings dialog shows a modal progress
// dialog).

#include <QDBusConnection>
#include <QString>

#include "device/CardFormat.h"
#include "device/VCardFormatter.h"

class QtUDisks2Formatter : public VCardFormatter {
public:
    // busAddress: the D-Bus to find UDisks2 on; empty for the system bus (tests give a
    // private bus with a stand-in service).
    explicit QtUDisks2Formatter(FormatGuardSources sources = {}, QString busAddress = {});
    CardFormatOutcome Format(const std::string& mountPoint) override;
    // The drive's vendor and model, the volume's device, label, file system and size.
    CardVolumeFacts Describe(const std::string& mountPoint) override;

private:
    QDBusConnection Bus() const;

    FormatGuardSources m_sources;
    QString m_busAddress;
};

#pragma once
// The card formatter of the desktop: UDisks2 over the system D-Bus. The volume is checked
// first (CheckFormatTarget: a removable card, not the system's disk), then its block object
// is found by device number and mount point, unmounted, formatted as FAT ("vfat", keeping
// the volume's label) and mounted again. Every call lets UDisks2 ask for authorisation
// through the desktop's prompt.
//
// Threads: Format may take minutes (the authorisation prompt, the format itself) and runs on
// a background job (the settings dialog's), where each D-Bus call blocks that thread alone;
// the settings dialog holds input away meanwhile with a modal progress dialog. The short
// queries (Check, Describe, CountRecoverableDeleted) may run on the user-interface thread,
// where a call blocks while still dispatching window events.

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
    FormatRefusal Check(const std::string& mountPoint) override;
    // Opens the device read-only and looks through its folders (CountRecoverableDeleted of
    // the recovery library).
    int CountRecoverableDeleted(const std::string& mountPoint) override;
    // A read-only descriptor of the card's block device, from UDisks2's OpenDevice (mode "r",
    // the desktop asking for the password as for any disk tool); -1 with the cause in *error.
    // The caller owns the descriptor. Also callable from a worker thread, where it blocks
    // without dispatching events.
    int OpenDeviceReadOnly(const std::string& mountPoint, std::string* error);
    // The drive's vendor and model, the volume's device, label, file system and size.
    CardVolumeFacts Describe(const std::string& mountPoint) override;

private:
    QDBusConnection Bus() const;

    FormatGuardSources m_sources;
    QString m_busAddress;
};

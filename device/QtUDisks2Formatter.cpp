#include "device/QtUDisks2Formatter.h"

#include <fcntl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDeadlineTimer>
#include <QMap>
#include <QThread>

#include "recover/CardRecovery.h"
#include "recover/CardSource.h"
#include "support/Trace.h"

namespace {

const QString kService = QStringLiteral("org.freedesktop.UDisks2");
const QString kRootPath = QStringLiteral("/org/freedesktop/UDisks2");
const QString kBlock = QStringLiteral("org.freedesktop.UDisks2.Block");
const QString kFilesystem = QStringLiteral("org.freedesktop.UDisks2.Filesystem");
const QString kDrive = QStringLiteral("org.freedesktop.UDisks2.Drive");

// The authorisation prompt may wait for the user; formatting a large card takes a while too.
constexpr int kPromptedCallTimeoutMs = 15 * 60 * 1000;
constexpr int kQueryTimeoutMs = 10 * 1000;
// UDisks2 reports the new file system a moment after Format returns; Mount is retried
// until it is there.
constexpr int kRemountWindowMs = 10 * 1000;
constexpr int kRemountRetryMs = 250;

using InterfaceMap = QMap<QString, QVariantMap>;
using ObjectMap = QMap<QDBusObjectPath, InterfaceMap>;

struct BlockObject {
    QString path;
    QString label;
    QVariantMap block;  // the Block interface's properties
    QVariantMap drive;  // the Drive interface's properties of its drive, when it has one
};

QList<QByteArray> ByteArrays(const QVariant& value) {
    QList<QByteArray> list;
    if (value.canConvert<QDBusArgument>()) {
        const QDBusArgument arg = value.value<QDBusArgument>();
        arg >> list;
    } else {
        list = value.value<QList<QByteArray>>();
    }
    return list;
}

QString ErrorText(const QDBusMessage& reply) {
    return reply.errorName() + QStringLiteral(": ") + reply.errorMessage();
}

QVariantMap PromptOptions() {
    return {{QStringLiteral("auth.no_user_interaction"), false}};
}

QDBusMessage Call(const QDBusConnection& bus, const QString& path, const QString& interface,
                  const QString& method, const QVariantList& args, int timeoutMs) {
    QDBusMessage msg = QDBusMessage::createMethodCall(kService, path, interface, method);
    msg.setArguments(args);
    // Off the GUI thread there are no window events to keep alive, and no loop to run them.
    const bool gui = QCoreApplication::instance() &&
                     QThread::currentThread() == QCoreApplication::instance()->thread();
    return bus.call(msg, gui ? QDBus::BlockWithGui : QDBus::Block, timeoutMs);
}

// The block object with the given device number whose file system is mounted at mountPoint.
bool FindBlockObject(const QDBusConnection& bus, const FormatTarget& target, BlockObject* found,
                     QString* error) {
    const QDBusMessage reply =
        Call(bus, kRootPath, QStringLiteral("org.freedesktop.DBus.ObjectManager"),
             QStringLiteral("GetManagedObjects"), {}, kQueryTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        *error = ErrorText(reply);
        return false;
    }
    ObjectMap objects;
    reply.arguments().first().value<QDBusArgument>() >> objects;
    const QByteArray wanted = target.mountPoint.c_str();
    const qulonglong number = makedev(target.major, target.minor);
    for (auto it = objects.cbegin(); it != objects.cend(); ++it) {
        const InterfaceMap& ifaces = it.value();
        if (!ifaces.contains(kBlock) || !ifaces.contains(kFilesystem)) continue;
        const QVariantMap& block = ifaces[kBlock];
        if (target.major > 0 && block.value(QStringLiteral("DeviceNumber")).toULongLong() != number)
            continue;
        for (QByteArray point :
             ByteArrays(ifaces[kFilesystem].value(QStringLiteral("MountPoints")))) {
            if (point.endsWith('\0')) point.chop(1);
            if (point != wanted) continue;
            found->path = it.key().path();
            found->label = block.value(QStringLiteral("IdLabel")).toString();
            found->block = block;
            const QString drivePath =
                qdbus_cast<QDBusObjectPath>(block.value(QStringLiteral("Drive"))).path();
            const auto drive = objects.constFind(QDBusObjectPath(drivePath));
            if (drive != objects.cend()) found->drive = drive.value().value(kDrive);
            return true;
        }
    }
    *error = QStringLiteral("no UDisks2 block object is mounted at ") + QString::fromUtf8(wanted);
    return false;
}

// A pause between two tries of the remount. Format runs on a background job, where nothing
// waits for events meanwhile.
void WaitMs(int ms) {
    QThread::msleep(static_cast<unsigned long>(ms));
}

// The file system type UDisks2 sees on the block object now; empty when it sees none.
QString CurrentIdType(const QDBusConnection& bus, const QString& path) {
    const QDBusMessage reply =
        Call(bus, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
             {kBlock, QStringLiteral("IdType")}, kQueryTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
    return qdbus_cast<QDBusVariant>(reply.arguments().first()).variant().toString();
}

bool Mount(const QDBusConnection& bus, const QString& path, QString* mountPath, QString* error) {
    QDeadlineTimer deadline(kRemountWindowMs);
    for (;;) {
        const QDBusMessage reply = Call(bus, path, kFilesystem, QStringLiteral("Mount"),
                                        {PromptOptions()}, kPromptedCallTimeoutMs);
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
            *mountPath = reply.arguments().first().toString();
            return true;
        }
        *error = ErrorText(reply);
        // A refused or dismissed prompt will not change its mind.
        if (reply.errorName().contains(QStringLiteral("NotAuthorized")) || deadline.hasExpired())
            return false;
        // Once UDisks2 sees the new file system, a refusal is final (a kernel without FAT,
        // for one); retrying only helps while the file system is not seen yet.
        if (CurrentIdType(bus, path) == QLatin1String("vfat")) return false;
        WaitMs(kRemountRetryMs);
    }
}

}  // namespace

QDBusConnection QtUDisks2Formatter::Bus() const {
    return m_busAddress.isEmpty()
               ? QDBusConnection::systemBus()
               : QDBusConnection::connectToBus(m_busAddress,
                                               QStringLiteral("tarvex-udisks2 ") + m_busAddress);
}

CardVolumeFacts QtUDisks2Formatter::Describe(const std::string& mountPoint) {
    CardVolumeFacts facts;
    FormatTarget target;
    if (CheckFormatTarget(mountPoint, &target, m_sources) != FormatRefusal::None) return facts;
    const QDBusConnection bus = Bus();
    BlockObject object;
    QString error;
    if (!bus.isConnected() || !FindBlockObject(bus, target, &object, &error)) return facts;
    auto text = [](const QVariantMap& map, const char* key) {
        return map.value(QLatin1String(key)).toString().trimmed().toStdString();
    };
    facts.vendor = text(object.drive, "Vendor");
    facts.model = text(object.drive, "Model");
    QByteArray device = object.block.value(QStringLiteral("PreferredDevice")).toByteArray();
    if (device.endsWith('\0')) device.chop(1);
    facts.device = device.toStdString();
    facts.label = object.label.toStdString();
    facts.fileSystem = text(object.block, "IdType");
    facts.sizeBytes = object.block.value(QStringLiteral("Size")).toULongLong();
    return facts;
}

QtUDisks2Formatter::QtUDisks2Formatter(FormatGuardSources sources, QString busAddress)
    : m_sources(std::move(sources)), m_busAddress(std::move(busAddress)) {
    qDBusRegisterMetaType<InterfaceMap>();
    qDBusRegisterMetaType<ObjectMap>();
}

CardFormatOutcome QtUDisks2Formatter::Format(const std::string& mountPoint) {
    CardFormatOutcome outcome;
    FormatTarget target;
    const FormatRefusal refusal = CheckFormatTarget(mountPoint, &target, m_sources);
    if (refusal != FormatRefusal::None) {
        outcome.result = CardFormatResult::Refused;
        outcome.detail = FormatRefusalName(refusal);
        return outcome;
    }
    auto fail = [&outcome](const QString& why) {
        outcome.result = CardFormatResult::Failed;
        outcome.detail = why.toStdString();
        Trace("UDisks2 format: %s\n", outcome.detail.c_str());
        return outcome;
    };
    const QDBusConnection bus = Bus();
    if (!bus.isConnected()) return fail(QStringLiteral("no D-Bus: ") + bus.lastError().message());

    BlockObject object;
    QString error;
    if (!FindBlockObject(bus, target, &object, &error)) return fail(error);

    QDBusMessage reply = Call(bus, object.path, kFilesystem, QStringLiteral("Unmount"),
                              {PromptOptions()}, kPromptedCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) return fail(ErrorText(reply));

    QVariantMap options = PromptOptions();
    if (!object.label.isEmpty()) options.insert(QStringLiteral("label"), object.label);
    reply = Call(bus, object.path, kBlock, QStringLiteral("Format"),
                 {QStringLiteral("vfat"), options}, kPromptedCallTimeoutMs);
    const bool formatted = reply.type() == QDBusMessage::ReplyMessage;
    const QString formatError = formatted ? QString() : ErrorText(reply);

    // Mounted again either way, so a cancelled format leaves the card where it was.
    QString mountPath;
    const bool mounted = Mount(bus, object.path, &mountPath, &error);
    if (!formatted) return fail(formatError);
    if (!mounted) {
        fail(QStringLiteral("formatted, not mounted again: ") + error);
        outcome.result = CardFormatResult::FormattedNotMounted;
        return outcome;
    }
    outcome.result = CardFormatResult::Formatted;
    outcome.mountPoint = mountPath.toStdString();
    return outcome;
}

FormatRefusal QtUDisks2Formatter::Check(const std::string& mountPoint) {
    return CheckFormatTarget(mountPoint, nullptr, m_sources);
}

int QtUDisks2Formatter::OpenDeviceReadOnly(const std::string& mountPoint, std::string* error) {
    FormatTarget target;
    const FormatRefusal refusal = CheckFormatTarget(mountPoint, &target, m_sources);
    if (refusal != FormatRefusal::None) {
        *error = mountPoint + ": not a removable card (" + FormatRefusalName(refusal) + ")";
        return -1;
    }
    const QDBusConnection bus = Bus();
    if (!bus.isConnected()) {
        *error = "no D-Bus: " + bus.lastError().message().toStdString();
        return -1;
    }
    BlockObject object;
    QString why;
    if (!FindBlockObject(bus, target, &object, &why)) {
        *error = why.toStdString();
        return -1;
    }
    const QDBusMessage reply = Call(bus, object.path, kBlock, QStringLiteral("OpenDevice"),
                                    {QStringLiteral("r"), PromptOptions()}, kPromptedCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        *error = ErrorText(reply).toStdString();
        return -1;
    }
    const auto handed = qdbus_cast<QDBusUnixFileDescriptor>(reply.arguments().first());
    // The message's copy closes with it; ours stays open for the caller.
    const int fd = handed.isValid() ? fcntl(handed.fileDescriptor(), F_DUPFD_CLOEXEC, 0) : -1;
    if (fd < 0) *error = "UDisks2 handed over no usable descriptor";
    return fd;
}

int QtUDisks2Formatter::CountRecoverableDeleted(const std::string& mountPoint) {
    std::string error;
    const int fd = OpenDeviceReadOnly(mountPoint, &error);
    CardSource source;
    if (fd < 0 || !source.Adopt(fd, mountPoint, &error)) {
        Trace("UDisks2 read: %s\n", error.c_str());
        return -1;
    }
    return ::CountRecoverableDeleted(source);
}

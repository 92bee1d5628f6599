#include "res/SkinBitmaps.h"

#include <QDir>
#include <QHash>
#include <QImageReader>

// Outside any namespace: the macro declares the resource's registration function.
static int RegisterSkinResource() {
    Q_INIT_RESOURCE(skin);
    return 1;
}

namespace {

void InitSkinResource() {
    static const int registered = RegisterSkinResource();
    (void)registered;
}

bool g_korean = false;  // user-interface thread only

QString PathOf(int id) {
    return QStringLiteral(":/skin/%1.png").arg(id);
}

// The picked language's picture of id: the Korean one where the Korean set has it.
QString LocalPathOf(int id) {
    const QString korean = QStringLiteral(":/skin/ko/%1.png").arg(id);
    return g_korean && QFile::exists(korean) ? korean : PathOf(id);
}

}  // namespace

void SetSkinKorean(bool korean) {
    g_korean = korean;
}

QPixmap LoadSkinBitmap(int id) {
    InitSkinResource();
    // Pixmaps share their data, so handing out the cached one is cheap and safe.
    static QHash<int, QPixmap> cache;
    const int key = g_korean ? -id : id;
    auto it = cache.constFind(key);
    if (it != cache.constEnd()) return *it;
    QPixmap pixmap;
    if (id > 0 && QFile::exists(PathOf(id))) pixmap.load(LocalPathOf(id), "PNG");
    if (!pixmap.isNull()) cache.insert(key, pixmap);
    return pixmap;
}

QSize SkinBitmapSize(int id) {
    InitSkinResource();
    if (id <= 0) return QSize();
    QImageReader reader(PathOf(id), "PNG");
    return reader.canRead() ? reader.size() : QSize();
}

std::vector<int> SkinBitmapIds() {
    InitSkinResource();
    std::vector<int> ids;
    for (const QString& name : QDir(QStringLiteral(":/skin")).entryList({"*.png"}, QDir::Files)) {
        bool ok = false;
        const int id = name.chopped(4).toInt(&ok);
        if (ok) ids.push_back(id);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

QIcon LoadSkinIcon(int id) {
    InitSkinResource();
    QIcon icon;
    if (id != SkinId::kAppIcon) return icon;
    icon.addFile(QStringLiteral(":/skin/%1_16.png").arg(id), QSize(16, 16));
    icon.addFile(PathOf(id), QSize(48, 48));
    return icon;
}

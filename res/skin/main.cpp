// Renders the skin to one PNG per bitmap id and writes the resource list that compiles them
// into the program.
//
//     tarvex-skin-render OUTDIR            bitmaps and OUTDIR/skin.qrc
//     tarvex-skin-render OUTDIR PREVIEW    also a picture of the normal window with every
//                                          released face and the sliders in place

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <map>

#include "SkinArt.h"

namespace {

bool Save(const QImage& image, const QString& path) {
    if (image.save(path, "PNG")) return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

// Draws a face the way the bitmap button does: key-colour pixels leave the ground untouched.
void Blit(QImage& target, const QImage& face, QPoint at, bool keyed) {
    for (int y = 0; y < face.height(); ++y)
        for (int x = 0; x < face.width(); ++x) {
            const QRgb c = face.pixel(x, y);
            if (keyed && (c & 0xFFFFFF) == 0) continue;
            if (target.rect().contains(at + QPoint(x, y))) target.setPixel(at + QPoint(x, y), c);
        }
}

QImage Preview(const QImage& background, const std::map<int, QImage>& faces) {
    using namespace skin;
    QImage out = background.copy();
    const int hidden[] = {502, 505};  // full screen only; Pause replaces PLAY while playing
    for (const FaceEntry& f : FaceTable()) {
        if (f.state != State::Released || f.kind == FaceKind::ChannelActive ||
            f.kind == FaceKind::Thumb ||
            std::find(std::begin(hidden), std::end(hidden), f.id) != std::end(hidden))
            continue;
        Blit(out, faces.at(f.id), f.at.topLeft(), f.keyed);
    }
    // Sliders part-way, as a playing recording shows them: active part left of the thumb.
    auto slider = [&](int channel, int active, QPoint at, int thumbCentre) {
        const QImage& c = faces.at(channel);
        Blit(out, c, at, true);
        Blit(out, faces.at(active).copy(0, 0, thumbCentre, c.height()), at, true);
        Blit(out, faces.at(420), at + QPoint(thumbCentre - 8, 0), true);
    };
    slider(443, 444, {92, 432}, 150);
    slider(422, 423, {719, 477}, 56);
    slider(422, 423, {860, 477}, 40);
    // The 3-D edge the skin buttons with a border draw, and a pressed category tab.
    QPainter p(&out);
    for (QPoint at : {QPoint(592, 470), QPoint(679, 470)}) {
        p.setPen(QColor(255, 255, 255, 40));
        p.drawLine(at, at + QPoint(29, 0));
        p.drawLine(at, at + QPoint(0, 29));
        p.setPen(QColor(0, 0, 0, 140));
        p.drawLine(at + QPoint(0, 29), at + QPoint(29, 29));
        p.drawLine(at + QPoint(29, 0), at + QPoint(29, 29));
    }
    p.end();
    Blit(out, faces.at(464), {649, 39}, true);
    // Labels as the window shows them.
    p.begin(&out);
    p.setFont(QFont(QStringLiteral("Noto Sans"), 8));
    p.setPen(Qt::white);
    p.fillRect(QRect(25, 433, 56, 14), skin::kTimePlate);
    p.drawText(QRect(25, 433, 56, 14), Qt::AlignCenter, "00:01:23");
    p.fillRect(QRect(495, 433, 56, 14), skin::kTimePlate);
    p.drawText(QRect(495, 433, 56, 14), Qt::AlignCenter, "00:03:00");
    p.fillRect(QRect(580, 433, 56, 14), skin::kTimePlate);
    p.setPen(Qt::red);
    p.drawText(QRect(580, 433, 56, 14), Qt::AlignCenter, "63 km/h");
    p.fillRect(QRect(30, 520, 760, 104), QColor(8, 9, 11));
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTDIR [PREVIEW.png]\n", argv[0]);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(dir);

    std::map<int, QImage> faces;
    const QImage background = skin::RenderBackground();
    faces[skin::kBackgroundId] = background;
    for (const skin::FaceEntry& f : skin::FaceTable())
        faces[f.id] = skin::RenderFace(f, background);
    faces[skin::kIconId] = skin::RenderAppIcon(48);

    bool ok = true;
    QString qrc;
    QTextStream list(&qrc);
    list << "<RCC>\n  <qresource prefix=\"/skin\">\n";
    for (const auto& [id, image] : faces) {
        const QString name = QString::number(id) + ".png";
        ok = Save(image, dir + '/' + name) && ok;
        list << "    <file>" << name << "</file>\n";
    }
    // The Korean set: the background and every face with a word, under ko/ by the same id.
    QDir().mkpath(dir + "/ko");
    const QImage koreanBackground = skin::RenderBackground(true);
    ok = Save(koreanBackground, dir + "/ko/" + QString::number(skin::kBackgroundId) + ".png") && ok;
    list << "    <file>ko/" << skin::kBackgroundId << ".png</file>\n";
    for (skin::FaceEntry f : skin::FaceTable()) {
        if (f.label.isEmpty()) continue;
        f.label = skin::KoreanWord(f.label);
        const QString name = "ko/" + QString::number(f.id) + ".png";
        ok = Save(skin::RenderFace(f, koreanBackground), dir + '/' + name) && ok;
        list << "    <file>" << name << "</file>\n";
    }
    // The icon's small picture; its 48 px picture is the bitmap of the icon's own id.
    const QString small = QStringLiteral("%1_16.png").arg(skin::kIconId);
    ok = Save(skin::RenderAppIcon(16), dir + '/' + small) && ok;
    list << "    <file>" << small << "</file>\n";
    list << "  </qresource>\n</RCC>\n";
    list.flush();

    if (argc >= 3) ok = Save(Preview(background, faces), QString::fromLocal8Bit(argv[2])) && ok;

    // The list goes last, so a failed run never leaves a complete-looking resource list behind.
    QFile file(dir + "/skin.qrc");
    if (!ok || !file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 1;
    file.write(qrc.toUtf8());
    return file.error() == QFile::NoError ? 0 : 1;
}

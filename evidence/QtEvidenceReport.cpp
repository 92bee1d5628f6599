#include "evidence/QtEvidenceReport.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iterator>
#include <optional>

#include "evidence/PackageNames.h"
#include "evidence/QtReportPage.h"
#include "evidence/ReportTexts.h"
#include "support/ProgramVersion.h"
#include "support/StringTable.h"
#include "telemetry/CameraClock.h"
#include "telemetry/EventDetector.h"
#include "telemetry/Gpx.h"

namespace {

constexpr double kMphPerKmh = 0.621371;
constexpr double kMetresPerDegree = 111320.0;
constexpr int64_t kNearestFixMs = 1500;
// Round steps for the graph's time axis, in seconds; the first that gives at most this many
// ticks is used.
constexpr int kAxisStepsSec[] = {1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 1800, 3600};
constexpr int kMostAxisTicks = 8;

QString Clock(int64_t ms) {
    return QString::fromStdString(FormatClockIsoMs(ms)).replace('T', ' ');
}

QString TimeOfDay(int64_t ms) {
    return QString::fromStdString(FormatClockIso(ms / 1000)).mid(11, 8);
}

struct Writer {
    const PackageFacts& facts;
    bool korean;
    ReportPage& page;
    QPainter& p;

    Writer(const PackageFacts& f, ReportPage& pg)
        : facts(f), korean(f.request->language == "ko"), page(pg), p(pg.Painter()) {}

    QString T(ReportText t) const { return QString::fromUtf8(ReportWords(t, korean)); }
    double Px(double mm) const { return page.Px(mm); }

    QString SpeedUnit() const { return facts.request->mph ? "mph" : "km/h"; }
    QString SpeedText(double kmh) const {
        return QString::number(Unit(kmh), 'f', 0) + " " + SpeedUnit();
    }
    double Unit(double kmh) const { return facts.request->mph ? kmh * kMphPerKmh : kmh; }
    std::optional<int64_t> UtcMs(int64_t cameraMs) const {
        if (!facts.clockOffsetSec) return std::nullopt;
        return cameraMs - *facts.clockOffsetSec * 1000;
    }

    const TimedFix* FixAt(int64_t ms) const {
        const int64_t i = NearestValidFix(facts.timeline.fixes, ms);
        if (i < 0) return nullptr;
        const TimedFix& f = facts.timeline.fixes[static_cast<size_t>(i)];
        return std::llabs(f.timeMs - ms) <= kNearestFixMs ? &f : nullptr;
    }
    std::vector<const TimedFix*> ClipFixes() const {
        std::vector<const TimedFix*> out;
        for (const TimedFix& f : facts.timeline.fixes)
            if (f.fix.IsUsable() && f.timeMs >= facts.clipFromMs && f.timeMs < facts.clipToMs)
                out.push_back(&f);
        return out;
    }

    // "Start  2018-08-20 18:48:40.000   UTC 2018-08-20 09:48:40.000 Z"
    void ClockLine(ReportText what, int64_t cameraMs, double points = 10, bool bold = false) {
        QString text = T(what) + ":  " + T(ReportText::CameraClock) + " " + Clock(cameraMs);
        if (const std::optional<int64_t> utc = UtcMs(cameraMs))
            text += "   UTC " + Clock(*utc) + " Z";
        page.Line(text, points, bold);
    }

    void Clip() {
        page.Heading(T(ReportText::Clip));
        ClockLine(ReportText::ClipStart, facts.CameraMsAt(facts.clipFromMs));
        ClockLine(ReportText::ClipEnd, facts.CameraMsAt(facts.clipToMs));
        page.Line(T(ReportText::ClipLength) + ":  " +
                  QString::fromStdString(LengthText(facts.clipToMs - facts.clipFromMs)));
        if (!facts.clockOffsetSec) {
            page.Line(T(ReportText::NoOffset));
            return;
        }
        page.Line(
            T(ReportText::Offset).arg(QString::fromStdString(UtcOffsetText(*facts.clockOffsetSec))),
            11, true);
        page.Line(T(ReportText::OffsetHow).arg(facts.clockFixes), 9);
    }

    void Moment() {
        page.Heading(T(ReportText::Moment));
        page.Line(T(ReportText::CameraClock) + ":  " + Clock(facts.cameraMs), 12, true);
        if (const std::optional<int64_t> utc = UtcMs(facts.cameraMs))
            page.Line(T(ReportText::Utc) + ":  " + Clock(*utc) + " Z", 12, true);
    }

    void Place() {
        page.Heading(T(ReportText::Place));
        const TimedFix* at = facts.request->noPosition ? nullptr : FixAt(facts.momentMs);
        if (!at) {
            page.Line(T(ReportText::NoPlace));
            return;
        }
        page.Line(QString::asprintf("%.6f, %.6f", at->fix.GetLatitude(), at->fix.GetLongitude()),
                  11, true);
        Route(at);
    }

    void Route(const TimedFix* at) {
        const std::vector<const TimedFix*> fixes = ClipFixes();
        if (fixes.size() < 2) return;
        const double box = Px(70);
        page.Need(box + Px(10));
        double minLat = 90, maxLat = -90, minLon = 180, maxLon = -180;
        for (const TimedFix* f : fixes) {
            minLat = std::min(minLat, f->fix.GetLatitude());
            maxLat = std::max(maxLat, f->fix.GetLatitude());
            minLon = std::min(minLon, f->fix.GetLongitude());
            maxLon = std::max(maxLon, f->fix.GetLongitude());
        }
        const double cosLat = std::cos((minLat + maxLat) / 2 * M_PI / 180);
        const double spanM = std::max({(maxLat - minLat) * kMetresPerDegree,
                                       (maxLon - minLon) * kMetresPerDegree * cosLat, 50.0});
        const double scale = (box - Px(10)) / spanM;  // page units per metre
        const QRectF frame(0, page.y, box * 1.6, box);
        p.fillRect(frame, QColor(246, 244, 238));
        p.setPen(QPen(QColor(190, 190, 190), Px(0.2)));
        p.drawRect(frame);
        auto place = [&](const TimedFix* f) {
            return QPointF(frame.center().x() + (f->fix.GetLongitude() - (minLon + maxLon) / 2) *
                                                    kMetresPerDegree * cosLat * scale,
                           frame.center().y() - (f->fix.GetLatitude() - (minLat + maxLat) / 2) *
                                                    kMetresPerDegree * scale);
        };
        QPainterPath path(place(fixes.front()));
        for (const TimedFix* f : fixes) path.lineTo(place(f));
        p.setPen(QPen(QColor(40, 90, 200), Px(0.7)));
        p.drawPath(path);
        p.setBrush(QColor(220, 40, 40));
        p.setPen(Qt::NoPen);
        p.drawEllipse(place(at), Px(1.5), Px(1.5));
        p.setBrush(Qt::NoBrush);
        ScaleBar(frame, scale);
        page.y += box + Px(2);
        page.Line(T(ReportText::RouteNote), 8);
    }

    // A round length near a quarter of the frame.
    void ScaleBar(const QRectF& frame, double scale) {
        const double wanted = frame.width() / 4 / scale;
        const double step = std::pow(10, std::floor(std::log10(wanted)));
        const double metres = wanted >= 5 * step ? 5 * step : wanted >= 2 * step ? 2 * step : step;
        const QPointF bar(frame.left() + Px(4), frame.bottom() - Px(4));
        p.setPen(QPen(Qt::black, Px(0.4)));
        p.drawLine(bar, bar + QPointF(metres * scale, 0));
        p.setFont(page.Sans(7));
        p.drawText(bar + QPointF(0, -Px(1)), metres >= 1000 ? QString::number(metres / 1000) + " km"
                                                            : QString::number(metres) + " m");
    }

    void Speed() {
        page.Heading(T(ReportText::Speed));
        const TimedFix* at = FixAt(facts.momentMs);
        double highest = 0;
        for (const TimedFix* f : ClipFixes()) highest = std::max(highest, f->fix.GetSpeed());
        page.Line(T(ReportText::SpeedAtMoment)
                          .arg(at ? SpeedText(at->fix.GetSpeed()) : QStringLiteral("-")) +
                      "   (" + (at ? T(ReportText::FixValid) : T(ReportText::FixInvalid)) + ")",
                  11, true);
        page.Line(T(ReportText::Highest).arg(SpeedText(highest)));
    }

    void Events() {
        page.Heading(T(ReportText::Events));
        std::vector<TimedSample> samples;
        for (const TimedSample& s : facts.timeline.samples)
            if (s.timeMs >= facts.clipFromMs && s.timeMs < facts.clipToMs) samples.push_back(s);
        const std::vector<DrivingEvent> events = DetectEvents(samples);
        if (events.empty()) page.Line(T(ReportText::NoEvents));
        for (const DrivingEvent& e : events) {
            const TimedFix* fix = FixAt(e.timeMs);
            page.Line(QString::fromStdString(RawText(DrivingEventText(e.kind), korean)) +
                      QString::fromUtf8(" · ") + TimeOfDay(facts.CameraMsAt(e.timeMs)) +
                      QString::fromUtf8(" · ") + QString::number(e.peakG, 'f', 2) + " g" +
                      QString::fromUtf8(" · ") +
                      (fix ? SpeedText(fix->fix.GetSpeed()) : QStringLiteral("-")));
        }
    }

    void Stills() {
        page.Heading(T(ReportText::Stills));
        const double w = (page.Width() - Px(4)) / 2;
        double tallest = 0;
        double x = 0;
        for (const std::string& path : facts.stills) {
            const QImage image(QString::fromStdString(path));
            if (image.isNull()) continue;
            const double h = w * image.height() / std::max(1, image.width());
            page.Need(h + Px(8));
            p.drawImage(QRectF(x, page.y, w, h), image);
            p.setFont(page.Sans(7));
            p.drawText(QPointF(x, page.y + h + Px(3)),
                       QString::fromStdString(std::filesystem::path(path).filename().string()));
            tallest = std::max(tallest, h);
            x += w + Px(4);
        }
        page.y += tallest + Px(6);
    }

    void Files() {
        page.Heading(T(ReportText::Files));
        for (const PackageFacts::File& f : facts.files) {
            page.Line(QString::fromStdString(f.path) + "  (" + QString::number(f.size) + " B)", 8,
                      true);
            page.MonoLine(QString::fromStdString(f.sha256), 8);
        }
        page.Line(T(ReportText::FilesSelf), 8);
    }

    const PackageFacts::File* FileNamed(const std::string& path) const {
        for (const PackageFacts::File& f : facts.files)
            if (f.path == path) return &f;
        return nullptr;
    }

    // Each part with its stretch on the camera clock and in UTC, and its hash.
    // What was blurred, where and why, and which files are the unedited record.
    void Redactions() {
        const MaskSet* masks = facts.request->redact;
        if (!masks) return;
        page.Heading(T(ReportText::Redactions));
        page.Line(T(ReportText::RedactionsWhy).arg(facts.redactedBoxes), 9);
        for (const MaskRegion& r : masks->regions) {
            int64_t count[3] = {0, 0, 0};
            for (const MaskBox& b : r.boxes) ++count[static_cast<int>(b.source)];
            page.Line(T(ReportText::RedactionsRegion)
                          .arg(r.id)
                          .arg(MaskKindName(r.kind))
                          .arg(MaskCameraName(r.camera))
                          .arg(r.FirstFrame())
                          .arg(r.LastFrame())
                          .arg(count[0])
                          .arg(count[1])
                          .arg(count[2]),
                      8);
        }
        QStringList blurred, unedited{QString(kPackageLosslessClip)};
        for (const std::string& f : facts.redactedFiles) blurred << QString::fromStdString(f);
        for (const std::string& o : facts.originals)
            unedited << QString::fromStdString("originals/" +
                                               std::filesystem::path(o).filename().string());
        page.Line(T(ReportText::RedactionsFiles) + "  " + blurred.join(", "), 8, true);
        if (facts.request->shareCopy)
            page.Line(T(ReportText::ShareCopyUnedited), 8);
        else
            page.Line(T(ReportText::RedactionsUnedited) + "  " + unedited.join(", "), 8);
    }

    void Parts() {
        if (facts.composedParts.empty()) return;
        page.Heading(T(ReportText::Parts));
        page.Line(T(ReportText::PartsRate)
                      .arg(facts.composedParts.size())
                      .arg(facts.composedBitsPerSecond / 1000),
                  9);
        if (!facts.composedLowered.empty())
            page.Line(
                T(ReportText::PartsLowered).arg(facts.composedWidth).arg(facts.composedHeight), 9);
        for (const PackageFacts::Part& part : facts.composedParts) {
            const int64_t from = facts.CameraMsAt(part.fromMs), to = facts.CameraMsAt(part.toMs);
            QString text =
                QString::fromStdString(part.path) + "   " + Clock(from) + " - " + Clock(to).mid(11);
            if (const std::optional<int64_t> utc = UtcMs(from))
                text += "   UTC " + Clock(*utc).mid(11) + " - " + Clock(*UtcMs(to)).mid(11);
            page.Line(text, 8, true);
            if (const PackageFacts::File* f = FileNamed(part.path))
                page.MonoLine(QString::fromStdString(f->sha256), 8);
        }
    }

    void Verified() {
        page.Heading(T(ReportText::Verified));
        if (facts.request->shareCopy) {
            page.Line(T(ReportText::ShareCopy));
            page.Line(T(ReportText::Hashes), 9);
            return;
        }
        int64_t compared = 0;
        QString mismatch;
        for (const TrackProof& t : facts.proof) {
            compared += t.compared;
            if (!t.Holds())
                mismatch = QString::fromStdString(t.mismatch.empty() ? "-" : t.mismatch);
        }
        page.Line(mismatch.isEmpty() && !facts.proof.empty()
                      ? T(ReportText::VerifiedAll).arg(compared)
                      : T(ReportText::VerifiedNot).arg(mismatch));
        page.Line(T(ReportText::Hashes), 9);
    }

    // The curves inside frame: speed against topSpeed, the G-force's size against 2 g.
    void Curves(const QRectF& frame, double topSpeed) {
        const double span = std::max<double>(1, facts.clipToMs - facts.clipFromMs);
        auto xAt = [&](int64_t ms) {
            return frame.left() + (ms - facts.clipFromMs) / span * frame.width();
        };
        QPainterPath speed;
        for (const TimedFix* f : ClipFixes()) {
            const QPointF pt(xAt(f->timeMs),
                             frame.bottom() - Unit(f->fix.GetSpeed()) / topSpeed * frame.height());
            speed.elementCount() == 0 ? speed.moveTo(pt) : speed.lineTo(pt);
        }
        p.setPen(QPen(QColor(40, 90, 200), Px(0.5)));
        p.drawPath(speed);
        const double unitsPerG = EventThresholds().unitsPerG;
        QPainterPath g;
        for (const TimedSample& s : facts.timeline.samples) {
            if (s.timeMs < facts.clipFromMs || s.timeMs >= facts.clipToMs) continue;
            const double force = std::hypot(s.sample.x, s.sample.y) / unitsPerG;
            const QPointF pt(xAt(s.timeMs),
                             frame.bottom() - std::min(force, 2.0) / 2.0 * frame.height());
            g.elementCount() == 0 ? g.moveTo(pt) : g.lineTo(pt);
        }
        p.setPen(QPen(QColor(210, 60, 40), Px(0.4)));
        p.drawPath(g);
        p.setPen(QPen(Qt::black, Px(0.3), Qt::DashLine));
        p.drawLine(QPointF(xAt(facts.momentMs), frame.top()),
                   QPointF(xAt(facts.momentMs), frame.bottom()));
    }

    // Ticks under the frame at round steps of the camera clock, each labelled with its time
    // of day; the scales' ends outside the frame, left (speed) and right (G-force).
    void Axes(const QRectF& frame, double topSpeed) {
        const int64_t fromCam = facts.CameraMsAt(facts.clipFromMs);
        const int64_t spanMs = std::max<int64_t>(1, facts.clipToMs - facts.clipFromMs);
        int step = kAxisStepsSec[std::size(kAxisStepsSec) - 1];
        for (int s : kAxisStepsSec)
            if (spanMs / (s * 1000) <= kMostAxisTicks) {
                step = s;
                break;
            }
        const int64_t stepMs = step * 1000LL;
        p.setFont(page.Sans(6.5));
        p.setPen(QPen(Qt::black, Px(0.2)));
        for (int64_t cam = (fromCam + stepMs - 1) / stepMs * stepMs; cam <= fromCam + spanMs;
             cam += stepMs) {
            const double x = frame.left() + (cam - fromCam) * frame.width() / spanMs;
            p.drawLine(QPointF(x, frame.bottom()), QPointF(x, frame.bottom() + Px(1.2)));
            p.drawText(QRectF(x - Px(10), frame.bottom() + Px(1.5), Px(20), Px(3.5)),
                       Qt::AlignHCenter | Qt::AlignTop, TimeOfDay(cam));
        }
        const double gutter = frame.left() - Px(1.5);
        p.setPen(QColor(40, 90, 200));
        p.drawText(QRectF(0, frame.top() - Px(1.5), gutter, Px(3.5)), Qt::AlignRight,
                   QString::number(topSpeed, 'f', 0));
        p.drawText(QRectF(0, frame.bottom() - Px(2.5), gutter, Px(3.5)), Qt::AlignRight, "0");
        p.setPen(QColor(210, 60, 40));
        p.drawText(QRectF(frame.right() + Px(1.5), frame.top() - Px(1.5), Px(12), Px(3.5)),
                   Qt::AlignLeft, "2 g");
        p.drawText(QRectF(frame.right() + Px(1.5), frame.bottom() - Px(2.5), Px(12), Px(3.5)),
                   Qt::AlignLeft, "0 g");
        p.setPen(Qt::black);
    }

    // What each line is, in a row below the time axis.
    void Legend(double top) {
        const struct {
            QColor colour;
            Qt::PenStyle style;
            QString text;
        } keys[] = {
            {QColor(40, 90, 200), Qt::SolidLine, T(ReportText::GraphSpeed).arg(SpeedUnit())},
            {QColor(210, 60, 40), Qt::SolidLine, T(ReportText::GForce)},
            {Qt::black, Qt::DashLine, T(ReportText::GraphMoment)},
        };
        p.setFont(page.Sans(7));
        double x = Px(14);
        for (const auto& k : keys) {
            p.setPen(QPen(k.colour, Px(0.5), k.style));
            p.drawLine(QPointF(x, top + Px(1.8)), QPointF(x + Px(6), top + Px(1.8)));
            p.setPen(Qt::black);
            const QRectF box(x + Px(7.5), top, Px(50), Px(3.6));
            p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, k.text);
            x += Px(7.5) + p.boundingRect(box, Qt::AlignLeft, k.text).width() + Px(6);
        }
    }

    void Graph() {
        page.Heading(T(ReportText::Graph));
        const double h = Px(45);
        page.Need(h + Px(18));
        const QRectF frame(Px(14), page.y + Px(2), page.Width() - Px(28), h);
        p.setPen(QPen(QColor(180, 180, 180), Px(0.2)));
        p.drawRect(frame);
        double top = 10;
        for (const TimedFix* f : ClipFixes()) top = std::max(top, Unit(f->fix.GetSpeed()));
        top = std::ceil(top / 10) * 10;
        Curves(frame, top);
        Axes(frame, top);
        p.setFont(page.Sans(7));
        p.drawText(QRectF(frame.left(), frame.bottom() + Px(5.5), frame.width(), Px(3.5)),
                   Qt::AlignHCenter, T(ReportText::GraphTime));
        Legend(frame.bottom() + Px(10));
        page.y = frame.bottom() + Px(16);
    }

    void Run() {
        page.Line(T(ReportText::Title), 18, true);
        Clip();
        Moment();
        Place();
        Speed();
        Stills();
        page.NewPage();
        Graph();
        Events();
        Parts();
        Redactions();
        Verified();
        Files();
    }
};

}  // namespace

void EnsureGuiApplication() {
    if (QGuiApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "tarvex-tool";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);  // lives as long as the program
}

namespace {

// Draws the whole report on pdf; the number of its pages.
int DrawReport(const PackageFacts& facts, QPdfWriter& pdf, int totalPages, bool* drawn) {
    const bool korean = facts.request->language == "ko";
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setResolution(300);
    pdf.setPageMargins(QMarginsF(18, 16, 18, 12), QPageLayout::Millimeter);
    const QString title = QString::fromUtf8(ReportWords(ReportText::Title, korean));
    const QString program = QString::fromStdString(facts.request->program);
    pdf.setTitle(title);
    pdf.setCreator(program + " " + kProgramVersion);
    const QString created =
        QString::fromStdString(FormatClockIso(facts.createdUtcSec)).replace('T', ' ') + " UTC";
    const QString footer = QString::fromUtf8(ReportWords(ReportText::Made, korean))
                               .arg(program, QString::fromLatin1(kProgramVersion), created);
    ReportPage page(pdf, footer, QString::fromUtf8(ReportWords(ReportText::PageOf, korean)),
                    totalPages);
    *drawn = page.Begin();
    if (!*drawn) return 0;
    Writer writer(facts, page);
    writer.Run();
    page.End();
    return page.Pages();
}

}  // namespace

bool WriteEvidenceReport(const PackageFacts& facts, const std::string& pdfPath,
                         std::string* error) {
    EnsureGuiApplication();
    bool drawn = false;
    int pages = 0;
    {
        // "Page N of M" needs M: the pages are laid out once into memory to count them.
        QBuffer counted;
        counted.open(QIODevice::WriteOnly);
        QPdfWriter dry(&counted);
        pages = DrawReport(facts, dry, 0, &drawn);
    }
    if (drawn) {
        QPdfWriter pdf(QString::fromStdString(pdfPath));
        DrawReport(facts, pdf, pages, &drawn);
    }
    QFile written(QString::fromStdString(pdfPath));
    if (!drawn || !written.exists() || written.size() == 0) {
        *error = "cannot write " + pdfPath;
        return false;
    }
    return true;
}

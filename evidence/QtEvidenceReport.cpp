#include "evidence/QtEvidenceReport.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>
#include <filesystem>

#include "telemetry/CameraClock.h"
#include "telemetry/EventDetector.h"
#include "telemetry/Gpx.h"

namespace {

constexpr double kMphPerKmh = 0.621371;
constexpr double kMetresPerDegree = 111320.0;

// The report's texts: English, Korean.
enum Text {
    kTitle,
    kMoment,
    kCameraClock,
    kUtc,
    kOffset,
    kOffsetHow,
    kNoOffset,
    kPlace,
    kNoPlace,
    kRouteNote,
    kSpeed,
    kSpeedAtMoment,
    kHighest,
    kFixValid,
    kFixInvalid,
    kGraph,
    kGForce,
    kEvents,
    kNoEvents,
    kStills,
    kFiles,
    kVerified,
    kVerifiedAll,
    kVerifiedNot,
    kHashes,
    kPage,
    kTextCount
};
const char* const kTexts[kTextCount][2] = {
    {"Evidence report", "증거 보고서"},
    {"The moment", "순간"},
    {"Camera clock", "카메라 시계"},
    {"UTC", "UTC"},
    {"Camera clock minus GPS time: %1 s", "카메라 시계 - GPS 시각: %1초"},
    {"Median over %1 valid GPS fixes of the recording, rounded to the second.",
     "녹화의 유효한 GPS 수신 %1개의 중앙값, 초 단위 반올림."},
    {"No valid GPS fix: the camera clock could not be checked; UTC unknown.",
     "유효한 GPS 수신 없음: 카메라 시계를 확인할 수 없으며 UTC는 알 수 없습니다."},
    {"The place", "장소"},
    {"Position left out, or no valid fix at the moment.",
     "위치 제외 또는 이 순간의 유효한 수신 없음."},
    {"Route of the clip from its GPS fixes; no map tiles used.",
     "GPS 수신으로 그린 구간의 경로 (지도 타일 없음)."},
    {"Speed", "속도"},
    {"At the moment: %1", "이 순간: %1"},
    {"Highest in the clip: %1", "구간 최고: %1"},
    {"GPS fix valid", "GPS 수신 유효"},
    {"GPS fix not valid", "GPS 수신 무효"},
    {"Speed and G-force over the clip", "구간의 속도와 G값"},
    {"G-force", "G값"},
    {"Driving events in the clip", "구간의 운전 이벤트"},
    {"None.", "없음."},
    {"Stills of the moment", "순간의 정지 화면"},
    {"Files", "파일"},
    {"What was verified", "확인한 내용"},
    {"Every one of the %1 video packets of clip.mp4 is equal, byte for byte, to the chunk of the "
     "original recording it was copied from.",
     "clip.mp4의 영상 패킷 %1개 모두가 복사해 온 원본 녹화의 청크와 바이트 단위로 같습니다."},
    {"The packet comparison did not hold: %1", "패킷 비교가 일치하지 않습니다: %1"},
    {"SHA256SUMS lists the SHA-256 of every file; `sha256sum -c SHA256SUMS` and `tarvex-tool "
     "verify` check them again.",
     "SHA256SUMS에 모든 파일의 SHA-256이 있습니다. `sha256sum -c SHA256SUMS`와 `tarvex-tool "
     "verify`로 다시 확인할 수 있습니다."},
    {"Page %1", "%1쪽"},
};

struct Writer {
    const PackageFacts& facts;
    bool korean;
    QPdfWriter& pdf;
    QPainter p;
    double y = 0;      // next line, in page units
    double width = 0;  // the printable width
    double height = 0;
    int page = 1;

    Writer(const PackageFacts& f, QPdfWriter& w)
        : facts(f), korean(f.request->language == "ko"), pdf(w) {}

    QString T(Text t) const { return QString::fromUtf8(kTexts[t][korean ? 1 : 0]); }
    QFont Font(double points, bool bold = false) const {
        QFont font(korean ? QStringLiteral("Noto Sans CJK KR") : QStringLiteral("Noto Sans"));
        font.setPointSizeF(points);
        font.setBold(bold);
        return font;
    }
    double Px(double mm) const { return mm * pdf.resolution() / 25.4; }

    void Line(const QString& text, double points = 10, bool bold = false) {
        p.setFont(Font(points, bold));
        const QRectF box(0, y, width, height);
        const QRectF used = p.boundingRect(box, Qt::TextWordWrap, text);
        if (y + used.height() > height) NewPage();
        p.drawText(QRectF(0, y, width, used.height()), Qt::TextWordWrap, text);
        y += used.height() + Px(1.2);
    }
    void Heading(Text t) {
        y += Px(3);
        Line(T(t), 13, true);
    }
    void NewPage() {
        Footer();
        pdf.newPage();
        ++page;
        y = 0;
    }
    void Footer() {
        p.setFont(Font(8));
        p.drawText(QRectF(0, height - Px(4), width, Px(4)), Qt::AlignRight, T(kPage).arg(page));
    }
    void Need(double space) {
        if (y + space > height - Px(6)) NewPage();
    }

    QString SpeedText(double kmh) const {
        return facts.request->mph ? QString::number(kmh * kMphPerKmh, 'f', 0) + " mph"
                                  : QString::number(kmh, 'f', 0) + " km/h";
    }
    double Unit(double kmh) const { return facts.request->mph ? kmh * kMphPerKmh : kmh; }

    const TimedFix* FixAt(int64_t ms) const {
        const int64_t i = NearestValidFix(facts.timeline.fixes, ms);
        if (i < 0) return nullptr;
        const TimedFix& f = facts.timeline.fixes[static_cast<size_t>(i)];
        return std::llabs(f.timeMs - ms) <= 1500 ? &f : nullptr;
    }
    std::vector<const TimedFix*> ClipFixes() const {
        std::vector<const TimedFix*> out;
        for (const TimedFix& f : facts.timeline.fixes)
            if (f.fix.IsUsable() && f.timeMs >= facts.clipFromMs && f.timeMs < facts.clipToMs)
                out.push_back(&f);
        return out;
    }

    void Moment() {
        Heading(kMoment);
        Line(T(kCameraClock) + ": " +
                 QString::fromStdString(FormatClockIsoMs(facts.cameraMs)).replace('T', ' '),
             12, true);
        if (facts.clockOffsetSec) {
            Line(T(kUtc) + ": " +
                 QString::fromStdString(
                     FormatClockIsoMs(facts.cameraMs - *facts.clockOffsetSec * 1000))
                     .replace('T', ' ') +
                 " Z");
            Line(T(kOffset).arg(*facts.clockOffsetSec));
            Line(T(kOffsetHow).arg(facts.clockFixes), 9);
        } else {
            Line(T(kNoOffset));
        }
    }

    void Place() {
        Heading(kPlace);
        const TimedFix* at = facts.request->noPosition ? nullptr : FixAt(facts.momentMs);
        if (!at) {
            Line(T(kNoPlace));
            return;
        }
        Line(QString::asprintf("%.6f, %.6f", at->fix.GetLatitude(), at->fix.GetLongitude()), 11,
             true);
        Route(at);
    }

    void Route(const TimedFix* at) {
        const std::vector<const TimedFix*> fixes = ClipFixes();
        if (fixes.size() < 2) return;
        const double box = Px(70);
        Need(box + Px(10));
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
        const QRectF frame(0, y, box * 1.6, box);
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
        // Scale bar: a round length near a quarter of the frame.
        const double wanted = frame.width() / 4 / scale;
        const double step = std::pow(10, std::floor(std::log10(wanted)));
        const double metres = wanted >= 5 * step ? 5 * step : wanted >= 2 * step ? 2 * step : step;
        const QPointF bar(frame.left() + Px(4), frame.bottom() - Px(4));
        p.setPen(QPen(Qt::black, Px(0.4)));
        p.drawLine(bar, bar + QPointF(metres * scale, 0));
        p.setFont(Font(7));
        p.drawText(bar + QPointF(0, -Px(1)), metres >= 1000 ? QString::number(metres / 1000) + " km"
                                                            : QString::number(metres) + " m");
        y += box + Px(2);
        Line(T(kRouteNote), 8);
    }

    void Speed() {
        Heading(kSpeed);
        const TimedFix* at = FixAt(facts.momentMs);
        double highest = 0;
        for (const TimedFix* f : ClipFixes()) highest = std::max(highest, f->fix.GetSpeed());
        Line(T(kSpeedAtMoment).arg(at ? SpeedText(at->fix.GetSpeed()) : QStringLiteral("-")) +
                 "   (" + (at ? T(kFixValid) : T(kFixInvalid)) + ")",
             11, true);
        Line(T(kHighest).arg(SpeedText(highest)));
    }

    void Graph() {
        Heading(kGraph);
        const double h = Px(45);
        Need(h + Px(8));
        const QRectF frame(Px(10), y, width - Px(12), h);
        p.setPen(QPen(QColor(180, 180, 180), Px(0.2)));
        p.drawRect(frame);
        const double span = std::max<double>(1, facts.clipToMs - facts.clipFromMs);
        auto xAt = [&](int64_t ms) {
            return frame.left() + (ms - facts.clipFromMs) / span * frame.width();
        };
        double top = 10;
        for (const TimedFix* f : ClipFixes()) top = std::max(top, Unit(f->fix.GetSpeed()));
        QPainterPath speed;
        bool first = true;
        for (const TimedFix* f : ClipFixes()) {
            const QPointF pt(xAt(f->timeMs), frame.bottom() - Unit(f->fix.GetSpeed()) / top * h);
            first ? speed.moveTo(pt) : speed.lineTo(pt);
            first = false;
        }
        p.setPen(QPen(QColor(40, 90, 200), Px(0.5)));
        p.drawPath(speed);
        const double unitsPerG = EventThresholds().unitsPerG;
        QPainterPath g;
        first = true;
        for (const TimedSample& s : facts.timeline.samples) {
            if (s.timeMs < facts.clipFromMs || s.timeMs >= facts.clipToMs) continue;
            const double force = std::hypot(s.sample.x, s.sample.y) / unitsPerG;
            const QPointF pt(xAt(s.timeMs), frame.bottom() - std::min(force, 2.0) / 2.0 * h);
            first ? g.moveTo(pt) : g.lineTo(pt);
            first = false;
        }
        p.setPen(QPen(QColor(210, 60, 40), Px(0.4)));
        p.drawPath(g);
        p.setPen(QPen(Qt::black, Px(0.3), Qt::DashLine));
        p.drawLine(QPointF(xAt(facts.momentMs), frame.top()),
                   QPointF(xAt(facts.momentMs), frame.bottom()));
        p.setFont(Font(7));
        p.setPen(QColor(40, 90, 200));
        p.drawText(QPointF(0, frame.top() + Px(3)),
                   QString::number(top, 'f', 0) + (facts.request->mph ? " mph" : " km/h"));
        p.setPen(QColor(210, 60, 40));
        p.drawText(QPointF(0, frame.top() + Px(7)), T(kGForce) + " 2 g");
        p.setPen(Qt::black);
        y += h + Px(3);
    }

    void Events() {
        Heading(kEvents);
        std::vector<TimedSample> samples;
        for (const TimedSample& s : facts.timeline.samples)
            if (s.timeMs >= facts.clipFromMs && s.timeMs < facts.clipToMs) samples.push_back(s);
        const std::vector<DrivingEvent> events = DetectEvents(samples);
        if (events.empty()) Line(T(kNoEvents));
        for (const DrivingEvent& e : events)
            Line(QString::asprintf("%s  +%.1f s  %.2f g", DrivingEventName(e.kind),
                                   (e.timeMs - facts.clipFromMs) / 1000.0, e.peakG));
    }

    void Stills() {
        Heading(kStills);
        const double w = (width - Px(4)) / 2;
        double tallest = 0;
        double x = 0;
        for (const std::string& path : facts.stills) {
            const QImage image(QString::fromStdString(path));
            if (image.isNull()) continue;
            const double h = w * image.height() / std::max(1, image.width());
            Need(h + Px(8));
            p.drawImage(QRectF(x, y, w, h), image);
            p.setFont(Font(7));
            p.drawText(QPointF(x, y + h + Px(3)),
                       QString::fromStdString(std::filesystem::path(path).filename().string()));
            tallest = std::max(tallest, h);
            x += w + Px(4);
        }
        y += tallest + Px(6);
    }

    void Files() {
        Heading(kFiles);
        for (const PackageFacts::File& f : facts.files) {
            Line(QString::fromStdString(f.path) + "  (" + QString::number(f.size) + " B)", 8, true);
            Line(QString::fromStdString(f.sha256), 7);
        }
    }

    void Verified() {
        Heading(kVerified);
        int64_t compared = 0;
        QString mismatch;
        for (const TrackProof& t : facts.proof) {
            compared += t.compared;
            if (!t.Holds())
                mismatch = QString::fromStdString(t.mismatch.empty() ? "-" : t.mismatch);
        }
        Line(mismatch.isEmpty() && !facts.proof.empty() ? T(kVerifiedAll).arg(compared)
                                                        : T(kVerifiedNot).arg(mismatch));
        Line(T(kHashes), 9);
    }

    void Run() {
        width = pdf.width();
        height = pdf.height();
        Line(T(kTitle), 18, true);
        Moment();
        Place();
        Speed();
        Stills();
        NewPage();
        Graph();
        Events();
        Verified();
        Files();
        Footer();
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

bool WriteEvidenceReport(const PackageFacts& facts, const std::string& pdfPath,
                         std::string* error) {
    EnsureGuiApplication();
    {
        QPdfWriter pdf(QString::fromStdString(pdfPath));
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setResolution(300);
        pdf.setPageMargins(QMarginsF(18, 16, 18, 16), QPageLayout::Millimeter);
        pdf.setTitle(QString::fromUtf8(kTexts[kTitle][facts.request->language == "ko" ? 1 : 0]));
        pdf.setCreator(QString::fromStdString(facts.request->program));
        Writer writer(facts, pdf);
        if (!writer.p.begin(&pdf)) {
            *error = "cannot write " + pdfPath;
            return false;
        }
        writer.Run();
        writer.p.end();
    }
    QFile written(QString::fromStdString(pdfPath));
    if (!written.exists() || written.size() == 0) {
        *error = "cannot write " + pdfPath;
        return false;
    }
    return true;
}

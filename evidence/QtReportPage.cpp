#include "evidence/QtReportPage.h"

#include <QFontMetricsF>
#include <QPdfWriter>
#include <QStringList>
#include <algorithm>

namespace {

constexpr double kFooterMm = 7;
constexpr double kLineGapMm = 1.2;
constexpr double kFooterPoints = 7.5;
// Hashes and other fixed-width text break after a multiple of this many characters.
constexpr int kMonoGroupChars = 8;
constexpr double kNoLigatureSpacing = 0.1;  // a tenth of a dot at 300 dpi: not seen

}  // namespace

ReportPage::ReportPage(QPdfWriter& pdf, QString footer, QString pageOf, int totalPages)
    : m_pdf(pdf), m_footer(std::move(footer)), m_pageOf(std::move(pageOf)), m_total(totalPages) {}

bool ReportPage::Begin() {
    if (!m_painter.begin(&m_pdf)) return false;
    m_width = m_pdf.width();
    m_bottom = m_pdf.height() - Px(kFooterMm);
    return true;
}

void ReportPage::End() {
    Footer();
    m_painter.end();
}

double ReportPage::Px(double mm) const {
    return mm * m_pdf.resolution() / 25.4;
}

QFont ReportPage::Sans(double points, bool bold) const {
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans CJK KR")});
    font.setPointSizeF(points);
    font.setBold(bold);
    // Any letter spacing turns ligatures off: "fi" set as one glyph comes out of the text
    // layer as U+FB01, and a search for "fix" misses it.
    font.setLetterSpacing(QFont::AbsoluteSpacing, kNoLigatureSpacing);
    return font;
}

QFont ReportPage::Mono(double points) const {
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans Mono")});
    font.setStyleHint(QFont::Monospace);
    font.setPointSizeF(points);
    return font;
}

void ReportPage::Line(const QString& text, double points, bool bold) {
    m_painter.setFont(Sans(points, bold));
    const QRectF used =
        m_painter.boundingRect(QRectF(0, 0, m_width, m_bottom), Qt::TextWordWrap, text);
    Need(used.height());
    m_painter.drawText(QRectF(0, y, m_width, used.height()), Qt::TextWordWrap, text);
    y += used.height() + Px(kLineGapMm);
}

void ReportPage::MonoLine(const QString& text, double points) {
    const QFont font = Mono(points);
    m_painter.setFont(font);
    const QFontMetricsF metrics(font, m_painter.device());
    const double charWidth = std::max(1.0, metrics.horizontalAdvance(QLatin1Char('0')));
    int perLine = static_cast<int>(m_width / charWidth) / kMonoGroupChars * kMonoGroupChars;
    perLine = std::max(perLine, kMonoGroupChars);
    for (qsizetype at = 0; at < text.size(); at += perLine) {
        Need(metrics.height());
        m_painter.drawText(QPointF(0, y + metrics.ascent()), text.mid(at, perLine));
        y += metrics.height();
    }
    y += Px(kLineGapMm);
}

void ReportPage::Heading(const QString& text) {
    y += Px(3);
    Need(Px(20));  // a heading never ends a page
    Line(text, 13, true);
}

void ReportPage::Need(double space) {
    if (y + space > m_bottom) NewPage();
}

void ReportPage::NewPage() {
    Footer();
    m_pdf.newPage();
    ++m_page;
    y = 0;
}

void ReportPage::Footer() {
    const QFont font = Sans(kFooterPoints);
    m_painter.setFont(font);
    m_painter.setPen(Qt::black);
    const QRectF box(0, m_bottom + Px(2), m_width, Px(kFooterMm - 2));
    m_painter.drawText(box, Qt::AlignLeft | Qt::AlignBottom, m_footer);
    const QString total = m_total > 0 ? QString::number(m_total) : QStringLiteral("?");
    m_painter.drawText(box, Qt::AlignRight | Qt::AlignBottom, m_pageOf.arg(m_page).arg(total));
}

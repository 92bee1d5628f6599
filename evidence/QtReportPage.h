#pragma once
// The report's pages: a QPainter on a QPdfWriter with the running position, page breaks and
// the footer of each page (who made the report, when, and "Page N of M").
//
// Latin text, digits and hashes are set in DejaVu Sans and DejaVu Sans Mono; only the
// characters those lack (Hangul) fall through to Noto Sans CJK. A CJK font's own digits come
// out of the PDF writer's subset without a usable text mapping, so a report set wholly in it
// would print its times and hashes but not let anyone copy them.

#include <QFont>
#include <QPainter>
#include <QString>

class QPdfWriter;

class ReportPage {
public:
    // totalPages 0: not known yet (a first run that only counts the pages).
    ReportPage(QPdfWriter& pdf, QString footer, QString pageOf, int totalPages);

    bool Begin();
    // Draws the last footer and closes the document.
    void End();

    QPainter& Painter() { return m_painter; }
    double Px(double mm) const;
    QFont Sans(double points, bool bold = false) const;
    QFont Mono(double points) const;

    // A paragraph, wrapped at the page's width, on a new page when it does not fit.
    void Line(const QString& text, double points = 10, bool bold = false);
    // Monospaced text cut into pieces of a fixed number of characters, as many as fit the
    // width (a SHA-256 stays whole on one line of A4).
    void MonoLine(const QString& text, double points);
    void Heading(const QString& text);
    // Starts a new page unless space (page units) is left on this one.
    void Need(double space);
    void NewPage();

    int Pages() const { return m_page; }
    double Width() const { return m_width; }
    double y = 0;  // the next line, in page units

private:
    void Footer();

    QPdfWriter& m_pdf;
    QPainter m_painter;
    QString m_footer;
    QString m_pageOf;  // "Page %1 of %2"
    int m_total = 0;
    int m_page = 1;
    double m_width = 0;
    double m_bottom = 0;  // where the footer starts
};

// The real message boxes and the real receipt printer.
#include "kit/qt_services.h"

#include <QApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QMessageBox>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScopeGuard>

#include <algorithm>
#include <limits>

namespace tarvino {

namespace {
QMessageBox::Icon boxIcon(Messages::Icon icon)
{
    switch (icon) {
    case Messages::Icon::Exclamation:
        return QMessageBox::Warning;
    case Messages::Icon::Critical:
        return QMessageBox::Critical;
    case Messages::Icon::Information:
        return QMessageBox::Information;
    case Messages::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// A carriage return in a message starts a new line on screen.
QString shown(QString text)
{
    return text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

// Metric-compatible with Arial, the proportional face roll-printer drivers print in by default.
const QString kReceiptFont = QStringLiteral("Liberation Sans");
// The printer's own size, for a receipt that sets none.
constexpr double kDefaultPoints = 10;
// Nothing is shrunk below this to make a line fit.
constexpr double kSmallestPoints = 7;
// A job that does not say its roll is for the wider one.
constexpr double kDefaultRollWidth = 80;
// Above the first line and below the last, in mm.
constexpr double kEndMargin = 2;
// Length of the page the layout is first measured on, in mm; any will do.
constexpr double kTrialLength = 200;
// The shrink is searched in at most this many steps of at least this ratio.
constexpr int kFitAttempts = 100;
constexpr double kFitStep = 1.002;
// What a page length may fall short of its lines through rounding, in mm.
constexpr double kPageSlack = 0.5;

// The width a thermal head prints on a roll: 48 mm of a 58 mm roll, 72 mm of an 80 mm one.
double headWidth(double rollWidth)
{
    return rollWidth - (rollWidth < 70 ? 10 : 8);
}

QFont receiptFont(double points, bool bold)
{
    QFont font(kReceiptFont);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// The text without its trailing blanks, which take room but leave no ink.
QString inked(const QString& text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).isSpace())
        --end;
    return text.left(end);
}

QPageLayout rollPage(double width, double length, const QMarginsF& margins)
{
    return QPageLayout(QPageSize(QSizeF(width, length), QPageSize::Millimeter, QString(),
                                 QPageSize::ExactMatch),
                       QPageLayout::Portrait, margins, QPageLayout::Millimeter);
}
} // namespace

void QtMessages::inform(const QString& text, const QString& title, Icon icon)
{
    QMessageBox box(boxIcon(icon), title, shown(text), QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

bool QtMessages::ask(const QString& text, const QString& title)
{
    QMessageBox box(QMessageBox::NoIcon, title, shown(text), QMessageBox::Yes | QMessageBox::No,
                    QApplication::activeWindow());
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

QtPrinter::QtPrinter(const QString& pdfPath) : m_pdfPath(pdfPath) {}

void QtPrinter::setRollWidth(double millimetres)
{
    m_rollWidth = millimetres;
}

void QtPrinter::setCurrentX(int twips)
{
    m_x = twips;
}

void QtPrinter::setFontSize(double points)
{
    m_size = points;
}

void QtPrinter::setBold(bool bold)
{
    m_bold = bold;
}

void QtPrinter::print(const QString& text, bool lineEnds)
{
    m_current << Piece{m_x, text, m_size, m_bold};
    m_x = -1;
    if (lineEnds) {
        m_lines << m_current;
        m_current.clear();
    }
}

void QtPrinter::reset()
{
    m_lines.clear();
    m_current.clear();
    m_x = -1;
    m_size = kDefaultPoints;
    m_bold = false;
    m_rollWidth = kDefaultRollWidth;
}

QtPrinter::Job QtPrinter::layOut(const QPaintDevice& device, double printableWidth) const
{
    const double dotsPerMmX = device.logicalDpiX() / 25.4;
    const double dotsPerMmY = device.logicalDpiY() / 25.4;
    const double dotsPerTwip = device.logicalDpiX() / 1440.0;
    const double available = printableWidth * dotsPerMmX;
    const auto advance = [&device](const Piece& piece, double scale, const QString& text) {
        return QFontMetricsF(receiptFont(piece.size * scale, piece.bold), &device)
            .horizontalAdvance(text);
    };

    // Every text has to end inside the printable width. Counted from its line's last set
    // position (or the left margin), the texts since that position grow with the font while the
    // position itself stays where it is on the paper. The result is how many times too wide the
    // worst of them is at the given scale.
    const auto overshoot = [&](double scale) {
        double worst = 0;
        for (const Line& line : m_lines) {
            double anchor = 0;
            double run = 0;
            for (const Piece& piece : line) {
                if (piece.x >= 0) {
                    anchor = piece.x * dotsPerTwip;
                    run = 0;
                }
                const double ink = run + advance(piece, scale, inked(piece.text));
                if (ink > 0 && anchor < available)
                    worst = std::max(worst, ink / (available - anchor));
                run += advance(piece, scale, piece.text);
            }
        }
        return worst;
    };
    double smallest = std::numeric_limits<double>::max();
    for (const Line& line : m_lines) {
        for (const Piece& piece : line)
            smallest = std::min(smallest, piece.size);
    }
    // A line too long even in the smallest readable print (a long product name on a narrow
    // roll) is cut by the paper's edge rather than shrink the whole receipt out of reach.
    const double least = std::min(1.0, kSmallestPoints / smallest);
    // Fonts come in whole device pixels, so widths are not quite proportional to the size: the
    // size found from one measure is checked, and trimmed a little more where it still overflows.
    double scale = 1;
    for (int attempt = 0; attempt < kFitAttempts && scale > least; ++attempt) {
        const double over = overshoot(scale);
        if (over <= 1)
            break;
        scale = std::max(least, scale / std::max(over, kFitStep));
    }

    Job job;
    job.scale = scale;
    double y = 0;
    for (const Line& line : m_lines) {
        double ascent = 0;
        double height = 0;
        for (const Piece& piece : line) {
            const QFontMetricsF metrics(receiptFont(piece.size * scale, piece.bold), &device);
            ascent = std::max(ascent, metrics.ascent());
            height = std::max(height, metrics.lineSpacing());
        }
        double x = 0;
        for (const Piece& piece : line) {
            if (piece.x >= 0)
                x = piece.x * dotsPerTwip;
            job.texts << PlacedText{piece.text,
                                    piece.size * scale,
                                    piece.bold,
                                    QPointF(x / dotsPerMmX, (y + ascent) / dotsPerMmY),
                                    advance(piece, scale, inked(piece.text)) / dotsPerMmX,
                                    y / dotsPerMmY,
                                    height / dotsPerMmY};
            x += advance(piece, scale, piece.text);
        }
        y += height;
    }
    return job;
}

void QtPrinter::render(QPrinter& printer, QPainter& painter) const
{
    const double dotsPerMmX = printer.logicalDpiX() / 25.4;
    const double dotsPerMmY = printer.logicalDpiY() / 25.4;
    const double pageLength = printer.height() / dotsPerMmY;
    double offset = 0;
    for (const PlacedText& text : m_job.texts) {
        // A driver that would not take a page of the receipt's length gets the rest on more.
        if (text.top > offset && text.top + text.height - offset > pageLength + kPageSlack) {
            printer.newPage();
            offset = text.top;
        }
        painter.setFont(receiptFont(text.points, text.bold));
        painter.drawText(QPointF(text.baseline.x() * dotsPerMmX,
                                 (text.baseline.y() - offset) * dotsPerMmY),
                         text.text);
    }
}

void QtPrinter::endDocument()
{
    if (!m_current.isEmpty()) {
        m_lines << m_current;
        m_current.clear();
    }
    const auto done = qScopeGuard([this] { reset(); });
    QPrinter printer(QPrinter::HighResolution);
    if (m_pdfPath.isEmpty()) {
        const QPrinterInfo info = QPrinterInfo::defaultPrinter();
        if (info.isNull())
            throw PrinterError(QStringLiteral("no hay una impresora predeterminada"));
        printer.setPrinterName(info.printerName());
    } else {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_pdfPath);
    }
    printer.setDocName(QStringLiteral("Boleta Tarvino"));

    // The page is the roll: first as wide as it, to learn what the driver leaves printable, then
    // as long as the lines laid out on that width.
    const double side = (m_rollWidth - headWidth(m_rollWidth)) / 2;
    const QMarginsF margins(side, kEndMargin, side, kEndMargin);
    printer.setPageLayout(rollPage(m_rollWidth, kTrialLength, margins));
    const QPageLayout trial = printer.pageLayout();
    const double printable =
        std::min(trial.paintRect(QPageLayout::Millimeter).width(), headWidth(m_rollWidth));
    Job job = layOut(printer, printable);
    const double length = job.texts.isEmpty()
                              ? 0
                              : job.texts.last().top + job.texts.last().height;
    const QMarginsF kept = trial.margins(QPageLayout::Millimeter);
    printer.setPageLayout(rollPage(m_rollWidth, kept.top() + length + kept.bottom(), kept));
    const QPageLayout page = printer.pageLayout();
    job.rollWidth = m_rollWidth;
    job.page = page.fullRect(QPageLayout::Millimeter).size();
    job.margins = page.margins(QPageLayout::Millimeter);
    m_job = job;

    QPainter painter;
    if (!painter.begin(&printer))
        throw PrinterError(QStringLiteral("la impresora no respondió"));
    render(printer, painter);
    if (!painter.end() || printer.printerState() == QPrinter::Error)
        throw PrinterError(QStringLiteral("la impresora no aceptó el trabajo"));
}

} // namespace tarvino

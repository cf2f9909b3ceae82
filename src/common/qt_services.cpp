// The real message boxes and the real receipt printer.
#include "common/qt_services.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QMessageBox>
#include <QPainter>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>

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

const QString kReceiptFont = QStringLiteral("Liberation Mono");
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

QtPrinter::QtPrinter(const QString& pdfPath, double rollWidthMm)
    : m_pdfPath(pdfPath), m_rollWidthMm(rollWidthMm)
{
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
    m_size = 10;
    m_bold = false;
}

void QtPrinter::render(QPagedPaintDevice& device, QPainter& painter)
{
    const double dotsPerTwip = device.logicalDpiX() / 1440.0;
    const auto fontFor = [](const Piece& piece, double scale) {
        QFont font(kReceiptFont);
        font.setStyleHint(QFont::Monospace);
        font.setPointSizeF(piece.size * scale);
        font.setBold(piece.bold);
        return font;
    };

    // The font shrinks until the widest line printed from the left margin (the date, the rules,
    // the column titles) fits the roll; lines with set positions do not count, since their
    // positions are distances on the paper and stay as they are. A printer with wider paper
    // than an 80 mm roll still gets the receipt at roll width.
    const double rollWidth = 72.0 / 25.4 * device.logicalDpiX(); // printable width of 80 mm rolls
    const double paperWidth = std::min<double>(device.width(), rollWidth);
    double widest = 1;
    for (const Line& line : std::as_const(m_lines)) {
        if (line.isEmpty() || line.first().x >= 0)
            continue;
        double width = 0;
        for (const Piece& piece : line)
            width += QFontMetricsF(fontFor(piece, 1), &device).horizontalAdvance(piece.text);
        widest = std::max(widest, width);
    }
    const double scale = std::min(1.0, paperWidth / widest);

    double y = 0;
    for (const Line& line : std::as_const(m_lines)) {
        double height = 0;
        for (const Piece& piece : line)
            height = std::max(height, QFontMetricsF(fontFor(piece, scale), &device).lineSpacing());
        if (y + height > device.height()) {
            device.newPage();
            y = 0;
        }
        double x = 0;
        for (const Piece& piece : line) {
            const QFont font = fontFor(piece, scale);
            const QFontMetricsF metrics(font, &device);
            if (piece.x >= 0)
                x = piece.x * dotsPerTwip;
            painter.setFont(font);
            painter.drawText(QPointF(x, y + metrics.ascent()), piece.text);
            x += metrics.horizontalAdvance(piece.text);
        }
        y += height;
    }
}

void QtPrinter::endDocument()
{
    if (!m_current.isEmpty()) {
        m_lines << m_current;
        m_current.clear();
    }
    QPrinter printer(QPrinter::HighResolution);
    if (m_pdfPath.isEmpty()) {
        const QPrinterInfo info = QPrinterInfo::defaultPrinter();
        if (info.isNull()) {
            reset();
            throw PrinterError(QStringLiteral("no hay una impresora predeterminada"));
        }
        printer.setPrinterName(info.printerName());
    } else {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_pdfPath);
        printer.setPageSize(QPageSize(QSizeF(m_rollWidthMm, 200), QPageSize::Millimeter));
        printer.setPageMargins(QMarginsF(3, 3, 3, 3), QPageLayout::Millimeter);
    }
    printer.setDocName(QStringLiteral("Boleta Tarvino"));
    QPainter painter;
    if (!painter.begin(&printer)) {
        reset();
        throw PrinterError(QStringLiteral("la impresora no respondió"));
    }
    render(printer, painter);
    const bool ok = painter.end();
    reset();
    if (!ok || printer.printerState() == QPrinter::Error)
        throw PrinterError(QStringLiteral("la impresora no aceptó el trabajo"));
}

} // namespace tarvino

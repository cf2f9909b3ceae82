// The real message boxes and the real receipt printer.
#pragma once

#include "common/services.h"

#include <QFont>
#include <QVector>

class QPainter;
class QPagedPaintDevice;

namespace tarvino {

// Message boxes with the exact text, title, icon and buttons asked for.
class QtMessages final : public Messages {
public:
    void inform(const QString& text, const QString& title, Icon icon) override;
    bool ask(const QString& text, const QString& title) override;
};

// Prints on the system's default printer in a monospace font, shrunk when needed so that the
// lines printed from the left margin fit an 80 mm roll (or narrower paper); set positions are
// distances on the paper. With a PDF path it writes the receipt there instead, on a roll of
// the given width, which is how a layout can be looked at without a printer.
class QtPrinter final : public Printer {
public:
    QtPrinter() = default;
    QtPrinter(const QString& pdfPath, double rollWidthMm);

    void setCurrentX(int twips) override;
    void setFontSize(double points) override;
    void setBold(bool bold) override;
    void print(const QString& text, bool lineEnds) override;
    void endDocument() override;

private:
    struct Piece {
        int x = -1; // twips; -1 continues right after the previous piece
        QString text;
        double size = 10;
        bool bold = false;
    };
    using Line = QVector<Piece>;

    void render(QPagedPaintDevice& device, QPainter& painter);
    void reset();

    QString m_pdfPath;
    double m_rollWidthMm = 80;
    QVector<Line> m_lines;
    Line m_current;
    int m_x = -1;
    double m_size = 10;
    bool m_bold = false;
};

} // namespace tarvino

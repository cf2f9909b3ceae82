// The real message boxes and the real receipt printer.
#pragma once

#include "common/services.h"

#include <QMarginsF>
#include <QPointF>
#include <QSizeF>
#include <QVector>

class QPaintDevice;
class QPainter;
class QPrinter;

namespace tarvino {

// Message boxes with the exact text, title, icon and buttons asked for.
class QtMessages final : public Messages {
public:
    void inform(const QString& text, const QString& title, Icon icon) override;
    bool ask(const QString& text, const QString& title) override;
};

// Prints on the system's default printer in Liberation Sans (metric-compatible with Arial, the
// face roll-printer drivers default to) at the sizes the receipt sets, 10 pt where it sets none.
// Each job is one page as wide as its roll and as long as its lines, so that a driver whose own
// sheet is A4 does not feed a sheet per receipt. The font shrinks only as far as the widest line
// needs to fit the roll's printable width; set positions are distances on the paper. With a PDF
// path it writes the receipt there instead, which is how a layout can be looked at without a
// printer.
class QtPrinter final : public Printer {
public:
    // One text as the last job put it on paper, in millimetres from the top-left corner of the
    // printable area (where twip positions start).
    struct PlacedText {
        QString text;
        double points = 0;
        bool bold = false;
        QPointF baseline;  // where the text starts on its baseline
        double width = 0;  // without trailing blanks, which leave no ink
        double top = 0;    // top of the text's line
        double height = 0; // height of the text's line
    };
    // The last job's page and how far its font was shrunk.
    struct Job {
        double rollWidth = 0; // mm
        QSizeF page;          // mm
        QMarginsF margins;    // mm
        double scale = 1;     // printed size / set size
        QVector<PlacedText> texts;
    };

    QtPrinter() = default;
    explicit QtPrinter(const QString& pdfPath);

    void setRollWidth(double millimetres) override;
    void setCurrentX(int twips) override;
    void setFontSize(double points) override;
    void setBold(bool bold) override;
    void print(const QString& text, bool lineEnds) override;
    void endDocument() override;

    const Job& lastJob() const { return m_job; }

private:
    struct Piece {
        int x = -1; // twips; -1 continues right after the previous piece
        QString text;
        double size = 10;
        bool bold = false;
    };
    using Line = QVector<Piece>;

    Job layOut(const QPaintDevice& device, double printableWidth) const;
    void render(QPrinter& printer, QPainter& painter) const;
    void reset();

    QString m_pdfPath;
    double m_rollWidth = 80;
    QVector<Line> m_lines;
    Line m_current;
    int m_x = -1;
    double m_size = 10;
    bool m_bold = false;
    Job m_job;
};

} // namespace tarvino

// Fake services for tests: scripted messages, a settable clock, a recording printer and a recording
// spreadsheet.
#pragma once

#include "common/services.h"

#include <QList>
#include <QMap>
#include <QQueue>
#include <QStringList>
#include <QVariant>

#include <functional>

namespace tarvino::test {

// Records every box; questions are answered from a script (an unscripted question answers No and
// is recorded as unexpected).
class FakeMessages final : public Messages {
public:
    struct Box {
        enum Kind { Inform, Ask } kind;
        QString text;
        QString title;
        Icon icon;
    };

    void inform(const QString& text, const QString& title, Icon icon) override;
    bool ask(const QString& text, const QString& title) override;

    void answer(bool yes) { m_answers.enqueue(yes); }
    QStringList texts() const;
    QString lastText() const { return boxes.isEmpty() ? QString() : boxes.last().text; }
    void clear() { boxes.clear(); }

    QList<Box> boxes;
    int unexpectedQuestions = 0;

private:
    QQueue<bool> m_answers;
};

// A clock that stands still unless set or advanced.
class FakeClock final : public Clock {
public:
    explicit FakeClock(const QDateTime& start = QDateTime(QDate(2026, 3, 9), QTime(9, 5, 7)))
        : current(start)
    {
    }
    QDateTime now() const override;
    void advance(int seconds) { current = current.addSecs(seconds); }
    QDateTime current;
    // Seconds added after each reading, to tell apart stamps taken one after another.
    int step = 0;
};

// Records each print with the position and font it was made with; documents are split at
// endDocument, each with the roll width said for it. A failure can be scripted for the next
// endDocument.
class FakePrinter final : public Printer {
public:
    struct Print {
        int x; // twips, -1 when continuing after the previous print
        QString text;
        bool lineEnds;
        double size;
        bool bold;
    };
    using Document = QList<Print>;

    void setRollWidth(double millimetres) override { m_rollWidth = millimetres; }
    void setCurrentX(int twips) override { m_x = twips; }
    void setFontSize(double points) override { m_size = points; }
    void setBold(bool bold) override { m_bold = bold; }
    void print(const QString& text, bool lineEnds) override;
    void endDocument() override;

    // The printed lines of a document, each the concatenation of its prints, with the position
    // of every print that set one: "[2500]Total       $ 1.500,".
    static QStringList lines(const Document& document);

    QList<Document> documents;
    QList<double> rollWidths; // one per document; 0 when its job never said
    QString failNext; // when set, the next endDocument throws PrinterError with this text

private:
    Document m_current;
    double m_rollWidth = 0;
    int m_x = -1;
    double m_size = 0;
    bool m_bold = false;
};

// Records the cells of each workbook: a text cell holds a QString, a number cell a double. A
// failure can be scripted for the n-th cell written from now, or for the next show.
class FakeSpreadsheet final : public Spreadsheet {
public:
    struct Cell {
        QVariant value;
        CellFont font;
    };
    struct Workbook {
        QString title;
        QMap<int, double> widths;              // by column
        QMap<std::pair<int, int>, Cell> cells; // by (row, column)
        int lastRow() const { return cells.isEmpty() ? 0 : cells.lastKey().first; }
        QVariant value(int row, int column) const { return cells.value({row, column}).value; }
    };

    void newWorkbook(const QString& title) override;
    void setColumnWidth(int column, double characters) override;
    void setText(int row, int column, QStringView text, const CellFont& font = {}) override;
    void setNumber(int row, int column, double value) override;
    void show() override;
    void discard() noexcept override;

    bool open = false;       // a workbook is being filled
    Workbook current;        // the one being filled, or the last one
    QList<Workbook> shown;   // every workbook handed to the user
    int discarded = 0;       // unfinished workbooks dropped
    int failAtCell = 0;      // the n-th cell written from now throws (1 = the next one); 0: none
    QString failOnShow;      // when set, the next show throws with this text
    QString failText = QStringLiteral("No se pudo escribir la planilla: el disco está lleno.");
    // Runs after each cell is written (a test looks at the window meanwhile).
    std::function<void(int row, int column)> afterCell;

private:
    void cell(int row, int column, const QVariant& value, const CellFont& font);
};

} // namespace tarvino::test

// Fake services for tests: scripted messages, a settable clock, a recording printer and a recording
// spreadsheet.
#include "support/fakes.h"

namespace tarvino::test {

void FakeMessages::inform(const QString& text, const QString& title, Icon icon)
{
    boxes << Box{Box::Inform, text, title, icon};
}

bool FakeMessages::ask(const QString& text, const QString& title)
{
    boxes << Box{Box::Ask, text, title, Icon::None};
    if (m_answers.isEmpty()) {
        ++unexpectedQuestions;
        return false;
    }
    return m_answers.dequeue();
}

QStringList FakeMessages::texts() const
{
    QStringList all;
    for (const Box& box : boxes)
        all << box.text;
    return all;
}

QDateTime FakeClock::now() const
{
    const QDateTime reading = current;
    const_cast<FakeClock*>(this)->current = current.addSecs(step);
    return reading;
}

void FakePrinter::print(const QString& text, bool lineEnds)
{
    m_current << Print{m_x, text, lineEnds, m_size, m_bold};
    m_x = -1;
}

void FakePrinter::endDocument()
{
    Document done = m_current;
    const double rollWidth = m_rollWidth;
    m_current.clear();
    m_rollWidth = 0;
    if (!failNext.isEmpty()) {
        const QString why = failNext;
        failNext.clear();
        throw PrinterError(why);
    }
    documents << done;
    rollWidths << rollWidth;
}

QStringList FakePrinter::lines(const Document& document)
{
    QStringList result;
    QString line;
    for (const Print& p : document) {
        if (p.x >= 0)
            line += QStringLiteral("[%1]").arg(p.x);
        line += p.text;
        if (p.lineEnds) {
            result << line;
            line.clear();
        }
    }
    if (!line.isEmpty())
        result << line;
    return result;
}

void FakeSpreadsheet::newWorkbook(const QString& title)
{
    discard();
    current = Workbook();
    current.title = title;
    open = true;
}

void FakeSpreadsheet::setColumnWidth(int column, double characters)
{
    if (!open)
        throw SpreadsheetError(QStringLiteral("No hay un libro abierto."));
    current.widths[column] = characters;
}

void FakeSpreadsheet::cell(int row, int column, const QVariant& value, const CellFont& font)
{
    if (!open)
        throw SpreadsheetError(QStringLiteral("No hay un libro abierto."));
    if (failAtCell > 0 && --failAtCell == 0)
        throw SpreadsheetError(failText);
    current.cells[{row, column}] = Cell{value, font};
    if (afterCell)
        afterCell(row, column);
}

void FakeSpreadsheet::setText(int row, int column, QStringView text, const CellFont& font)
{
    cell(row, column, QVariant(text.toString()), font);
}

void FakeSpreadsheet::setNumber(int row, int column, double value)
{
    cell(row, column, QVariant(value), {});
}

void FakeSpreadsheet::show()
{
    if (!open)
        throw SpreadsheetError(QStringLiteral("No hay un libro abierto."));
    open = false;
    if (!failOnShow.isEmpty()) {
        const QString why = failOnShow;
        failOnShow.clear();
        throw SpreadsheetError(why);
    }
    shown << current;
}

void FakeSpreadsheet::discard() noexcept
{
    if (!open)
        return;
    open = false;
    ++discarded;
}

} // namespace tarvino::test

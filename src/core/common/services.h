// The outside world as seen by the windows: messages, clock, printer and spreadsheet, each behind a
// small interface.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <stdexcept>

namespace tarvino {

// Title of every message box that does not name its own.
inline const QString kAppTitle = QStringLiteral("Tarvino 1.0");
// Caption of every window.
inline const QString kWindowCaption = QStringLiteral("TARVINO 1.0");
// Title of the sales window's questions.
inline const QString kConfirmTitle = QStringLiteral("Confirmación");

class Messages {
public:
    enum class Icon { None, Exclamation, Critical, Information };
    virtual ~Messages() = default;
    // A box with only an OK button.
    virtual void inform(const QString& text, const QString& title = kAppTitle,
                        Icon icon = Icon::None) = 0;
    // A question with Yes and No, no icon; true when the answer is Yes.
    virtual bool ask(const QString& text, const QString& title) = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    // The local date and time.
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override;
};

// A failure of the printer: not there, or the job could not be sent.
class PrinterError : public std::runtime_error {
public:
    explicit PrinterError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {
    }
    QString message() const { return m_message; }

private:
    QString m_message;
};

// A roll printer driven line by line: positions are horizontal offsets in twips from the left edge.
// The first print starts a job; endDocument sends it (and throws PrinterError when it cannot).
class Printer {
public:
    virtual ~Printer() = default;
    // The width in millimetres of the roll the job is laid out for (58 or 80); said before the
    // first print of each job, so that the page is cut to the roll and not to the driver's sheet.
    virtual void setRollWidth(double millimetres) = 0;
    virtual void setCurrentX(int twips) = 0;
    virtual void setFontSize(double points) = 0;
    virtual void setBold(bool bold) = 0;
    // Prints text at the current position; lineEnds starts a new line after it, otherwise the
    // position moves to just after the text.
    virtual void print(const QString& text, bool lineEnds) = 0;
    virtual void endDocument() = 0;
};

// A failure of the spreadsheet: the workbook could not be made, written or handed to the user.
// message() says why, in words for the user.
class SpreadsheetError : public std::runtime_error {
public:
    explicit SpreadsheetError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {
    }
    QString message() const { return m_message; }

private:
    QString m_message;
};

// How the text of a cell looks; a size of 0 keeps the spreadsheet's default size.
struct CellFont {
    bool bold = false;
    double points = 0;
    quint32 rgb = 0x000000; // 0xRRGGBB
    bool operator==(const CellFont&) const = default;
};

// A new workbook of one sheet, filled cell by cell and then handed, open, to the user in the
// spreadsheet program. Rows and columns count from 1 (A is column 1); rows are filled from the top
// down. Every operation but discard throws SpreadsheetError when it fails.
class Spreadsheet {
public:
    virtual ~Spreadsheet() = default;
    // Starts a new workbook, dropping an unfinished one; title names it where the user sees it.
    virtual void newWorkbook(const QString& title) = 0;
    // The width of a column in characters of the default font.
    virtual void setColumnWidth(int column, double characters) = 0;
    virtual void setText(int row, int column, QStringView text, const CellFont& font = {}) = 0;
    virtual void setNumber(int row, int column, double value) = 0;
    // Finishes the workbook and opens it in the spreadsheet program.
    virtual void show() = 0;
    // Drops an unfinished workbook: nothing of it is shown or left behind.
    virtual void discard() noexcept = 0;
};

} // namespace tarvino

// The outside world as seen by the windows: messages, clock and printer, each behind a small interface.
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

} // namespace tarvino

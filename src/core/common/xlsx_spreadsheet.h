// The real spreadsheet: a new .xlsx file of its own in the user's documents folder (Tarvino/),
// readable by its owner alone, written row by row straight into its file and opened with the
// desktop's spreadsheet program.
#pragma once

#include "common/services.h"

#include <QHash>
#include <QString>

#include <functional>
#include <memory>

namespace tarvino {

// Opens a finished workbook file for the user; throws SpreadsheetError when nothing opens it.
using WorkbookOpener = std::function<void(const QString& path)>;

// Opens the file with the program the desktop associates with its type (through xdg-open).
void openWithDesktop(const QString& path);

// Where workbooks go unless told otherwise: "Tarvino" in the user's documents folder, where a
// shop owner finds them again.
QString defaultWorkbookFolder();

class XlsxSpreadsheet final : public Spreadsheet {
public:
    // Workbooks are written into folder (defaultWorkbookFolder() when empty), created if missing,
    // each named after its title and the clock's date and time ("Stock_2026-12-08_14-05-33.xlsx",
    // "_2" and on when that name is taken: nothing is overwritten), and handed to open.
    XlsxSpreadsheet(WorkbookOpener open, const Clock& clock, const QString& folder = QString());
    ~XlsxSpreadsheet() override;
    XlsxSpreadsheet(const XlsxSpreadsheet&) = delete;
    XlsxSpreadsheet& operator=(const XlsxSpreadsheet&) = delete;

    void newWorkbook(const QString& title) override;
    void setColumnWidth(int column, double characters) override;
    void setText(int row, int column, QStringView text, const CellFont& font = {}) override;
    void setNumber(int row, int column, double value) override;
    void show() override;
    void discard() noexcept override;

    // The file of the workbook being filled or last shown; empty before the first one.
    QString path() const { return m_path; }

private:
    struct Workbook;

    Workbook& current(const char* operation);
    // Runs a step that writes to the file; a failure of the disk drops the workbook and is told
    // as the failure to do operation.
    template <typename Step>
    void write(const char* operation, const Step& step);

    WorkbookOpener m_open;
    const Clock& m_clock;
    QString m_folder;
    QString m_path;
    std::unique_ptr<Workbook> m_book;
};

} // namespace tarvino

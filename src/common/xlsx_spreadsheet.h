// The real spreadsheet: a new .xlsx file of its own in the system's temporary folder, written with
// libxlsxwriter and opened with the desktop's spreadsheet program.
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

class XlsxSpreadsheet final : public Spreadsheet {
public:
    // Workbooks are written into folder (the system's temporary folder when empty) and handed
    // to open.
    explicit XlsxSpreadsheet(WorkbookOpener open, const QString& folder = QString());
    ~XlsxSpreadsheet() override;
    XlsxSpreadsheet(const XlsxSpreadsheet&) = delete;
    XlsxSpreadsheet& operator=(const XlsxSpreadsheet&) = delete;

    void newWorkbook(const QString& title) override;
    void setColumnWidth(int column, double characters) override;
    void setText(int row, int column, const QString& text, const CellFont& font = {}) override;
    void setNumber(int row, int column, double value) override;
    void show() override;
    void discard() noexcept override;

    // The file of the workbook being filled or last shown; empty before the first one.
    QString path() const { return m_path; }

private:
    struct Workbook;

    Workbook& current(const char* operation);
    void check(int error, const char* operation) const;

    WorkbookOpener m_open;
    QString m_folder;
    QString m_path;
    std::unique_ptr<Workbook> m_book;
};

} // namespace tarvino

// A spreadsheet written with libxlsxwriter, the way the program wrote its workbooks before it had
// a writer of its own. Only the benchmarks use it, as the reference the export is measured against.
#pragma once

#include "common/services.h"

#include <QString>

#include <memory>

namespace tarvino::bench {

class XlsxwriterSpreadsheet final : public Spreadsheet {
public:
    // Workbooks go into folder, each in a new file named after its title; they are not opened.
    // constantMemory sends the rows to a temporary file as they are finished, as the program did;
    // without it the library keeps the whole sheet in memory (its default).
    explicit XlsxwriterSpreadsheet(const QString& folder, bool constantMemory = true);
    ~XlsxwriterSpreadsheet() override;
    XlsxwriterSpreadsheet(const XlsxwriterSpreadsheet&) = delete;
    XlsxwriterSpreadsheet& operator=(const XlsxwriterSpreadsheet&) = delete;

    void newWorkbook(const QString& title) override;
    void setColumnWidth(int column, double characters) override;
    void setText(int row, int column, QStringView text, const CellFont& font = {}) override;
    void setNumber(int row, int column, double value) override;
    void show() override;
    void discard() noexcept override;

    // The file of the workbook being filled or last finished.
    QString path() const { return m_path; }
    int shown() const { return m_shown; }

private:
    struct Workbook;

    Workbook& current(const char* operation);

    QString m_folder;
    bool m_constantMemory;
    QString m_path;
    int m_shown = 0;
    std::unique_ptr<Workbook> m_book;
};

} // namespace tarvino::bench

#include "xlsxwriter_spreadsheet.h"

#include <QDir>
#include <QFile>
#include <QList>

#include <xlsxwriter.h>

#include <cerrno>
#include <clocale>
#include <cmath>
#include <utility>
#include <fcntl.h>
#include <locale.h>
#include <unistd.h>

namespace tarvino::bench {

namespace {

SpreadsheetError failure(const char* what, lxw_error error)
{
    return SpreadsheetError(QStringLiteral("No se pudo %1: %2.")
                                .arg(QString::fromUtf8(what), QString::fromUtf8(lxw_strerror(error))));
}

// The library writes numbers and widths with printf, which follows the thread's numeric locale;
// the file must hold "2.5" whatever the system's decimal separator is.
class CNumbers final {
public:
    explicit CNumbers(locale_t c) : m_previous(c ? uselocale(c) : locale_t(nullptr)) {}
    ~CNumbers()
    {
        if (m_previous)
            uselocale(m_previous);
    }
    CNumbers(const CNumbers&) = delete;
    CNumbers& operator=(const CNumbers&) = delete;

private:
    locale_t m_previous;
};

locale_t cNumbersLocale()
{
    locale_t base = duplocale(uselocale(locale_t(nullptr)));
    if (base) {
        if (locale_t c = newlocale(LC_NUMERIC_MASK, "C", base))
            return c;
        freelocale(base);
    }
    return newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
}

// A new empty file in folder named after title, never one that exists already.
QString createOwnFile(const QString& folder, const QString& title)
{
    const QDir dir(folder);
    for (int attempt = 1; attempt <= 1000; ++attempt) {
        const QString path = dir.filePath(QStringLiteral("%1_xlsxwriter_%2.xlsx").arg(title).arg(attempt));
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST)
            break;
    }
    throw SpreadsheetError(QStringLiteral("No se pudo crear el archivo de la planilla en «%1».").arg(folder));
}

} // namespace

struct XlsxwriterSpreadsheet::Workbook {
    lxw_workbook* book = nullptr;
    lxw_worksheet* sheet = nullptr;
    locale_t cNumbers = nullptr;
    int lastRow = 1;
    QList<std::pair<CellFont, lxw_format*>> formats;

    ~Workbook()
    {
        if (book)
            lxw_workbook_free(book);
        if (cNumbers)
            freelocale(cNumbers);
    }

    lxw_format* format(const CellFont& font)
    {
        if (font == CellFont())
            return nullptr;
        for (const auto& [known, format] : formats) {
            if (known == font)
                return format;
        }
        lxw_format* format = workbook_add_format(book);
        if (!format)
            return nullptr;
        if (font.bold)
            format_set_bold(format);
        if (font.points > 0)
            format_set_font_size(format, font.points);
        if (font.rgb != 0)
            format_set_font_color(format, lxw_color_t(font.rgb));
        formats.append({font, format});
        return format;
    }
};

XlsxwriterSpreadsheet::XlsxwriterSpreadsheet(const QString& folder, bool constantMemory)
    : m_folder(folder), m_constantMemory(constantMemory)
{
}

XlsxwriterSpreadsheet::~XlsxwriterSpreadsheet()
{
    discard();
}

void XlsxwriterSpreadsheet::newWorkbook(const QString& title)
{
    discard();
    m_path = createOwnFile(m_folder, title);
    auto book = std::make_unique<Workbook>();
    book->cNumbers = cNumbersLocale();
    const CNumbers numbers(book->cNumbers);
    lxw_workbook_options options = {};
    options.constant_memory = m_constantMemory ? LXW_TRUE : LXW_FALSE;
    const QByteArray path = QFile::encodeName(m_path);
    book->book = workbook_new_opt(path.constData(), &options);
    if (book->book)
        book->sheet = workbook_add_worksheet(book->book, "Hoja1");
    if (!book->book || !book->sheet) {
        QFile::remove(m_path);
        throw failure("crear el libro de la planilla", LXW_ERROR_MEMORY_MALLOC_FAILED);
    }
    m_book = std::move(book);
}

XlsxwriterSpreadsheet::Workbook& XlsxwriterSpreadsheet::current(const char* operation)
{
    if (!m_book)
        throw SpreadsheetError(QStringLiteral("No se pudo %1: no hay un libro abierto.").arg(QString::fromUtf8(operation)));
    return *m_book;
}

void XlsxwriterSpreadsheet::setColumnWidth(int column, double characters)
{
    Workbook& book = current("fijar el ancho de una columna");
    const CNumbers numbers(book.cNumbers);
    const lxw_error error =
        worksheet_set_column(book.sheet, lxw_col_t(column - 1), lxw_col_t(column - 1), characters, nullptr);
    if (column < 1 || error != LXW_NO_ERROR)
        throw failure("fijar el ancho de una columna", error);
}

void XlsxwriterSpreadsheet::setText(int row, int column, QStringView text, const CellFont& font)
{
    Workbook& book = current("escribir una celda");
    if (row < book.lastRow || row < 1 || column < 1)
        throw failure("escribir una celda", LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE);
    const CNumbers numbers(book.cNumbers);
    const QByteArray utf8 = text.toUtf8();
    const lxw_error error = worksheet_write_string(book.sheet, lxw_row_t(row - 1), lxw_col_t(column - 1),
                                                   utf8.constData(), book.format(font));
    if (error != LXW_NO_ERROR)
        throw failure("escribir una celda", error);
    book.lastRow = row;
}

void XlsxwriterSpreadsheet::setNumber(int row, int column, double value)
{
    Workbook& book = current("escribir una celda");
    if (row < book.lastRow || row < 1 || column < 1 || !std::isfinite(value))
        throw failure("escribir una celda", LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE);
    const CNumbers numbers(book.cNumbers);
    const lxw_error error =
        worksheet_write_number(book.sheet, lxw_row_t(row - 1), lxw_col_t(column - 1), value, nullptr);
    if (error != LXW_NO_ERROR)
        throw failure("escribir una celda", error);
    book.lastRow = row;
}

void XlsxwriterSpreadsheet::show()
{
    Workbook& book = current("guardar la planilla");
    lxw_error error = LXW_NO_ERROR;
    {
        const CNumbers numbers(book.cNumbers);
        error = workbook_close(book.book); // frees the workbook, whatever the outcome
    }
    book.book = nullptr;
    m_book.reset();
    if (error != LXW_NO_ERROR) {
        QFile::remove(m_path);
        throw failure("guardar la planilla", error);
    }
    ++m_shown;
}

void XlsxwriterSpreadsheet::discard() noexcept
{
    if (!m_book)
        return;
    m_book.reset();
    QFile::remove(m_path);
}

} // namespace tarvino::bench

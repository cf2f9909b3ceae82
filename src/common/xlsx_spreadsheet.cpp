// The real spreadsheet: a new .xlsx file of its own in the user's documents folder (Tarvino/),
// readable by its owner alone, written with libxlsxwriter and opened with the desktop's
// spreadsheet program.
#include "common/xlsx_spreadsheet.h"

#include "data/database.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QStandardPaths>

#include <xlsxwriter.h>

#include <cerrno>
#include <clocale>
#include <cmath>
#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvino {

namespace {

// The letters of a column, as the spreadsheet names it (1 is A, 27 is AA).
QString columnName(int column)
{
    QString letters;
    for (int n = column; n > 0; n = (n - 1) / 26)
        letters.prepend(QLatin1Char(char('A' + (n - 1) % 26)));
    return letters;
}

QString cellName(int row, int column)
{
    return columnName(column) + QString::number(row);
}

// What went wrong, from the library's error and, for file work, the system's error number.
QString causeOf(lxw_error error, int systemError)
{
    const QString system = systemError ? systemErrorText(systemError) : QString();
    switch (error) {
    case LXW_ERROR_MEMORY_MALLOC_FAILED:
        return QStringLiteral("no hay memoria suficiente");
    case LXW_ERROR_CREATING_XLSX_FILE:
        return system.isEmpty() ? QStringLiteral("no se pudo crear el archivo") : system;
    case LXW_ERROR_CREATING_TMPFILE:
    case LXW_ERROR_READING_TMPFILE:
        return QStringLiteral("no se pudo usar un archivo temporal") +
               (system.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(system));
    case LXW_ERROR_ZIP_FILE_OPERATION:
    case LXW_ERROR_ZIP_PARAMETER_ERROR:
    case LXW_ERROR_ZIP_BAD_ZIP_FILE:
    case LXW_ERROR_ZIP_INTERNAL_ERROR:
    case LXW_ERROR_ZIP_FILE_ADD:
    case LXW_ERROR_ZIP_CLOSE:
        return QStringLiteral("no se pudo comprimir el libro en el archivo") +
               (system.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(system));
    case LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED:
        return QStringLiteral("el texto pasa de 32.767 caracteres, lo más que cabe en una celda");
    case LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE:
        return QStringLiteral("la fila o la columna queda fuera de la hoja");
    default:
        return QStringLiteral("la biblioteca de planillas respondió «%1»")
            .arg(QString::fromUtf8(lxw_strerror(error)));
    }
}

SpreadsheetError failure(const QString& what, const QString& cause)
{
    return SpreadsheetError(QStringLiteral("No se pudo %1: %2.").arg(what, cause));
}

// Rows are finished one after another as the next one starts: a cell above them can no longer go in.
void checkPlace(int lastRow, int row, int column)
{
    if (row < 1 || column < 1)
        throw failure(QStringLiteral("escribir una celda"), causeOf(LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE, 0));
    if (row < lastRow)
        throw failure(QStringLiteral("escribir la celda %1").arg(cellName(row, column)),
                      QStringLiteral("las filas se llenan de arriba hacia abajo"));
}

// The library writes numbers and widths with the C library's printf, which follows the numeric
// locale of the thread; the file must hold "2.5" whatever the system's decimal separator is.
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

// The thread's locale with C numbers: the other categories stay as the system has them.
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

// Makes a new empty file in folder (created if missing), named after title and the date and time,
// never one that exists already; returns its path. The file is its owner's alone from the start:
// the workbook holds the cost prices.
QString createOwnFile(const QString& folder, const QString& title, const QDateTime& when)
{
    const QDir dir(folder);
    if (!QDir().mkpath(folder)) {
        throw failure(QStringLiteral("crear la carpeta «%1» para la planilla").arg(QDir::toNativeSeparators(folder)),
                      QStringLiteral("no se pudo crear; revise que el disco tenga espacio y permita escribir allí"));
    }
    const QString stem = QStringLiteral("%1_%2").arg(title, when.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss")));
    int error = EEXIST;
    for (int attempt = 1; attempt <= 1000 && error == EEXIST; ++attempt) {
        const QString name = attempt == 1 ? stem : QStringLiteral("%1_%2").arg(stem).arg(attempt);
        const QString path = dir.filePath(name + QStringLiteral(".xlsx"));
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            // The process's file-creation mask may only take bits away; this sets exactly these.
            const int modeError = ::fchmod(fd, 0600) == 0 ? 0 : errno;
            ::close(fd);
            if (modeError) {
                QFile::remove(path);
                throw failure(QStringLiteral("proteger el archivo «%1»").arg(QDir::toNativeSeparators(path)),
                              systemErrorText(modeError));
            }
            return path;
        }
        error = errno;
    }
    throw failure(QStringLiteral("crear el archivo de la planilla en la carpeta «%1»")
                      .arg(QDir::toNativeSeparators(folder)),
                  error == EEXIST ? QStringLiteral("todos los nombres probados ya existen")
                                  : systemErrorText(error));
}

} // namespace

struct XlsxSpreadsheet::Workbook {
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

QString defaultWorkbookFolder()
{
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty())
        documents = QDir::homePath();
    return QDir(documents).filePath(QStringLiteral("Tarvino"));
}

XlsxSpreadsheet::XlsxSpreadsheet(WorkbookOpener open, const Clock& clock, const QString& folder)
    : m_open(std::move(open)), m_clock(clock), m_folder(folder)
{
}

XlsxSpreadsheet::~XlsxSpreadsheet()
{
    discard();
}

void XlsxSpreadsheet::newWorkbook(const QString& title)
{
    discard();
    m_path = createOwnFile(m_folder.isEmpty() ? defaultWorkbookFolder() : m_folder, title, m_clock.now());
    auto book = std::make_unique<Workbook>();
    book->cNumbers = cNumbersLocale();
    const CNumbers numbers(book->cNumbers);
    // Rows go to a temporary file as they are finished, so a long list takes little memory.
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    const QByteArray path = QFile::encodeName(m_path);
    book->book = workbook_new_opt(path.constData(), &options);
    if (book->book)
        book->sheet = workbook_add_worksheet(book->book, "Hoja1");
    if (!book->book || !book->sheet) {
        QFile::remove(m_path);
        throw failure(QStringLiteral("crear el libro de la planilla"), causeOf(LXW_ERROR_MEMORY_MALLOC_FAILED, 0));
    }
    m_book = std::move(book);
}

XlsxSpreadsheet::Workbook& XlsxSpreadsheet::current(const char* operation)
{
    if (!m_book)
        throw failure(QString::fromUtf8(operation), QStringLiteral("no hay un libro abierto"));
    return *m_book;
}

void XlsxSpreadsheet::check(int error, const char* operation) const
{
    if (error != LXW_NO_ERROR)
        throw failure(QString::fromUtf8(operation), causeOf(lxw_error(error), 0));
}

void XlsxSpreadsheet::setColumnWidth(int column, double characters)
{
    Workbook& book = current("fijar el ancho de una columna");
    const CNumbers numbers(book.cNumbers);
    if (column < 1)
        check(LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE, "fijar el ancho de una columna");
    check(worksheet_set_column(book.sheet, lxw_col_t(column - 1), lxw_col_t(column - 1), characters, nullptr),
          "fijar el ancho de una columna");
}

void XlsxSpreadsheet::setText(int row, int column, const QString& text, const CellFont& font)
{
    Workbook& book = current("escribir una celda");
    checkPlace(book.lastRow, row, column);
    const CNumbers numbers(book.cNumbers);
    const QByteArray utf8 = text.toUtf8();
    const lxw_error error = worksheet_write_string(book.sheet, lxw_row_t(row - 1), lxw_col_t(column - 1),
                                                   utf8.constData(), book.format(font));
    if (error != LXW_NO_ERROR)
        throw failure(QStringLiteral("escribir la celda %1").arg(cellName(row, column)), causeOf(error, 0));
    book.lastRow = row;
}

void XlsxSpreadsheet::setNumber(int row, int column, double value)
{
    Workbook& book = current("escribir una celda");
    checkPlace(book.lastRow, row, column);
    // The sheet has no way to hold these; written as printf gives them, they would spoil the file.
    if (!std::isfinite(value))
        throw failure(QStringLiteral("escribir la celda %1").arg(cellName(row, column)),
                      QStringLiteral("el valor no es un número finito"));
    const CNumbers numbers(book.cNumbers);
    const lxw_error error =
        worksheet_write_number(book.sheet, lxw_row_t(row - 1), lxw_col_t(column - 1), value, nullptr);
    if (error != LXW_NO_ERROR)
        throw failure(QStringLiteral("escribir la celda %1").arg(cellName(row, column)), causeOf(error, 0));
    book.lastRow = row;
}

void XlsxSpreadsheet::show()
{
    Workbook& book = current("abrir la planilla");
    lxw_error error = LXW_NO_ERROR;
    int systemError = 0;
    {
        const CNumbers numbers(book.cNumbers);
        errno = 0;
        error = workbook_close(book.book); // frees the workbook, whatever the outcome
        systemError = errno;
    }
    book.book = nullptr;
    m_book.reset();
    if (error != LXW_NO_ERROR) {
        QFile::remove(m_path);
        throw failure(QStringLiteral("guardar la planilla en «%1»").arg(QDir::toNativeSeparators(m_path)),
                      causeOf(error, systemError));
    }
    m_open(m_path);
}

void XlsxSpreadsheet::discard() noexcept
{
    if (!m_book)
        return;
    m_book.reset();
    QFile::remove(m_path);
}

} // namespace tarvino

// The real spreadsheet: a new .xlsx file of its own in the user's documents folder (Tarvino/),
// readable by its owner alone, written row by row straight into its file and opened with the
// desktop's spreadsheet program.
//
// The workbook is the plain package a spreadsheet needs (content types, relations, workbook,
// styles and one sheet) in a zip file, the sheet compressed as its rows are written: nothing of it
// is held whole in memory or in a second file.
#include "common/xlsx_spreadsheet.h"

#include "common/system_error.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QStandardPaths>

#include <zlib.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <system_error>
#include <vector>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvino {

namespace {

// The most a cell holds, as the spreadsheet programs count it.
constexpr qsizetype kMaxCellText = 32767;
// The last row and column a sheet has.
constexpr int kMaxRow = 1048576;
constexpr int kMaxColumn = 16384;

// The letters of a column, as the spreadsheet names it (1 is A, 27 is AA).
QByteArray columnLetters(int column)
{
    QByteArray letters;
    for (int n = column; n > 0; n = (n - 1) / 26)
        letters.prepend(char('A' + (n - 1) % 26));
    return letters;
}

QString cellName(int row, int column)
{
    return QString::fromLatin1(columnLetters(column)) + QString::number(row);
}

SpreadsheetError failure(const QString& what, const QString& cause)
{
    return SpreadsheetError(QStringLiteral("No se pudo %1: %2.").arg(what, cause));
}

// Rows are finished one after another as the next one starts: a cell above them can no longer go in.
void checkPlace(int lastRow, int row, int column)
{
    if (row < 1 || column < 1 || row > kMaxRow || column > kMaxColumn)
        throw failure(QStringLiteral("escribir una celda"), QStringLiteral("la fila o la columna queda fuera de la hoja"));
    if (row < lastRow)
        throw failure(QStringLiteral("escribir la celda %1").arg(cellName(row, column)),
                      QStringLiteral("las filas se llenan de arriba hacia abajo"));
}

// Whether the text at c reads as a spreadsheet's escape ("_x0041_"), which readers turn back into
// the character it names.
bool looksEscaped(const char16_t* c, const char16_t* end)
{
    if (end - c < 7 || c[0] != u'_' || c[1] != u'x' || c[6] != u'_')
        return false;
    for (int i = 2; i < 6; ++i) {
        const char16_t h = c[i];
        if (!((h >= u'0' && h <= u'9') || (h >= u'a' && h <= u'f') || (h >= u'A' && h <= u'F')))
            return false;
    }
    return true;
}

// Appends text to an XML buffer as UTF-8, with the characters XML gives a meaning to escaped and
// those it cannot hold at all (controls, U+FFFE, U+FFFF, halves of a broken surrogate pair) written
// the way spreadsheets read them back ("_x0001_"). A text that itself looks like such an escape has
// its underscore written as "_x005F_", or the reader would turn "_x0041_" into "A".
void appendXmlText(QByteArray& out, QStringView text)
{
    const qsizetype start = out.size();
    out.resize(start + text.size() * 7); // at most "_xHHHH_" for each UTF-16 unit
    char* p = out.data() + start;
    const char16_t* c = text.utf16();
    const char16_t* const end = c + text.size();
    const auto literal = [&](const char* text) {
        const size_t length = std::strlen(text);
        std::memcpy(p, text, length);
        p += length;
    };
    const auto escaped = [&](char16_t u) {
        char code[8];
        std::snprintf(code, sizeof code, "_x%04X_", unsigned(u));
        literal(code);
    };
    while (c != end) {
        const char16_t u = *c;
        if (u >= 0x20 && u < 0x80 && u != '&' && u != '<' && u != '>' && u != '_') {
            *p++ = char(u);
            ++c;
            continue;
        }
        if (u == '_' && looksEscaped(c, end)) {
            escaped(u);
            ++c;
            continue;
        }
        ++c;
        if (u == '&') {
            literal("&amp;");
        } else if (u == '<') {
            literal("&lt;");
        } else if (u == '>') {
            literal("&gt;");
        } else if ((u < 0x20 && u != '\t' && u != '\n' && u != '\r') || u == 0xFFFE || u == 0xFFFF) {
            escaped(u);
        } else if (u < 0x80) {
            *p++ = char(u);
        } else if (u < 0x800) {
            *p++ = char(0xC0 | (u >> 6));
            *p++ = char(0x80 | (u & 0x3F));
        } else if (QChar::isHighSurrogate(u) && c != end && QChar::isLowSurrogate(*c)) {
            const char32_t point = QChar::surrogateToUcs4(u, *c++);
            *p++ = char(0xF0 | (point >> 18));
            *p++ = char(0x80 | ((point >> 12) & 0x3F));
            *p++ = char(0x80 | ((point >> 6) & 0x3F));
            *p++ = char(0x80 | (point & 0x3F));
        } else if (QChar::isSurrogate(u)) {
            // Half of a pair has no UTF-8 form; the escape keeps the cell as it was typed.
            escaped(u);
        } else {
            *p++ = char(0xE0 | (u >> 12));
            *p++ = char(0x80 | ((u >> 6) & 0x3F));
            *p++ = char(0x80 | (u & 0x3F));
        }
    }
    out.resize(p - out.data());
}

// A column width in characters as the file holds it: the width in pixels of that many digits of
// the default font (7 pixels each, 5 of padding), in 1/256 of a character.
double fileWidth(double characters)
{
    if (characters <= 0)
        return 0;
    const double pixels = characters < 1 ? std::trunc(characters * 12 + 0.5) : std::trunc(characters * 7 + 0.5) + 5;
    return std::trunc(pixels / 7 * 256) / 256;
}

QByteArray number(double value)
{
    // The shortest text that reads back as the same double, with "." whatever the locale.
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return QByteArray(text, end - text);
}

const char kContentTypes[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
    "<Override PartName=\"/xl/workbook.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
    "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
    "<Override PartName=\"/xl/styles.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
    "</Types>";

const char kRootRelations[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
    "Target=\"xl/workbook.xml\"/></Relationships>";

const char kWorkbookRelations[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
    "Target=\"worksheets/sheet1.xml\"/>"
    "<Relationship Id=\"rId2\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
    "Target=\"styles.xml\"/></Relationships>";

const char kWorkbook[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
    "<sheets><sheet name=\"Hoja1\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";

const char kSheetStart[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">";

// A zip file written part by part, each part compressed with deflate as its data arrives. A
// part's header is written first with room for its checksum and sizes, which are put in once the
// part is complete: the file is this program's own, so it can go back to them.
class DeflatedZip final {
public:
    explicit DeflatedZip(int fd) : m_fd(fd)
    {
        // Raw deflate (no zlib wrapper), as a zip holds it.
        if (deflateInit2(&m_stream, kLevel, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            throw std::runtime_error("no hay memoria suficiente para comprimir el libro");
        m_ready = true;
        m_out.resize(kOutput);
    }
    ~DeflatedZip()
    {
        if (m_ready)
            deflateEnd(&m_stream);
    }
    DeflatedZip(const DeflatedZip&) = delete;
    DeflatedZip& operator=(const DeflatedZip&) = delete;

    void begin(const char* name)
    {
        Entry entry;
        entry.name = name;
        entry.offset = m_offset;
        m_entries.push_back(entry);
        QByteArray header;
        localHeader(header, m_entries.back());
        put(header.constData(), header.size());
        if (deflateReset(&m_stream) != Z_OK)
            throw std::runtime_error("no se pudo comprimir el libro");
    }

    // Part data; buffered, compressed in large pieces.
    QByteArray& buffer() { return m_buffer; }
    void spill()
    {
        if (m_buffer.size() >= kSpill)
            compress(Z_NO_FLUSH);
    }

    void end()
    {
        compress(Z_FINISH);
        Entry& entry = m_entries.back();
        entry.compressed = m_offset - entry.offset - 30 - qint64(std::strlen(entry.name));
        if (entry.size > 0xFFFFFFFEll || entry.compressed > 0xFFFFFFFEll || m_offset > 0xFFFFFFFEll)
            throw std::runtime_error("el libro pasa de 4 GB");
        QByteArray header;
        localHeader(header, entry);
        if (::pwrite(m_fd, header.constData(), size_t(header.size()), off_t(entry.offset)) != header.size())
            throw std::system_error(errno, std::generic_category());
    }

    void part(const char* name, const QByteArray& data)
    {
        begin(name);
        m_buffer += data;
        end();
    }

    void finish()
    {
        QByteArray directory;
        for (const Entry& entry : m_entries) {
            append32(directory, 0x02014b50);
            append16(directory, 20); // made by: version 2.0
            append16(directory, 20); // needed to extract
            append16(directory, 0x0800); // names in UTF-8
            append16(directory, 8);      // deflated
            append16(directory, 0);      // time
            append16(directory, 0x21);   // date: 1 January 1980
            append32(directory, entry.crc);
            append32(directory, quint32(entry.compressed));
            append32(directory, quint32(entry.size));
            append16(directory, quint16(std::strlen(entry.name)));
            append16(directory, 0);
            append16(directory, 0);
            append16(directory, 0);
            append16(directory, 0);
            append32(directory, 0);
            append32(directory, quint32(entry.offset));
            directory += entry.name;
        }
        const qint64 start = m_offset;
        append32(directory, 0x06054b50);
        append16(directory, 0);
        append16(directory, 0);
        append16(directory, quint16(m_entries.size()));
        append16(directory, quint16(m_entries.size()));
        append32(directory, quint32(directory.size() - 12));
        append32(directory, quint32(start));
        append16(directory, 0);
        put(directory.constData(), directory.size());
    }

private:
    struct Entry {
        const char* name = nullptr;
        qint64 offset = 0;
        qint64 size = 0;       // as written by the caller
        qint64 compressed = 0; // as it lies in the file
        quint32 crc = 0;
    };

    // The fastest level: the rows repeat their markup, so it already brings the sheet under a
    // fifth of its size; the higher levels take longer for little more.
    static constexpr int kLevel = Z_BEST_SPEED;
    static constexpr qsizetype kSpill = 1 << 20;
    static constexpr qsizetype kOutput = 1 << 18;

    static void append16(QByteArray& out, quint16 value)
    {
        out += char(value & 0xFF);
        out += char(value >> 8);
    }
    static void append32(QByteArray& out, quint32 value)
    {
        append16(out, quint16(value & 0xFFFF));
        append16(out, quint16(value >> 16));
    }

    static void localHeader(QByteArray& out, const Entry& entry)
    {
        append32(out, 0x04034b50);
        append16(out, 20);
        append16(out, 0x0800);
        append16(out, 8);
        append16(out, 0);
        append16(out, 0x21);
        append32(out, entry.crc);
        append32(out, quint32(entry.compressed));
        append32(out, quint32(entry.size));
        append16(out, quint16(std::strlen(entry.name)));
        append16(out, 0);
        out += entry.name;
    }

    // Compresses the buffered data into the file; Z_FINISH ends the part's stream.
    void compress(int flush)
    {
        Entry& entry = m_entries.back();
        entry.crc = quint32(crc32_z(entry.crc, reinterpret_cast<const Bytef*>(m_buffer.constData()),
                                    size_t(m_buffer.size())));
        entry.size += m_buffer.size();
        m_stream.next_in = reinterpret_cast<Bytef*>(m_buffer.data());
        m_stream.avail_in = uInt(m_buffer.size());
        for (;;) {
            m_stream.next_out = reinterpret_cast<Bytef*>(m_out.data());
            m_stream.avail_out = uInt(m_out.size());
            const int result = deflate(&m_stream, flush);
            if (result == Z_STREAM_ERROR)
                throw std::runtime_error("no se pudo comprimir el libro");
            put(m_out.constData(), m_out.size() - qsizetype(m_stream.avail_out));
            if (flush == Z_FINISH ? result == Z_STREAM_END : m_stream.avail_out != 0)
                break;
        }
        m_stream.next_in = nullptr;
        m_buffer.clear(); // keeps its room for the next piece
    }

    void put(const char* data, qsizetype size)
    {
        m_offset += size;
        while (size > 0) {
            const ssize_t written = ::write(m_fd, data, size_t(size));
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                throw std::system_error(errno, std::generic_category());
            }
            data += written;
            size -= written;
        }
    }

    int m_fd;
    z_stream m_stream{};
    bool m_ready = false;
    qint64 m_offset = 0;
    QByteArray m_buffer;
    QByteArray m_out;
    std::vector<Entry> m_entries;
};

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
    int fd = -1;
    std::unique_ptr<DeflatedZip> zip;
    QList<double> widths; // by column, 0 for the default
    QList<CellFont> fonts; // the fonts of the styles after the default one
    int lastRow = 0;      // the row being filled, 0 before the first
    bool sheetStarted = false;

    ~Workbook()
    {
        if (fd >= 0)
            ::close(fd);
    }

    // The style of a cell with this font: 0 for the default.
    int style(const CellFont& font)
    {
        if (font == CellFont())
            return 0;
        const qsizetype known = fonts.indexOf(font);
        if (known >= 0)
            return int(known + 1);
        fonts.append(font);
        return int(fonts.size());
    }

    QByteArray& out() { return zip->buffer(); }

    // Starts the sheet part once the column widths are known, that is at the first cell.
    void startSheet()
    {
        if (sheetStarted)
            return;
        sheetStarted = true;
        zip->begin("xl/worksheets/sheet1.xml");
        QByteArray& xml = out();
        xml += kSheetStart;
        bool any = false;
        for (qsizetype c = 0; c < widths.size(); ++c) {
            if (widths[c] <= 0)
                continue;
            if (!any)
                xml += "<cols>";
            any = true;
            const QByteArray column = QByteArray::number(c + 1);
            xml += "<col min=\"" + column + "\" max=\"" + column + "\" width=\"" + number(fileWidth(widths[c])) +
                   "\" customWidth=\"1\"/>";
        }
        if (any)
            xml += "</cols>";
        xml += "<sheetData>";
    }

    // Opens the row of a cell, closing the one before.
    void toRow(int row)
    {
        startSheet();
        if (row == lastRow)
            return;
        QByteArray& xml = out();
        if (lastRow > 0)
            xml += "</row>";
        xml += "<row r=\"";
        char digits[12];
        xml.append(digits, std::to_chars(digits, digits + sizeof digits, row).ptr - digits);
        xml += "\">";
        lastRow = row;
        zip->spill();
    }

    void cellStart(int row, int column, int styleIndex, const char* type)
    {
        QByteArray& xml = out();
        xml += "<c r=\"";
        if (column <= 26)
            xml += char('A' + column - 1);
        else
            xml += columnLetters(column);
        char digits[12];
        xml.append(digits, std::to_chars(digits, digits + sizeof digits, row).ptr - digits);
        xml += '"';
        if (styleIndex) {
            xml += " s=\"";
            xml.append(digits, std::to_chars(digits, digits + sizeof digits, styleIndex).ptr - digits);
            xml += '"';
        }
        xml += type;
        xml += '>';
    }

    QByteArray styles() const
    {
        QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                         "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">";
        xml += "<fonts count=\"" + QByteArray::number(fonts.size() + 1) + "\">";
        xml += "<font><sz val=\"11\"/><color theme=\"1\"/><name val=\"Calibri\"/><family val=\"2\"/>"
               "<scheme val=\"minor\"/></font>";
        for (const CellFont& font : fonts) {
            xml += "<font>";
            if (font.bold)
                xml += "<b/>";
            xml += "<sz val=\"" + number(font.points > 0 ? font.points : 11) + "\"/>";
            char colour[16];
            std::snprintf(colour, sizeof colour, "FF%06X", unsigned(font.rgb & 0xFFFFFF));
            xml += font.rgb != 0 ? QByteArray("<color rgb=\"") + colour + "\"/>" : QByteArray("<color theme=\"1\"/>");
            xml += "<name val=\"Calibri\"/><family val=\"2\"/><scheme val=\"minor\"/></font>";
        }
        xml += "</fonts><fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
               "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
               "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
               "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>";
        xml += "<cellXfs count=\"" + QByteArray::number(fonts.size() + 1) + "\">"
               "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>";
        for (qsizetype i = 1; i <= fonts.size(); ++i)
            xml += "<xf numFmtId=\"0\" fontId=\"" + QByteArray::number(i) +
                   "\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyFont=\"1\"/>";
        xml += "</cellXfs><cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/>"
               "</cellStyles></styleSheet>";
        return xml;
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

template <typename Step>
void XlsxSpreadsheet::write(const char* operation, const Step& step)
{
    try {
        step();
    } catch (const std::system_error& e) {
        const int error = e.code().value();
        discard();
        throw failure(QString::fromUtf8(operation), systemErrorText(error));
    } catch (const std::runtime_error& e) {
        discard();
        throw failure(QString::fromUtf8(operation), QString::fromUtf8(e.what()));
    }
}

void XlsxSpreadsheet::newWorkbook(const QString& title)
{
    discard();
    m_path = createOwnFile(m_folder.isEmpty() ? defaultWorkbookFolder() : m_folder, title, m_clock.now());
    auto book = std::make_unique<Workbook>();
    // The file made above, never a link put in its place since.
    book->fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    if (book->fd < 0) {
        const int error = errno;
        QFile::remove(m_path);
        throw failure(QStringLiteral("abrir el archivo «%1»").arg(QDir::toNativeSeparators(m_path)),
                      systemErrorText(error));
    }
    book->zip = std::make_unique<DeflatedZip>(book->fd);
    m_book = std::move(book);
    // The parts that do not depend on the cells go first.
    write("crear el libro de la planilla", [this] {
        m_book->zip->part("[Content_Types].xml", kContentTypes);
        m_book->zip->part("_rels/.rels", kRootRelations);
        m_book->zip->part("xl/workbook.xml", kWorkbook);
        m_book->zip->part("xl/_rels/workbook.xml.rels", kWorkbookRelations);
    });
}

XlsxSpreadsheet::Workbook& XlsxSpreadsheet::current(const char* operation)
{
    if (!m_book)
        throw failure(QString::fromUtf8(operation), QStringLiteral("no hay un libro abierto"));
    return *m_book;
}

void XlsxSpreadsheet::setColumnWidth(int column, double characters)
{
    Workbook& book = current("fijar el ancho de una columna");
    if (column < 1 || column > kMaxColumn || !std::isfinite(characters) || characters < 0)
        throw failure(QStringLiteral("fijar el ancho de una columna"), QStringLiteral("la columna o el ancho no es válido"));
    if (book.sheetStarted)
        throw failure(QStringLiteral("fijar el ancho de una columna"),
                      QStringLiteral("los anchos se fijan antes de escribir las celdas"));
    if (book.widths.size() < column)
        book.widths.resize(column);
    book.widths[column - 1] = std::min(characters, 255.0);
}

void XlsxSpreadsheet::setText(int row, int column, QStringView text, const CellFont& font)
{
    Workbook& book = current("escribir una celda");
    checkPlace(book.lastRow, row, column);
    if (text.size() > kMaxCellText)
        throw failure(QStringLiteral("escribir la celda %1").arg(cellName(row, column)),
                      QStringLiteral("el texto pasa de 32.767 caracteres, lo más que cabe en una celda"));
    write("escribir una celda", [&] {
        book.toRow(row);
        const bool spaced = !text.isEmpty() && (text.front().isSpace() || text.back().isSpace());
        book.cellStart(row, column, book.style(font), " t=\"inlineStr\"");
        QByteArray& xml = book.out();
        xml += spaced ? "<is><t xml:space=\"preserve\">" : "<is><t>";
        appendXmlText(xml, text);
        xml += "</t></is></c>";
    });
}

void XlsxSpreadsheet::setNumber(int row, int column, double value)
{
    Workbook& book = current("escribir una celda");
    checkPlace(book.lastRow, row, column);
    // The sheet has no way to hold these.
    if (!std::isfinite(value))
        throw failure(QStringLiteral("escribir la celda %1").arg(cellName(row, column)),
                      QStringLiteral("el valor no es un número finito"));
    write("escribir una celda", [&] {
        book.toRow(row);
        book.cellStart(row, column, 0, "");
        QByteArray& xml = book.out();
        xml += "<v>";
        char text[32];
        xml.append(text, std::to_chars(text, text + sizeof text, value).ptr - text);
        xml += "</v></c>";
    });
}

void XlsxSpreadsheet::show()
{
    Workbook& book = current("abrir la planilla");
    write("guardar la planilla", [&] {
        book.startSheet();
        QByteArray& xml = book.out();
        if (book.lastRow > 0)
            xml += "</row>";
        xml += "</sheetData><pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" "
               "header=\"0.3\" footer=\"0.3\"/></worksheet>";
        book.zip->end();
        book.zip->part("xl/styles.xml", book.styles());
        book.zip->finish();
        const int fd = book.fd;
        book.fd = -1;
        if (::close(fd) != 0)
            throw std::system_error(errno, std::generic_category());
    });
    m_book.reset();
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

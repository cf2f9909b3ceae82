// The lists of the windows: column tables, report views, the list model and list colours.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QFont>
#include <QString>

#include <functional>
#include <memory>
#include <span>
#include <utility>

class QAbstractItemView;
class QTreeView;

namespace tarvino {

// What a list column must show whole, besides its title: a product code or a product name.
enum class Fits { Title, Code, Name };

// The widest code and name a list is made wide enough for: a 13-digit EAN code and a 40-character
// name in capitals, so that products that differ only at the end do not look alike.
inline constexpr char kWidestCode[] = "7802000000011";
inline constexpr char kWidestName[] = "CHOCOLATE BLANCO CON ALMENDRAS 150 GRAMO";

// One column of a list: its title, width in twips (0 hides it), alignment and what it shows whole.
struct ListColumn {
    const char* title;
    int twips;
    Qt::Alignment align;
    Fits fits = Fits::Title;
};

// Report view with the given columns: titles, widths, alignments, no in-place editing, one row
// per line, keys as keyboardList. The titles are set on a QTreeWidget; a view on a model takes
// them from its model. The visible columns follow the list's width and fonts (see columnWidths);
// hidden ones stay hidden.
void configureList(QTreeView* list, std::span<const ListColumn> columns);

// Pixel widths of the columns of a list room pixels wide: a hidden column 0, every other one at
// least need (what it must show whole), and the room left over shared out among the visible
// columns in proportion to their widths in twips. Where the room is short, each gets its need
// and the list scrolls.
QList<int> columnWidths(std::span<const ListColumn> columns, const QList<int>& needs, int room);

// A list walked with the arrow keys from its first entry: while no entry is chosen, the first
// Up, Down, Page Up or Page Down chooses the first one (the view alone would make it current
// unmarked on taking the focus and then step past it), so that a single match is chosen by keys.
void keyboardList(QAbstractItemView* list);

// The rows of a list view on a model: the cells come from a function, so that a list of 100,000
// rows holds no object per row or cell. Titles and alignments come from the column table.
class ListModel final : public QAbstractTableModel {
public:
    using Cell = std::function<QString(qsizetype row, int column)>;
    using Colour = std::function<QColor(qsizetype row)>;

    ListModel(std::span<const ListColumn> columns, QObject* parent);
    // Shows rows rows whose cells come from cell; text (and, when given, background) colours per row.
    // Whatever cell reads must live as long as the model shows it: see showRows.
    void setRows(qsizetype rows, Cell cell, Colour text = {}, Colour back = {});
    // Shows count rows read by cell from rows, which the model shares with whoever else holds them
    // (read only) for as long as it shows them: the view never reads from a window going away.
    template <typename Rows, typename CellOf>
    void showRows(std::shared_ptr<const Rows> rows, qsizetype count, CellOf cell)
    {
        setRows(count, [rows = std::move(rows), cell = std::move(cell)](qsizetype row, int column) {
            return QString(cell(*rows, row, column));
        });
    }
    void clear();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::span<const ListColumn> m_columns;
    qsizetype m_rows = 0;
    Cell m_cell;
    Colour m_text;
    Colour m_back;
};

// The pale yellow behind most lists of the program.
inline const QColor kListYellow(0xFF, 0xFF, 0x80);

// The colours of a list: text on back.
void listColours(QAbstractItemView* list, const QColor& back = kListYellow, const QColor& text = Qt::black);

// A model with the given columns for list, owned by owner, and shown by list.
ListModel* attachModel(QTreeView* list, std::span<const ListColumn> columns, QObject* owner);

// The look of the product and report lists of the main windows: the columns (see configureList),
// rows in rowFont under titles in titleFont, one row chosen at a time, in the list colours.
void setUpReportList(QTreeView* list, std::span<const ListColumn> columns, const QFont& rowFont,
                     const QFont& titleFont);

} // namespace tarvino

// The lists of the windows: column tables, report views, the list model and list colours.
#pragma once

#include <QAbstractItemView>
#include <QAbstractTableModel>
#include <QColor>
#include <QFont>
#include <QString>

#include <memory>
#include <span>
#include <utility>

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

// The part of a list model that does not depend on what its rows are: the columns (titles and
// alignments from the column table) and the roles a view asks for.
class ListModelBase : public QAbstractTableModel {
public:
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

protected:
    ListModelBase(std::span<const ListColumn> columns, QObject* parent);
    virtual qsizetype count() const = 0;
    virtual QString text(qsizetype row, int column) const = 0;

private:
    std::span<const ListColumn> m_columns;
};

// The rows a list shows, owned by its model: the window that reads them hands them over and reads
// them back from the model. A row's cells are made as the view asks for them, so that a list of
// 100,000 rows holds no object per row or cell. The rows are never changed, only replaced, and
// whoever takes a share of them (an export that repaints the window as it goes) keeps them whole
// after the list shows others or its window is gone.
template <typename Rows>
class ListModel final : public ListModelBase {
public:
    // How many rows rows holds, and the text of one of its cells.
    using Count = qsizetype (*)(const Rows& rows);
    using Cell = QString (*)(const Rows& rows, qsizetype row, int column);

    ListModel(std::span<const ListColumn> columns, Count count, Cell cell, QObject* parent)
        : ListModelBase(columns, parent), m_count(count), m_cell(cell), m_rows(std::make_shared<const Rows>())
    {
    }

    const Rows& rows() const { return *m_rows; }
    std::shared_ptr<const Rows> sharedRows() const { return m_rows; }

    // Shows rows in place of the rows shown so far.
    void setRows(Rows rows) { setRows(std::make_shared<const Rows>(std::move(rows))); }
    void setRows(std::shared_ptr<const Rows> rows)
    {
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
    }
    void clear() { setRows(Rows()); }

private:
    qsizetype count() const override { return m_count(*m_rows); }
    QString text(qsizetype row, int column) const override { return m_cell(*m_rows, row, column); }

    Count m_count;
    Cell m_cell;
    std::shared_ptr<const Rows> m_rows;
};

// The pale yellow behind most lists of the program.
inline const QColor kListYellow(0xFF, 0xFF, 0x80);

// The colours of a list: text on back.
void listColours(QAbstractItemView* list, const QColor& back = kListYellow, const QColor& text = Qt::black);

// A model with the given columns for list, owned by owner, and shown by list.
template <typename Rows>
ListModel<Rows>* attachModel(QAbstractItemView* list, std::span<const ListColumn> columns,
                             typename ListModel<Rows>::Count count, typename ListModel<Rows>::Cell cell, QObject* owner)
{
    auto* model = new ListModel<Rows>(columns, count, cell, owner);
    list->setModel(model);
    return model;
}

// The look of the product and report lists of the main windows: the columns (see configureList),
// rows in rowFont under titles in titleFont, one row chosen at a time, in the list colours.
void setUpReportList(QTreeView* list, std::span<const ListColumn> columns, const QFont& rowFont,
                     const QFont& titleFont);

} // namespace tarvino

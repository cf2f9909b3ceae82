// The lists of the windows: column tables, report views, the list model and list colours.
#include "kit/lists.h"

#include "kit/look.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStyle>
#include <QTreeWidget>

#include <algorithm>

namespace tarvino {

namespace {
// Keeps the columns of a list as wide as they must be and as wide as the list allows: refits
// whenever the list changes size or font.
class ColumnFitter final : public QObject {
public:
    ColumnFitter(QTreeView* list, std::span<const ListColumn> columns)
        : QObject(list), m_list(list), m_columns(columns)
    {
        list->installEventFilter(this);
        list->header()->installEventFilter(this);
    }

    void fit()
    {
        QList<int> needs;
        const QFontMetrics cells(m_list->font());
        // The margins an item view leaves either side of a cell's text, and a pixel to spare.
        const int margins = 2 * (m_list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_list) + 1) + 2;
        QHeaderView* header = m_list->header();
        const QFontMetrics titles(header->font());
        const int titleMargins = 2 * m_list->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header) + 4;
        for (const ListColumn& column : m_columns) {
            int need = titles.horizontalAdvance(QString::fromUtf8(column.title)) + titleMargins;
            if (column.fits == Fits::Code)
                need = std::max(need, cells.horizontalAdvance(QLatin1String(kWidestCode)) + margins);
            else if (column.fits == Fits::Name)
                need = std::max(need, cells.horizontalAdvance(QLatin1String(kWidestName)) + margins);
            needs << need;
        }
        // The room of a list that scrolls down: a list that starts short must not change its
        // columns when it grows.
        const int room = m_list->contentsRect().width() - m_list->verticalScrollBar()->sizeHint().width();
        const QList<int> widths = columnWidths(m_columns, needs, room);
        for (int i = 0; i < widths.size(); ++i) {
            if (m_list->columnWidth(i) != widths[i])
                m_list->setColumnWidth(i, widths[i]);
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::Resize:
        case QEvent::FontChange:
        case QEvent::StyleChange:
        case QEvent::Show:
            fit();
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QTreeView* m_list;
    std::span<const ListColumn> m_columns;
};

void fitColumnsToList(QTreeView* list, std::span<const ListColumn> columns)
{
    // A list set up again keeps one fitter, for its latest columns.
    const QObjectList children = list->children();
    for (QObject* child : children)
        delete dynamic_cast<ColumnFitter*>(child);
    (new ColumnFitter(list, columns))->fit();
}
} // namespace

QList<int> columnWidths(std::span<const ListColumn> columns, const QList<int>& needs, int room)
{
    QList<int> widths;
    int needed = 0;
    int twips = 0;
    for (size_t i = 0; i < columns.size(); ++i) {
        const bool shown = columns[i].twips > 0;
        widths << (shown ? needs[qsizetype(i)] : 0);
        needed += widths.last();
        twips += shown ? columns[i].twips : 0;
    }
    const int spare = room - needed;
    if (spare <= 0 || twips == 0)
        return widths;
    // Shared out by running totals, so that the widths add up to the room exactly.
    int given = 0;
    int twipsSoFar = 0;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].twips <= 0)
            continue;
        twipsSoFar += columns[i].twips;
        const int upTo = int(qint64(spare) * twipsSoFar / twips);
        widths[qsizetype(i)] += upTo - given;
        given = upTo;
    }
    return widths;
}

void configureList(QTreeView* list, std::span<const ListColumn> columns)
{
    if (auto* tree = qobject_cast<QTreeWidget*>(list)) {
        tree->clear();
        tree->setColumnCount(int(columns.size()));
        QStringList titles;
        for (const ListColumn& column : columns)
            titles << QString::fromUtf8(column.title);
        tree->setHeaderLabels(titles);
        for (int i = 0; i < int(columns.size()); ++i)
            tree->headerItem()->setTextAlignment(i, columns[size_t(i)].align | Qt::AlignVCenter);
    }
    QHeaderView* header = list->header();
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(0);
    header->setSectionsMovable(false);
    for (int i = 0; i < int(columns.size()); ++i)
        list->setColumnWidth(i, px(columns[size_t(i)].twips));
    fitColumnsToList(list, columns);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setItemsExpandable(false);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    keyboardList(list);
}

namespace {
const QString kFirstEntryFirst = QStringLiteral("firstEntryFirst");

// While nothing is chosen in a list, its first arrow key chooses the first entry.
class FirstEntryFirst final : public QObject {
public:
    explicit FirstEntryFirst(QAbstractItemView* list) : QObject(list)
    {
        setObjectName(kFirstEntryFirst);
        list->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            break;
        default:
            return QObject::eventFilter(watched, event);
        }
        auto* list = static_cast<QAbstractItemView*>(watched);
        const QAbstractItemModel* model = list->model();
        const QItemSelectionModel* chosen = list->selectionModel();
        if (!model || !chosen || chosen->hasSelection() || model->rowCount(list->rootIndex()) == 0)
            return QObject::eventFilter(watched, event);
        list->setCurrentIndex(model->index(0, 0, list->rootIndex()));
        return true;
    }
};
} // namespace

void keyboardList(QAbstractItemView* list)
{
    if (!list->findChild<QObject*>(kFirstEntryFirst, Qt::FindDirectChildrenOnly))
        new FirstEntryFirst(list);
}

ListModelBase::ListModelBase(std::span<const ListColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), m_columns(columns)
{
}

int ListModelBase::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(count());
}

int ListModelBase::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant ListModelBase::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return text(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(m_columns[size_t(index.column())].align | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant ListModelBase::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= int(m_columns.size()))
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromUtf8(m_columns[size_t(section)].title);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(m_columns[size_t(section)].align | Qt::AlignVCenter);
    return {};
}

void listColours(QAbstractItemView* list, const QColor& back, const QColor& text)
{
    QPalette palette = list->palette();
    palette.setColor(QPalette::Base, back);
    palette.setColor(QPalette::Text, text);
    list->setPalette(palette);
}

void setUpReportList(QTreeView* list, std::span<const ListColumn> columns, const QFont& rowFont,
                     const QFont& titleFont)
{
    configureList(list, columns);
    list->setFont(rowFont);
    list->header()->setFont(titleFont);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    listColours(list);
}

} // namespace tarvino

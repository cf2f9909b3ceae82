// The window kit: how every window is built and behaves (twips geometry, fonts, colours, lists,
// key classes, refusals, error reports, the content panel and opening a child window).
#include "kit/window_kit.h"

#include "app/placement.h"
#include "common/services.h"
#include "data/database.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QGraphicsColorizeEffect>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QShortcut>
#include <QTreeWidget>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace tarvino {

void setTwipsGeometry(QWidget* widget, int left, int top, int width, int height)
{
    widget->setGeometry(px(left), px(top), px(width), px(height));
}

QFont arial(double points, bool bold)
{
    QFont font;
    // Liberation Sans has Arial's metrics, so captions laid out for Arial fit the same way.
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QFont arialNarrow(double points, bool bold)
{
    QFont font = arial(points, bold);
    font.setFamilies({QStringLiteral("Arial Narrow"), QStringLiteral("Liberation Sans Narrow")});
    return font;
}

void setTextColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);
}

void setBackColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    palette.setColor(QPalette::Base, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void setButtonColours(QPushButton* button, const QColor& back, const QColor& text)
{
    button->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; color: %2; "
                                         "border: 1px solid gray; border-radius: 3px; }"
                                         "QPushButton:disabled { color: gray; }"
                                         "QPushButton:focus { border: 3px solid black; }"
                                         "QPushButton:pressed { border-style: inset; }")
                              .arg(back.name(), text.name()));
}

namespace {
// Presses a button on Enter, as Space does.
class EnterPresses final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                static_cast<QAbstractButton*>(watched)->click();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};
} // namespace

void keyboardButton(QAbstractButton* button)
{
    button->setFocusPolicy(Qt::StrongFocus);
    if (auto* push = qobject_cast<QPushButton*>(button))
        push->setAutoDefault(false); // Enter is handled below, the same in windows and dialogs
    button->installEventFilter(new EnterPresses(button));
}

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

ListModel::ListModel(std::span<const ListColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), m_columns(columns)
{
}

void ListModel::setRows(qsizetype rows, Cell cell, Colour text, Colour back)
{
    beginResetModel();
    m_rows = rows;
    m_cell = std::move(cell);
    m_text = std::move(text);
    m_back = std::move(back);
    endResetModel();
}

void ListModel::clear()
{
    setRows(0, {});
}

int ListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows);
}

int ListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant ListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return m_cell(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(m_columns[size_t(index.column())].align | Qt::AlignVCenter);
    case Qt::ForegroundRole:
        return m_text ? QVariant(m_text(index.row())) : QVariant();
    case Qt::BackgroundRole:
        return m_back ? QVariant(m_back(index.row())) : QVariant();
    default:
        return {};
    }
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= int(m_columns.size()))
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromUtf8(m_columns[size_t(section)].title);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(m_columns[size_t(section)].align | Qt::AlignVCenter);
    return {};
}

bool keyAllowed(KeyClass keys, int keyAscii)
{
    if (keyAscii == 8 || (keyAscii >= '0' && keyAscii <= '9'))
        return true;
    switch (keys) {
    case KeyClass::Code:
    case KeyClass::Whole:
        return false;
    case KeyClass::Decimal:
    case KeyClass::Money:
        return keyAscii == ',' || keyAscii == '.';
    case KeyClass::UserName:
        return keyAscii >= 'a' && keyAscii <= 'z';
    }
    return false;
}

namespace {
// How long a refused key keeps its box tinted.
constexpr int kRefusalTintMs = 700;
// How long the reason stays beside the box.
constexpr int kRefusalNoteMs = 4000;

QString allowedPattern(KeyClass keys)
{
    switch (keys) {
    case KeyClass::Code:
    case KeyClass::Whole:
        return QStringLiteral("[0-9]*");
    case KeyClass::Decimal:
    case KeyClass::Money:
        return QStringLiteral("[0-9]*%1?[0-9]*").arg(QRegularExpression::escape(QLocale().decimalPoint()));
    case KeyClass::UserName:
        return QStringLiteral("[a-z0-9]*");
    }
    return {};
}

QString keysTaken(KeyClass keys)
{
    switch (keys) {
    case KeyClass::Code:
    case KeyClass::Whole:
        return QStringLiteral("Aquí solo se escriben dígitos.");
    case KeyClass::Decimal:
        return QStringLiteral("Aquí solo se escriben dígitos y un separador decimal (coma o punto).");
    case KeyClass::Money:
        return QStringLiteral("Aquí solo se escriben dígitos y un separador decimal (%1).")
            .arg(QLocale().decimalPoint() == QLatin1String(",") ? QStringLiteral("la coma")
                                                                 : QStringLiteral("el punto"));
    case KeyClass::UserName:
        return QStringLiteral("Aquí solo se escriben letras minúsculas (de la a a la z) y dígitos.");
    }
    return {};
}

// The box's text with typed put where the cursor is, in place of any selected text: what the box
// would hold after the key.
QString textAfterTyping(const QLineEdit* box, const QString& typed)
{
    QString text = box->text();
    int at = box->cursorPosition();
    if (box->hasSelectedText()) {
        at = box->selectionStart();
        text.remove(at, box->selectedText().size());
    }
    return text.insert(at, typed);
}

// Decides on one printable key for a box of the class: true when the filter has dealt with it
// (refused it, or typed it itself), false when the box may take it as it is.
bool filterTypedKey(QLineEdit* box, KeyClass keys, int keyAscii)
{
    if (!keyAllowed(keys, keyAscii)) {
        refuseKey(box, keysTaken(keys));
        return true;
    }
    const QString key = QChar(char16_t(keyAscii));
    QString typed = key;
    if (keys == KeyClass::Money && (keyAscii == ',' || keyAscii == '.') &&
        key != QLocale().decimalPoint()) {
        // An amount is read without its thousands separators, so the box never holds one: the
        // cashier sees the amount as it will be read ("10.000" stands as 10000).
        refuseKey(box,
                  QStringLiteral("Escriba el monto sin separador de miles: 10000, no 10") + key +
                      QStringLiteral("000."));
        return true;
    }
    const bool decimalMark =
        (keys == KeyClass::Decimal || keys == KeyClass::Money) && (keyAscii == ',' || keyAscii == '.');
    if (decimalMark) {
        // Either mark means the decimal mark, so that a cashier used to the other one is understood
        // and the box shows what will be read.
        typed = QLocale().decimalPoint();
        if (textAfterTyping(box, {}).contains(typed)) {
            refuseKey(box, QStringLiteral("Ya hay un separador decimal: solo se admite uno."));
            return true;
        }
    }
    const QString after = textAfterTyping(box, typed);
    if (after.size() > box->maxLength()) {
        refuseKey(box, QStringLiteral("Aquí caben a lo sumo %1 caracteres.").arg(box->maxLength()));
        return true;
    }
    if (const QValidator* validator = box->validator()) {
        QString checked = after;
        int position = 0;
        if (validator->validate(checked, position) == QValidator::Invalid) {
            refuseKey(box, keysTaken(keys));
            return true;
        }
    }
    if (typed != key) {
        box->insert(typed);
        return true;
    }
    return false;
}
} // namespace

KeyHandler* installKeys(QLineEdit* box, KeyClass keys, std::function<void()> onEnter)
{
    // The validator keeps out what the key filter never sees (text set by drag and drop).
    box->setValidator(new QRegularExpressionValidator(QRegularExpression(allowedPattern(keys)), box));
    KeyHandler* handler = KeyHandler::install(box);
    handler->keyPress = [box, keys, onEnter = std::move(onEnter)](int keyAscii) {
        if (keyAscii == 13) {
            if (onEnter)
                onEnter();
            return true;
        }
        // Esc types nothing: it goes on to the window, where it closes a dialog.
        if (keyAscii == 27 || keyAscii == 8)
            return false;
        return filterTypedKey(box, keys, keyAscii);
    };
    return handler;
}

namespace {
// Shows each character of a password as "*".
class StarPasswordStyle final : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};
} // namespace

void hidePassword(QLineEdit* box)
{
    box->setEchoMode(QLineEdit::Password);
    auto* style = new StarPasswordStyle;
    style->setParent(box);
    box->setStyle(style);
}

void refuseKey(QLineEdit* box, const QString& why)
{
    QApplication::beep();
    auto* tint = new QGraphicsColorizeEffect;
    tint->setColor(QColor(255, 0, 0));
    box->setGraphicsEffect(tint); // in place of (and deleting) a tint still showing
    const QPointer<QGraphicsEffect> shown(tint);
    QTimer::singleShot(kRefusalTintMs, box, [box, shown] {
        if (shown && box->graphicsEffect() == shown)
            box->setGraphicsEffect(nullptr);
    });
    // A note in the window itself rather than a tooltip: it shows on every platform, whatever the
    // mouse does, and screen readers are told of it.
    QWidget* window = box->window();
    auto* note = window->findChild<QLabel*>(QLatin1String(kRefusalNote), Qt::FindDirectChildrenOnly);
    if (!note) {
        note = new QLabel(window);
        note->setObjectName(QLatin1String(kRefusalNote));
        note->setWordWrap(true);
        note->setFrameShape(QFrame::Box);
        note->setMargin(3);
        note->setFont(arial(9, true));
        setBackColour(note, QColor(255, 255, 225));
        setTextColour(note, QColor(160, 0, 0));
        auto* hide = new QTimer(note);
        hide->setObjectName(QStringLiteral("hide"));
        hide->setSingleShot(true);
        QObject::connect(hide, &QTimer::timeout, note, &QWidget::hide);
    }
    note->setText(why);
    const int width = std::min(std::max(box->width(), 240), window->width());
    note->setFixedWidth(width);
    note->setFixedHeight(note->heightForWidth(width));
    const QPoint under = box->mapTo(window, QPoint(0, box->height() + 2));
    note->move(std::clamp(under.x(), 0, std::max(0, window->width() - width)),
               std::min(under.y(), std::max(0, window->height() - note->height())));
    note->raise();
    note->show();
    note->findChild<QTimer*>(QStringLiteral("hide"))->start(kRefusalNoteMs);
    QAccessibleEvent alert(note, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

void refuse(Messages& messages, QLineEdit* box, const QString& text)
{
    messages.inform(text);
    box->clear();
    box->setFocus();
}

bool guarded(Messages& messages, const QString& what, const std::function<void()>& work)
{
    try {
        work();
        return true;
    } catch (const DbError& e) {
        reportDbError(messages, what, e);
        return false;
    }
}

namespace {
// Set on a window while it is hidden because a window it opened is open.
const char* const kWaitsForChild = "waitsForChild";
const QString kEntryBox = QStringLiteral("entryBox");

// The box a window names for the cursor when it has the keyboard back.
class EntryBox final : public QObject {
public:
    EntryBox(QWidget* window, std::function<QWidget*()> box) : QObject(window), m_box(std::move(box))
    {
        setObjectName(kEntryBox);
    }
    QWidget* box() const { return m_box ? m_box() : nullptr; }

private:
    std::function<QWidget*()> m_box;
};

EntryBox* entryBoxOf(const QWidget* window)
{
    return dynamic_cast<EntryBox*>(window->findChild<QObject*>(kEntryBox, Qt::FindDirectChildrenOnly));
}

// Watches a child window and gives its caller back once, whichever way the child goes away.
class ChildWatch final : public QObject {
public:
    ChildWatch(QWidget* caller, QWidget* child, CallerState how, std::function<void()> afterClose)
        : QObject(child), m_caller(caller), m_child(child), m_focus(caller->focusWidget()), m_how(how),
          m_afterClose(std::move(afterClose))
    {
        child->installEventFilter(this);
        if (how == CallerState::Disabled)
            caller->window()->installEventFilter(this);
    }
    ~ChildWatch() override
    {
        if (m_caller)
            m_caller->window()->removeEventFilter(this);
        restore();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (m_caller && watched == m_caller->window()) {
            // A click on the greyed caller may make it the active window (the window manager does
            // so whatever Qt says), and the keys would then go to a window that takes none: the
            // child, which the caller waits for, takes the keyboard back at once, where it was.
            if (event->type() == QEvent::WindowActivate && !m_done && m_child && m_child->isVisible())
                QTimer::singleShot(0, m_child, [child = m_child] {
                    // Asked of the window system directly: Qt counts a dialog as active while its
                    // owner is, and activateWindow() would then do nothing.
                    if (child && child->isVisible() && QApplication::activeWindow() != child &&
                        child->windowHandle()) {
                        child->raise();
                        child->windowHandle()->requestActivate();
                    }
                });
            return false;
        }
        // A dialog sent away by Esc is hidden, not closed; a window closed by its frame is both. A
        // window hidden while a window it opened is open is still there, waiting for it.
        if ((event->type() == QEvent::Hide && !event->spontaneous() && !watched->property(kWaitsForChild).toBool()) ||
            event->type() == QEvent::Close)
            restore();
        return QObject::eventFilter(watched, event);
    }

private:
    void restore()
    {
        if (m_done)
            return;
        m_done = true;
        if (m_caller) {
            m_caller->window()->removeEventFilter(this);
            if (m_how == CallerState::Hidden) {
                m_caller->setProperty(kWaitsForChild, QVariant());
                m_caller->show();
            } else {
                m_caller->setEnabled(true);
            }
        }
        if (m_afterClose)
            m_afterClose();
        if (!m_caller)
            return;
        // The window system may have handed the activation to the caller while it was hidden or
        // disabled; Qt then moves the cursor on to the next box of the Tab chain, one step further
        // each time. The cursor is put back where the caller wants it before it is activated.
        QWidget* box = m_focus;
        if (const EntryBox* entry = entryBoxOf(m_caller))
            box = entry->box();
        if (box && box->window() == m_caller->window() && box->isEnabled())
            box->setFocus(Qt::OtherFocusReason);
        m_caller->activateWindow();
    }

    QPointer<QWidget> m_caller;
    QPointer<QWidget> m_child;
    QPointer<QWidget> m_focus;
    CallerState m_how;
    std::function<void()> m_afterClose;
    bool m_done = false;
};
} // namespace

void openChild(QWidget* caller, QWidget* child, CallerState how, std::function<void()> afterClose)
{
    new ChildWatch(caller, child, how, std::move(afterClose));
    if (how == CallerState::Hidden) {
        caller->setProperty(kWaitsForChild, true);
        caller->hide();
    } else {
        caller->setEnabled(false);
        // Kept above its caller by the window manager without being its child, which would share
        // the caller's disabled state. The window system reads the owner when the window is first
        // shown (without one it names a hidden window of its own), so it is set before; and it
        // passes the owner on only for a dialog.
        if (child->windowType() != Qt::Dialog)
            child->setWindowFlags((child->windowFlags() & ~Qt::WindowType_Mask) | Qt::Dialog);
        child->winId();
        if (QWindow* owner = caller->window()->windowHandle())
            child->windowHandle()->setTransientParent(owner);
    }
    child->show();
    child->raise();
    child->activateWindow();
}

void setEntryBox(QWidget* window, std::function<QWidget*()> box)
{
    delete entryBoxOf(window);
    new EntryBox(window, std::move(box));
}

void listColours(QAbstractItemView* list, const QColor& back, const QColor& text)
{
    QPalette palette = list->palette();
    palette.setColor(QPalette::Base, back);
    palette.setColor(QPalette::Text, text);
    list->setPalette(palette);
}

ListModel* attachModel(QTreeView* list, std::span<const ListColumn> columns, QObject* owner)
{
    auto* model = new ListModel(columns, owner);
    list->setModel(model);
    return model;
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

void setCaption(QLabel* caption, QWidget* box)
{
    caption->setBuddy(box);
    if (auto* list = qobject_cast<QComboBox*>(box)) {
        // A screen reader reads the chosen entry of a drop-down list as its value and as the chosen
        // row of its list; the list itself marks that row only while it is open.
        const auto mark = [list](int index) {
            QItemSelectionModel* chosen = list->view()->selectionModel();
            if (index < 0)
                chosen->clear();
            else
                chosen->setCurrentIndex(
                    list->model()->index(index, list->modelColumn(), list->rootModelIndex()),
                    QItemSelectionModel::ClearAndSelect);
        };
        QObject::connect(list, &QComboBox::currentIndexChanged, list, mark);
        mark(list->currentIndex());
    }
}

QLabel* banner(QWidget* parent, const char* name, const QString& text, int widthTwips, int heightTwips,
               const QFont& font)
{
    auto* label = place(new QLabel(text, parent), name, 0, 0, widthTwips, heightTwips);
    label->setAlignment(Qt::AlignCenter);
    label->setFont(font);
    setBackColour(label, Qt::black);
    setTextColour(label, Qt::white);
    return label;
}

QWidget* maximisedWindow(QMainWindow* window, const char* name, const QFont& font, PanelFace face)
{
    named(window, name);
    window->setWindowTitle(kWindowCaption);
    auto* host = new PanelHost(window, kPanelWidthTwips, kPanelHeightTwips);
    window->setCentralWidget(host);
    if (face == PanelFace::LightBlue) {
        setBackColour(host->viewport(), QColor(40, 40, 40));
        setBackColour(host->panel(), QColor(0x00, 0xBB, 0xFF));
    }
    window->setFont(font);
    return host->panel();
}

namespace {
// Closes a window on an Esc that reached it: one that none of its controls took.
class EscCloses final : public QObject {
public:
    explicit EscCloses(QWidget* window) : QObject(window) { window->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            static_cast<QWidget*>(watched)->close();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};
} // namespace

void fixedWindow(QWidget* window, const char* name, QSize pixels, EscKey esc)
{
    named(window, name);
    window->setWindowTitle(kWindowCaption);
    window->setFixedSize(pixels);
    if (esc == EscKey::Closes)
        new EscCloses(window);
}

void centreWindow(QWidget* window, const QWidget* over)
{
    QRect area;
    if (over)
        area = over->geometry();
    else if (const QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    else
        return;
    window->move(area.center() - window->rect().center());
}

void openFixed(QWidget* caller, QWidget* window, CallerState how, CentreOn where, std::function<void()> afterClose)
{
    window->setAttribute(Qt::WA_DeleteOnClose);
    centreWindow(window, where == CentreOn::Caller ? caller : nullptr);
    openChild(caller, window, how, std::move(afterClose));
}

void fillScreen(QWidget* window)
{
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window->setGeometry(screen->availableGeometry());
    window->setWindowState(window->windowState() | Qt::WindowMaximized);
}

void openInPlaceOf(QWidget* caller, QWidget* window)
{
    window->setAttribute(Qt::WA_DeleteOnClose);
    fillScreen(window);
    // Esc leaves it, as it leaves every other window of the program.
    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    QObject::connect(esc, &QShortcut::activated, window, &QWidget::close);
    openChild(caller, window, CallerState::Hidden);
}

PanelHost::PanelHost(QWidget* parent, int panelWidthTwips, int panelHeightTwips)
    : QScrollArea(parent), m_canvas(new QWidget), m_panel(named(new QWidget(m_canvas), "Picture1"))
{
    setFrameShape(QFrame::NoFrame);
    // Only the controls on the panel take the cursor: the area around them is no Tab stop.
    setFocusPolicy(Qt::NoFocus);
    setWidgetResizable(false);
    setWidget(m_canvas);
    m_nominal = QSize(px(panelWidthTwips), px(panelHeightTwips));
    m_panel->resize(m_nominal);
    m_canvas->resize(m_panel->size());
}

void PanelHost::stretchAcross(QWidget* control)
{
    m_stretched << control;
    layoutPanel();
}

void stretchAcrossWindow(QWidget* control)
{
    for (QWidget* up = control->parentWidget(); up; up = up->parentWidget()) {
        if (auto* host = dynamic_cast<PanelHost*>(up)) {
            host->stretchAcross(control);
            return;
        }
    }
}

void PanelHost::setScreenSize(const QSize& pixels)
{
    m_screen = pixels;
    layoutPanel();
}

void PanelHost::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    layoutPanel();
}

void PanelHost::layoutPanel()
{
    const QSize room = maximumViewportSize();
    const bool scrollsAcross = room.width() < m_nominal.width();
    const bool scrollsDown = room.height() < m_nominal.height();
    // A scroll bar takes room from the other direction.
    QSize view = room;
    if (scrollsAcross)
        view.rheight() -= horizontalScrollBar()->sizeHint().height();
    if (scrollsDown)
        view.rwidth() -= verticalScrollBar()->sizeHint().width();
    const QPoint at = panelPosition(m_screen.isValid() ? m_screen : room, view, m_nominal);
    // A panel with controls that run across grows to the window's width; the others stay where
    // the panel of its own width would have them.
    int width = m_nominal.width();
    int shift = 0;
    if (!m_stretched.isEmpty() && view.width() > m_nominal.width()) {
        width = view.width();
        shift = at.x();
    }
    const int extra = width - m_nominal.width();
    const char* const kShift = "tarvinoPanelShift";
    const char* const kExtra = "tarvinoPanelExtra";
    for (QWidget* control : m_panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        QRect place = control->geometry();
        if (m_stretched.contains(control)) {
            place.setWidth(place.width() - control->property(kExtra).toInt() + extra);
            control->setProperty(kExtra, extra);
        } else {
            place.moveLeft(place.left() - control->property(kShift).toInt() + shift);
            control->setProperty(kShift, shift);
        }
        control->setGeometry(place);
    }
    m_panel->setGeometry(at.x() - shift, at.y(), width, m_nominal.height());
    m_canvas->resize(std::max(view.width(), width), std::max(view.height(), m_nominal.height()));
}

QPoint panelPosition(const QSize& screen, const QSize& viewport, const QSize& panel)
{
    const QPointF twips = centredPanelTwips(QString::number(screen.width()), QString::number(screen.height()));
    const auto fit = [](double ruleTwips, int room, int size) {
        const int rule = int(std::lround(ruleTwips / kTwipsPerPixel));
        return std::max(0, std::min(rule, room - size));
    };
    return {fit(twips.x(), viewport.width(), panel.width()), fit(twips.y(), viewport.height(), panel.height())};
}

} // namespace tarvino

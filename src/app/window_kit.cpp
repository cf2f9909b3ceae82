// The window kit: how every window is built and behaves (twips geometry, fonts, colours, lists,
// key classes, refusals, error reports, the content panel and opening a child window).
#include "app/window_kit.h"

#include "app/placement.h"
#include "common/services.h"
#include "data/database.h"

#include <QAbstractButton>
#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QScrollBar>
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
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setItemsExpandable(false);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
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

bool keyAllowed(KeyClass keys, int keyAscii, const QLocale& locale)
{
    if (keyAscii == 8 || (keyAscii >= '0' && keyAscii <= '9'))
        return true;
    switch (keys) {
    case KeyClass::Code:
    case KeyClass::Whole:
        return false;
    case KeyClass::Decimal:
        return keyAscii == locale.decimalPoint().at(0).unicode();
    case KeyClass::UserName:
        return keyAscii >= 'a' && keyAscii <= 'z';
    }
    return false;
}

namespace {
QString allowedPattern(KeyClass keys)
{
    switch (keys) {
    case KeyClass::Code:
    case KeyClass::Whole:
        return QStringLiteral("[0-9]*");
    case KeyClass::Decimal:
        return QStringLiteral("[0-9%1]*").arg(QRegularExpression::escape(QLocale().decimalPoint()));
    case KeyClass::UserName:
        return QStringLiteral("[a-z0-9]*");
    }
    return {};
}
} // namespace

KeyHandler* installKeys(QLineEdit* box, KeyClass keys, std::function<void()> onEnter)
{
    // The validator keeps out what the key filter never sees (text set by drag and drop).
    box->setValidator(new QRegularExpressionValidator(QRegularExpression(allowedPattern(keys)), box));
    KeyHandler* handler = KeyHandler::install(box);
    handler->keyPress = [keys, onEnter = std::move(onEnter)](int keyAscii) {
        if (keyAscii == 13) {
            if (onEnter)
                onEnter();
            return true;
        }
        // Esc types nothing: it goes on to the window, where it closes a dialog.
        if (keyAscii == 27)
            return false;
        return !keyAllowed(keys, keyAscii);
    };
    return handler;
}

void refuse(Messages& messages, QLineEdit* box, const QString& text)
{
    messages.inform(text);
    box->clear();
    box->setFocus();
}

void reportDbError(Messages& messages, const QString& what, const DbError& error)
{
    // A connection closed until the program starts again refuses everything alike; what was
    // being done, and what became of it, would only blur the one instruction that counts.
    if (dynamic_cast<const DatabaseClosedUntilRestart*>(&error)) {
        messages.inform(error.message(), kAppTitle, Messages::Icon::Critical);
        return;
    }
    messages.inform(what + QStringLiteral("\n\n") + error.message(), kAppTitle, Messages::Icon::Critical);
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
// Watches a child window and gives its caller back once, whichever way the child goes away.
class ChildWatch final : public QObject {
public:
    ChildWatch(QWidget* caller, QWidget* child, CallerState how, std::function<void()> afterClose)
        : QObject(child), m_caller(caller), m_how(how), m_afterClose(std::move(afterClose))
    {
        child->installEventFilter(this);
    }
    ~ChildWatch() override { restore(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // A dialog sent away by Esc is hidden, not closed; a window closed by its frame is both.
        if ((event->type() == QEvent::Hide && !event->spontaneous()) || event->type() == QEvent::Close)
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
            if (m_how == CallerState::Hidden)
                m_caller->show();
            else
                m_caller->setEnabled(true);
            m_caller->activateWindow();
        }
        if (m_afterClose)
            m_afterClose();
    }

    QPointer<QWidget> m_caller;
    CallerState m_how;
    std::function<void()> m_afterClose;
    bool m_done = false;
};
} // namespace

void openChild(QWidget* caller, QWidget* child, CallerState how, std::function<void()> afterClose)
{
    new ChildWatch(caller, child, how, std::move(afterClose));
    if (how == CallerState::Hidden)
        caller->hide();
    else
        caller->setEnabled(false);
    child->show();
    // Kept above its caller by the window manager without being its child, which would share
    // the caller's disabled state.
    if (child->windowHandle() && caller->windowHandle())
        child->windowHandle()->setTransientParent(caller->windowHandle());
    child->raise();
    child->activateWindow();
}

void openInPlaceOf(QWidget* caller, QWidget* window)
{
    window->setAttribute(Qt::WA_DeleteOnClose);
    // Filled to the screen even where no window manager maximises it.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window->setGeometry(screen->availableGeometry());
    window->setWindowState(Qt::WindowMaximized);
    openChild(caller, window, CallerState::Hidden);
}

PanelHost::PanelHost(QWidget* parent, int panelWidthTwips, int panelHeightTwips)
    : QScrollArea(parent), m_canvas(new QWidget), m_panel(named(new QWidget(m_canvas), "Picture1"))
{
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(false);
    setWidget(m_canvas);
    m_panel->resize(px(panelWidthTwips), px(panelHeightTwips));
    m_canvas->resize(m_panel->size());
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
    const QSize panel = m_panel->size();
    const bool scrollsAcross = room.width() < panel.width();
    const bool scrollsDown = room.height() < panel.height();
    // A scroll bar takes room from the other direction.
    QSize view = room;
    if (scrollsAcross)
        view.rheight() -= horizontalScrollBar()->sizeHint().height();
    if (scrollsDown)
        view.rwidth() -= verticalScrollBar()->sizeHint().width();
    m_canvas->resize(std::max(view.width(), panel.width()), std::max(view.height(), panel.height()));
    m_panel->move(panelPosition(m_screen.isValid() ? m_screen : room, view, panel));
}

QWidget* lightBluePanel(QMainWindow* window, int panelWidthTwips, int panelHeightTwips)
{
    auto* host = new PanelHost(window, panelWidthTwips, panelHeightTwips);
    window->setCentralWidget(host);
    setBackColour(host->viewport(), QColor(40, 40, 40));
    setBackColour(host->panel(), QColor(0x00, 0xBB, 0xFF));
    return host->panel();
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

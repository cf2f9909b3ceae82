// How windows open, wait and close: the maximised and fixed skeletons, the content panel, a child
// window opened in place of its caller or above it, centring, and the keyboard handed back.
#include "kit/window_flow.h"

#include "kit/look.h"
#include "app/placement.h"
#include "common/services.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace tarvino {

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

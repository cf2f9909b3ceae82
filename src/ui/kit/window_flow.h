// How windows open, wait and close: the maximised and fixed skeletons, the content panel, a child
// window opened in place of its caller or above it, centring, and the keyboard handed back.
#pragma once

#include <QPointer>
#include <QScrollArea>
#include <QSize>

#include <functional>
#include <utility>

class QFont;
class QMainWindow;

namespace tarvino {

// How a window waits while a window it opened is open.
enum class CallerState { Hidden, Disabled };

// Shows child and hides or disables caller until child closes, however it closes (its own
// buttons, Esc, the window frame or being deleted); then caller is shown or enabled, afterClose
// runs, the cursor goes to caller's entry box (see setEntryBox; without one, back where it was)
// and caller is activated again. A window hidden because it opened a child of its own is waiting,
// not closed: its caller stays as it is. A disabled caller keeps child above it.
void openChild(QWidget* caller, QWidget* child, CallerState how,
               std::function<void()> afterClose = {});

// Names the box that gets the cursor whenever window has the keyboard back from a window it
// opened. box is asked at that moment, so that it can answer by the window's state; null leaves the
// cursor where it was.
void setEntryBox(QWidget* window, std::function<QWidget*()> box);

// The skeleton of a maximised window: its name and caption, its font, and its content, the panel
// Picture1 of the program's panel size inside a PanelHost, light blue on dark grey or in the plain
// colours. Returns the panel. It opens with openInPlaceOf.
enum class PanelFace { LightBlue, Plain };
QWidget* maximisedWindow(QMainWindow* window, const char* name, const QFont& font,
                         PanelFace face = PanelFace::LightBlue);

// The skeleton of a window of fixed size, in two parts. fixedWindow, in its constructor: its name,
// caption and size in pixels, and an Esc that no control of it takes closes it, as its frame
// button does (unless esc says it is left alone). openFixed, in its static open: deleted when it
// closes, centred, shown.
enum class EscKey { Closes, Ignored };
void fixedWindow(QWidget* window, const char* name, QSize pixels, EscKey esc = EscKey::Closes);

// Where a window of fixed size opens: centred over the window that opens it, or on the screen.
enum class CentreOn { Caller, Screen };

// Puts window in the middle of over, or of the screen's free area where over is null.
void centreWindow(QWidget* window, const QWidget* over);

// Opens a window of fixed size, to be deleted when it closes: centred as where says, then shown as
// openChild shows it.
void openFixed(QWidget* caller, QWidget* window, CallerState how, CentreOn where,
               std::function<void()> afterClose = {});

// Maximises window, filling the screen even where no window manager maximises it.
void fillScreen(QWidget* window);

// Opens a main window of the program maximised in place of caller, which is hidden until the
// window closes; Esc closes it as its frame button does. The window is deleted when it closes.
void openInPlaceOf(QWidget* caller, QWidget* window);

// The static open of a maximised window W: made from args, loaded (Form_Load) and opened in place
// of caller.
template <typename W, typename... Args>
W* openMaximised(QWidget* caller, Args&&... args)
{
    auto* window = new W(std::forward<Args>(args)...);
    window->Form_Load();
    openInPlaceOf(caller, window);
    return window;
}

// The content of a main window: the fixed panel Picture1 inside a scroll area. The panel is placed
// where CentreContainer's rule puts it for the display size, moved in only as far as needed to lie
// wholly inside the space the window has for its content; where that space is smaller than the
// panel, the panel starts at its corner and the window scrolls instead of cutting it off.
class PanelHost final : public QScrollArea {
public:
    PanelHost(QWidget* parent, int panelWidthTwips, int panelHeightTwips);
    QWidget* panel() const { return m_panel; }
    // The display size in pixels that the rule places the panel for.
    void setScreenSize(const QSize& pixels);
    // Lets a control of the panel (a list, a banner) run across the whole width the window has:
    // where the window is wider than the panel, the panel grows to its width, this control with
    // it, and every other control keeps its place in the middle.
    void stretchAcross(QWidget* control);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void layoutPanel();

    QWidget* m_canvas;
    QWidget* m_panel;
    QSize m_screen;
    QSize m_nominal; // the panel's own size
    QList<QPointer<QWidget>> m_stretched;
};

// Lets control, on the panel of a main window, run across the whole width the window has (see
// PanelHost::stretchAcross); on a panel of another kind it keeps its size.
void stretchAcrossWindow(QWidget* control);

// Where the panel goes in a content area of viewport pixels: the rule's place for the display,
// moved in to fit, never left of or above the corner.
QPoint panelPosition(const QSize& screen, const QSize& viewport, const QSize& panel);

} // namespace tarvino

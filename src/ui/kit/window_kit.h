// The window kit: how every window is built and behaves (twips geometry, fonts, colours, lists,
// key classes, refusals, error reports, the content panel and opening a child window).
#pragma once

#include "kit/key_filter.h"
#include "common/services.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QFont>
#include <QLocale>
#include <QPointer>
#include <QScrollArea>
#include <QString>

#include <functional>
#include <memory>
#include <span>
#include <utility>

class QAbstractButton;
class QAbstractItemView;
class QLabel;
class QLineEdit;
class QMainWindow;
class QPushButton;
class QTreeView;

namespace tarvino {

class DbError;
class Messages;

inline constexpr int kTwipsPerPixel = 15;

// Pixels for a length given in twips.
constexpr int px(int twips)
{
    return twips / kTwipsPerPixel;
}

// Gives a widget its control name, as member and objectName.
template <typename W>
W* named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

void setTwipsGeometry(QWidget* widget, int left, int top, int width, int height);

// Names a widget and places it by its left, top, width and height in twips.
template <typename W>
W* place(W* widget, const char* name, int left, int top, int width, int height)
{
    setTwipsGeometry(named(widget, name), left, top, width, height);
    return widget;
}

// The Arial face of the windows (Liberation Sans where Arial itself is not installed).
QFont arial(double points, bool bold = false);
// The narrow face of the window banners (Liberation Sans Narrow where Arial Narrow is missing).
QFont arialNarrow(double points, bool bold = false);

void setTextColour(QWidget* widget, const QColor& colour);
// A filled background behind a label, frame or box.
void setBackColour(QWidget* widget, const QColor& colour);
// A coloured button that stays readable when disabled and shows where the keyboard focus is.
void setButtonColours(QPushButton* button, const QColor& back, const QColor& text = Qt::black);

// A button the keyboard reaches with Tab and presses with Space or Enter.
void keyboardButton(QAbstractButton* button);

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

// What can be typed into an entry box. Every class also takes Backspace and Enter.
enum class KeyClass {
    Code,      // digits: product codes
    Whole,     // digits: whole numbers
    Decimal,   // digits and one decimal mark, typed as "," or "." and shown as the locale's
    Money,     // digits and one locale decimal mark; the other mark groups thousands (see readMoney)
    UserName,  // lower-case letters "a" to "z" and digits: user names and passwords
};

// Whether the character code is typed into a box of the class (Backspace included, Enter not).
bool keyAllowed(KeyClass keys, int keyAscii);

// Installs the class on the box: a validator for what may stand in it and a key filter that
// stops every other key before the box sees it, and says so (see refuseKey). In a decimal box
// either mark is typed as the locale's decimal mark, and only one of them is taken; in a money box
// only the locale's mark is, and the other one, the thousands separator, is refused as unneeded.
// A key that would go past the box's maximum length is refused the same way. Enter runs onEnter (and never
// reaches the box); the returned handler takes further key handling (F1/F2, Esc).
KeyHandler* installKeys(QLineEdit* box, KeyClass keys, std::function<void()> onEnter = {});

// Makes box a password box: each character typed shows as "*".
void hidePassword(QLineEdit* box);

// A key the box does not take: a beep, the box tinted red for a moment and why in a note just under
// it in the window (kRefusalNote), so that no typed key goes missing unnoticed, not even in a
// password box that shows no letters.
void refuseKey(QLineEdit* box, const QString& why);
// The objectName of that note, one per window.
inline constexpr char kRefusalNote[] = "refusalNote";

// An entry refused: the message, then the box emptied and focused.
void refuse(Messages& messages, QLineEdit* box, const QString& text);

// Runs work; a database failure is reported with what and false returned.
bool guarded(Messages& messages, const QString& what, const std::function<void()>& work);

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

// Makes caption the label of box, which the keyboard (its Alt key) and screen readers go by. A
// drop-down list so captioned keeps its chosen entry readable: the list's name comes from the
// caption, its value and chosen row from the entry (give it no accessible name of its own).
void setCaption(QLabel* caption, QWidget* box);
// The same, where the box is placed: returns box.
template <typename W>
W* captioned(QLabel* caption, W* box)
{
    setCaption(caption, box);
    return box;
}

// A window's banner: white text centred on black across the top of parent, width by height twips.
QLabel* banner(QWidget* parent, const char* name, const QString& text, int widthTwips, int heightTwips,
               const QFont& font);

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

// The product search windows: find a product by part of its name and hand its code to the caller.
#include "sales/search_window.h"

#include "kit/window_kit.h"
#include "kit/key_filter.h"
#include "common/services.h"

#include <QCheckBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QTimer>

#include <algorithm>
#include <optional>

namespace tarvino {

namespace {
constexpr int kWindowTwips = 6000;
constexpr int kMargin = 120;
constexpr int kBoxHeight = 450;

// A list view shows one column without a title, and only its alignment counts.
const ListColumn kNameColumn[] = {{"Nombre", 0, Qt::AlignLeft}};

bool isDigitOrLetter(int keyAscii)
{
    return (keyAscii >= '0' && keyAscii <= '9') || (keyAscii >= 'A' && keyAscii <= 'Z') ||
           (keyAscii >= 'a' && keyAscii <= 'z');
}
} // namespace

ProductSearch::ProductSearch(Context& context, const char* name, HandOver handOver)
    : QWidget(nullptr), m_ctx(context), m_handOver(std::move(handOver)), m_refresh(new QTimer(this))
{
    setFont(arial(12));
    // Wide enough for a whole 40-character name beside the list's frame, margins and scroll bar.
    const int inner = std::max(kWindowTwips - 2 * kMargin,
                               (QFontMetrics(font()).horizontalAdvance(QLatin1String(kWidestName)) + 40) *
                                   kTwipsPerPixel);
    fixedWindow(this, name, QSize(px(inner + 2 * kMargin), px(kWindowTwips)));

    Text1 = place(new QLineEdit(this), "Text1", kMargin, kMargin, inner, kBoxHeight);
    Text1->setAccessibleName(QStringLiteral("Nombre del producto a buscar"));
    const int listTop = 2 * kMargin + kBoxHeight;
    List1 = place(new QListView(this), "List1", kMargin, listTop, inner, kWindowTwips - listTop - kMargin);
    List1->setAccessibleName(QStringLiteral("Productos encontrados"));
    // The empty text lists the whole catalogue: rows of one height let the view lay out and
    // scroll 100,000 names without measuring each.
    List1->setUniformItemSizes(true);
    m_matches = attachModel<ProductMatches>(
        List1, kNameColumn, [](const ProductMatches& found) { return found.names.size(); },
        [](const ProductMatches& found, qsizetype row, int) { return found.names[row]; }, this);
    List1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    keyboardList(List1);
    setTabOrder(Text1, List1);

    m_refresh->setSingleShot(true);
    m_refresh->setInterval(0);
    connect(m_refresh, &QTimer::timeout, this, &ProductSearch::Command1_Click);

    KeyHandler* textKeys = KeyHandler::install(Text1);
    textKeys->keyDown = [this](int) { m_pressSeen = true; };
    textKeys->keyUp = [this](int key) { Text1_KeyUp(key); };
    KeyHandler::install(List1)->keyPress = [this](int keyAscii) { return List1_KeyPress(keyAscii); };

    Text1->setFocus();
}

ProductSearch* ProductSearch::open(QWidget* caller, Context& context, const char* name, HandOver handOver,
                                   std::function<void()> afterClose)
{
    auto* form = new ProductSearch(context, name, std::move(handOver));
    // The search has no use without the window it serves.
    connect(caller, &QObject::destroyed, form, &QObject::deleteLater);
    openFixed(caller, form, CallerState::Disabled, CentreOn::Caller, std::move(afterClose));
    return form;
}

void ProductSearch::Text1_KeyUp(int key)
{
    // The press of Esc has closed the window: its release asks for nothing.
    if (!m_pressSeen || key == Qt::Key_Escape)
        return;
    m_refresh->start();
}

void ProductSearch::Command1_Click()
{
    m_refresh->stop();
    ProductMatches found;
    guarded(m_ctx.messages, QStringLiteral("No se pudieron buscar los productos."),
            [&] { found = findProductsByName(m_ctx.db, Text1->text()); });
    // On a failure the list is left empty, as it is emptied before every search.
    m_matches->setRows(std::move(found));
}

bool ProductSearch::List1_KeyPress(int keyAscii)
{
    switch (keyAscii) {
    case 13:
        List1_Enter();
        return true;
    case 27:
        close();
        return true;
    case 8:
        return false;
    default:
        // Letters and digits move the selection to the next name starting with them.
        return !isDigitOrLetter(keyAscii);
    }
}

void ProductSearch::List1_Enter()
{
    const QModelIndexList selected = List1->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return;
    std::optional<QString> code;
    if (!guarded(m_ctx.messages, QStringLiteral("No se pudo leer el producto elegido."),
                 [&] { code = chosenProductCode(m_ctx.db, m_matches->rows(), selected.first().row()); }))
        return;
    // A product deleted or renamed since the list was filled is no choice: the window stays.
    if (!code)
        return;
    m_handOver(*code);
    close();
}

} // namespace tarvino

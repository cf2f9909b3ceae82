// The product editor: creates, changes and deletes the products of the catalogue, one at a time.
#include "catalogue/editor_window.h"

#include "app/placement.h"
#include "app/support_window.h"
#include "catalogue/product_entry.h"
#include "kit/window_kit.h"
#include "kit/key_filter.h"
#include "common/numbers.h"
#include "common/services.h"
#include "data/database.h"
#include "sales/search_window.h"

#include <QClipboard>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QTreeView>

#include <algorithm>

namespace tarvino {

namespace {

const ListColumn kProductColumns[] = {
    {"Item", 800, Qt::AlignLeft},
    {"Código", 2100, Qt::AlignLeft, Fits::Code},
    {"Nombre", 5000, Qt::AlignLeft, Fits::Name},
    {"Cantidad", 1300, Qt::AlignRight},
    {"Precio Costo", 1800, Qt::AlignRight},
    {"Precio Venta", 1800, Qt::AlignRight},
    {"Categoría", 2500, Qt::AlignHCenter},
};

// A mouse button pressed on an entry box empties the clipboard, so that nothing can be pasted
// past the box's key filter.
class ClipboardEmptier final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::MouseButtonPress) {
            QClipboard* clipboard = QGuiApplication::clipboard();
            clipboard->clear();
            clipboard->setText(QString());
        }
        return QObject::eventFilter(watched, event);
    }
};

// A box's typing limit: what the user types, pastes or drops stops at limit characters, but what
// the program puts in the box (a stored name or code longer than the limit) is shown whole, so
// that Guardar writes back what it loaded; typing then keeps such a text within the length it
// was loaded with. A maximum length on the box would cut the stored text the moment it is set.
class TypingLimit final : public QObject {
public:
    TypingLimit(QLineEdit* box, int limit)
        : QObject(box), m_box(box), m_limit(limit), m_allowed(limit), m_kept(box->text())
    {
        // A user's edit signals textEdited and then textChanged; the program's setText only the latter.
        connect(box, &QLineEdit::textEdited, this, &TypingLimit::edited);
        connect(box, &QLineEdit::textChanged, this, &TypingLimit::changed);
    }

private:
    void edited(const QString& text)
    {
        m_byUser = true;
        if (text.size() <= m_allowed)
            return;
        // Too long: the edit is taken back, the cursor where it stood before the insertion.
        const qsizetype cursor = std::max<qsizetype>(0, m_box->cursorPosition() - (text.size() - m_kept.size()));
        m_undoing = true;
        m_box->setText(m_kept);
        m_undoing = false;
        m_box->setCursorPosition(int(cursor));
    }

    void changed()
    {
        m_kept = m_box->text();
        if (m_undoing)
            return;
        if (!m_byUser)
            m_allowed = std::max(m_limit, m_kept.size());
        m_byUser = false;
    }

    QLineEdit* m_box;
    qsizetype m_limit;
    qsizetype m_allowed; // the limit, or the length of a longer text the program put in
    QString m_kept;      // the text before the edit under way
    bool m_byUser = false;
    bool m_undoing = false;
};

void limitTyping(QLineEdit* box, int limit)
{
    new TypingLimit(box, limit);
}

} // namespace

Form2::Form2(Context& context, QWidget* parent)
    : QMainWindow(parent), m_ctx(context)
{
    buildControls();
}

Form2* Form2::open(QWidget* caller, Context& context)
{
    Form2* editor = openMaximised<Form2>(caller, context);
    editor->Text1->setFocus();
    return editor;
}

void Form2::buildControls()
{
    Picture1 = maximisedWindow(this, "Form2", arial(11.25, true));
    Label1 = banner(Picture1, "Label1", QStringLiteral("EDICIÓN DE PRODUCTOS"), 15135, 615,
                    arialNarrow(20.25, true));

    ListView1 = place(new QTreeView(Picture1), "ListView1", 0, 600, 15135, 6015);
    m_model = attachModel<ProductList>(
        ListView1, kProductColumns, [](const ProductList& rows) { return rows.size(); },
        [](const ProductList& rows, qsizetype row, int column) { return rows.text(row, column); }, this);
    setUpReportList(ListView1, kProductColumns, arial(13, true), arial(10, true));
    connect(ListView1, &QTreeView::clicked, this, &Form2::ListView1_Click);
    stretchAcrossWindow(Label1);
    stretchAcrossWindow(ListView1);
    // Enter on the chosen row loads its product, as a click does.
    KeyHandler::install(ListView1)->keyPress = [this](int keyAscii) {
        if (keyAscii != 13 || !ListView1->selectionModel()->isSelected(ListView1->currentIndex()))
            return false;
        ListView1_Click();
        return true;
    };

    // The support badge and button on the left.
    Picture2 = place(new QFrame(Picture1), "Picture2", 240, 6840, 2760, 1140);
    setBackColour(Picture2, QColor(0, 160, 0));
    auto* software = place(new QLabel(QStringLiteral("SOFTWARE"), Picture2), "Label21", 0, 120, 2760, 420);
    auto* freeOfCharge = place(new QLabel(QStringLiteral("DE USO GRATUITO"), Picture2), "Label22", 0, 600, 2760, 420);
    for (QLabel* label : {software, freeOfCharge}) {
        label->setAlignment(Qt::AlignCenter);
        label->setFont(arial(12, true));
        setTextColour(label, Qt::white);
    }
    Command1 = place(new QPushButton(QStringLiteral("SOPORTE Y ASISTENCIA"), Picture1), "Command1", 240, 8160, 2760, 840);
    setButtonColours(Command1, QColor(255, 255, 0));
    keyboardButton(Command1);
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);

    // The entry group in the middle: captions in one column, boxes beside them.
    const auto row = [this](const char* labelName, const char* caption, int left, int top) {
        return place(new QLabel(QString::fromUtf8(caption), Picture1), labelName, left, top + 30, 1800, 390);
    };
    constexpr int kCaptions = 3360;
    constexpr int kBoxes = 5160;
    Label2 = row("Label2", "Código", kCaptions, 6780);
    Text1 = captioned(Label2, place(new QLineEdit(Picture1), "Text1", kBoxes, 6780, 2700, 420));
    limitTyping(Text1, 15);
    Command7 = place(new QPushButton(QStringLiteral("Buscar"), Picture1), "Command7", 8040, 6750, 1500, 480);
    setButtonColours(Command7, QColor(0, 192, 0), Qt::white);
    keyboardButton(Command7);
    connect(Command7, &QPushButton::clicked, this, &Form2::Command7_Click);
    Label3 = row("Label3", "Nombre", kCaptions, 7260);
    Text2 = captioned(Label3, place(new QLineEdit(Picture1), "Text2", kBoxes, 7260, 4800, 420));
    limitTyping(Text2, 40);
    Label4 = row("Label4", "Cantidad", kCaptions, 7740);
    Text3 = captioned(Label4, place(new QLineEdit(Picture1), "Text3", kBoxes, 7740, 1500, 420));
    limitTyping(Text3, 8);
    Label9 = row("Label9", "Stock Crítico", 6900, 7740);
    Text6 = captioned(Label9, place(new QLineEdit(Picture1), "Text6", 8640, 7740, 1320, 420));
    limitTyping(Text6, 5);
    Text6->setAlignment(Qt::AlignCenter);
    Label5 = row("Label5", "Precio Costo", kCaptions, 8220);
    Text4 = captioned(Label5, place(new QLineEdit(Picture1), "Text4", kBoxes, 8220, 1500, 420));
    limitTyping(Text4, 7);
    Label6 = row("Label6", "Precio Venta", kCaptions, 8700);
    Text5 = captioned(Label6, place(new QLineEdit(Picture1), "Text5", kBoxes, 8700, 1500, 420));
    limitTyping(Text5, 7);
    Label7 = row("Label7", "Categoría", kCaptions, 9180);
    Combo2 = captioned(Label7, place(new QComboBox(Picture1), "Combo2", kBoxes, 9180, 4800, 420));
    Combo2->setEditable(true);
    Combo2->setInsertPolicy(QComboBox::NoInsert);

    // The sort selector and the record buttons on the right.
    Label20 = place(new QLabel(QStringLiteral("Ordenar Por:"), Picture1), "Label20", 10440, 6810, 1680, 390);
    Combo1 = captioned(Label20, place(new QComboBox(Picture1), "Combo1", 12120, 6780, 2760, 420));
    Command3 = place(new QPushButton(QStringLiteral("Guardar"), Picture1), "Command3", 10440, 7560, 1440, 1200);
    Command3->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    setButtonColours(Command3, Qt::white);
    Command4 = place(new QPushButton(QStringLiteral("Eliminar"), Picture1), "Command4", 11940, 7560, 1440, 1200);
    Command4->setIcon(style()->standardIcon(QStyle::SP_TrashIcon));
    setButtonColours(Command4, Qt::white);
    Command5 = place(new QPushButton(QStringLiteral("cancelar"), Picture1), "Command5", 13440, 7560, 1440, 1200);
    setButtonColours(Command5, QColor(255, 0, 0), Qt::white);
    for (QPushButton* button : {Command3, Command4, Command5})
        keyboardButton(button);
    connect(Command3, &QPushButton::clicked, this, &Form2::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form2::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &Form2::Command5_Click);
    connect(Combo1, &QComboBox::activated, this, &Form2::Combo1_Click);

    setTabOrder(Text1, Text2);
    setTabOrder(Text2, Text3);
    setTabOrder(Text3, Text4);
    setTabOrder(Text4, Text5);
    setTabOrder(Text5, Combo2);
    setTabOrder(Combo2, Text6);
    setTabOrder(Text6, Command3);
    setTabOrder(Command3, Command4);
    setTabOrder(Command4, Command5);

    // Back from the search or the support window, the cursor is in the code box, or in the name box
    // once a product is loaded.
    setEntryBox(this, [this]() -> QWidget* { return Text1->isEnabled() ? Text1 : Text2; });

    installKeys(Text1, KeyClass::Code, [this] { LookUpProductCode(true); });
    installKeys(Text3, KeyClass::Decimal);
    installKeys(Text4, KeyClass::Decimal);
    installKeys(Text5, KeyClass::Decimal);
    installKeys(Text6, KeyClass::Whole);
    auto* emptier = new ClipboardEmptier(this);
    for (QLineEdit* box : {Text1, Text2, Text3, Text4, Text5, Text6})
        box->installEventFilter(emptier);
}

const ProductList& Form2::productRows() const
{
    return m_model->rows();
}

void Form2::Form_Load()
{
    ScreenSize(Text8, Text9);
    CentreContainer(Picture1, Text8, Text9);
    ReloadProductList();
    Combo1->clear();
    Combo1->addItems(productOrderChoices());
    Combo1->setCurrentIndex(-1);
    ClearProductFields();
    ResetToCodeEntry();
    Command4->setEnabled(false);
}

void Form2::ReloadProductList(ProductOrder order)
{
    // A list that cannot be read again shows the rows it had, from the top.
    std::shared_ptr<const ProductList> rows = m_model->sharedRows();
    guarded(m_ctx.messages, QStringLiteral("No se pudo leer la lista de productos."),
            [&] { rows = std::make_shared<const ProductList>(productList(m_ctx.db, order)); });
    m_model->setRows(std::move(rows));
}

void Form2::LoadCategoryChoices()
{
    QStringList categories;
    guarded(m_ctx.messages, QStringLiteral("No se pudo leer las categorías."),
            [&] { categories = productCategories(m_ctx.db); });
    Combo2->clear();
    Combo2->addItems(categories);
    Combo2->setEditText(QString());
}

void Form2::LookUpProductCode(bool fromEnter)
{
    if (fromEnter && !goesOn(m_ctx.messages, ProductEntry::code(Text1->text())))
        return;
    LoadCategoryChoices();
    std::optional<Product> found;
    if (!guarded(m_ctx.messages, QStringLiteral("No se pudo buscar el producto."),
                 [&] { found = findProductByCode(m_ctx.db, Text1->text()); }))
        return;
    EnableProductFields();
    if (found) {
        Text2->setText(found->name);
        Text3->setText(found->stock);
        Text4->setText(found->costPrice);
        Text5->setText(found->salePrice);
        Text6->setText(found->criticalStock);
        Combo2->setEditText(found->category);
        Text7 = found->code;
        m_loaded = found;
        m = true;
        Command4->setEnabled(true);
    } else {
        m = false;
        m_loaded.reset();
        Command4->setEnabled(false);
    }
    if (Text2->isEnabled())
        Text2->setFocus();
}

void Form2::Command6_Click()
{
    LookUpProductCode(false);
}

void Form2::ListView1_Click()
{
    const QModelIndex current = ListView1->currentIndex();
    const ProductList& rows = m_model->rows();
    if (rows.isEmpty() || !current.isValid())
        return;
    Text1->setText(rows.text(current.row(), 1));
    LookUpProductCode(false);
}

void Form2::Command3_Click()
{
    const Product boxes{Text1->text(), Text2->text(), Text3->text(), Text4->text(),
                        Text5->text(), Text6->text(), Combo2->currentText()};
    SaveResult result{SaveResult::Outcome::MissingData, {}, boxes.name};
    if (!guarded(m_ctx.messages, QStringLiteral("No se pudo guardar el producto. No se guardó nada."),
                 [&] { result = saveProduct(m_ctx.db, boxes, m, m_loaded ? &*m_loaded : nullptr); }))
        return;
    Text2->setText(result.name);
    if (!result.saved()) {
        m_ctx.messages.inform(result.message);
        return;
    }
    ResetToCodeEntry();
    Command4->setEnabled(false);
    ClearProductFields();
    ReloadProductList();
}

void Form2::Command4_Click()
{
    DeleteCheck check{DeleteCheck::Outcome::Vanished, {}};
    if (!guarded(m_ctx.messages, QStringLiteral("No se pudo eliminar el producto."),
                 [&] { check = checkProductDeletion(m_ctx.db, Text1->text()); }))
        return;
    if (!goesOn(m_ctx.messages, check.answer)) {
        // Someone else deleted it meanwhile: nothing is left to delete here.
        if (check.outcome == DeleteCheck::Outcome::Vanished)
            Command5_Click();
        else if (check.answer.kind == EntryAnswer::Kind::Ask)
            ReloadProductList();
        return;
    }
    if (!guarded(m_ctx.messages, QStringLiteral("No se pudo eliminar el producto. No se eliminó nada."),
                 [&] { deleteProduct(m_ctx.db, Text7); }))
        return;
    ClearProductFields();
    ResetToCodeEntry();
    ReloadProductList();
    Command4->setEnabled(false);
}

void Form2::Command5_Click()
{
    ClearProductFields();
    ResetToCodeEntry();
    Command4->setEnabled(false);
    ReloadProductList();
}

void Form2::Combo1_Click()
{
    ClearProductFields();
    ResetToCodeEntry();
    Command4->setEnabled(false);
    // The chosen order lasts until the next reload, which lists by name again.
    ReloadProductList(productOrderAt(Combo1->currentIndex()));
}

void Form2::Command7_Click()
{
    openSearch();
}

ProductSearch* Form2::openSearch()
{
    // The chosen product is loaded as if its code had been typed.
    return ProductSearch::open(this, m_ctx, "Form10", [editor = QPointer<Form2>(this)](const QString& code) {
        if (!editor)
            return;
        editor->Text1->setText(code);
        editor->Command6_Click();
    });
}

void Form2::Command1_Click()
{
    Form13::open(this, m_ctx, QStringLiteral("1"));
}

void Form2::setProductFieldsEnabled(bool enabled)
{
    Text1->setEnabled(!enabled);
    for (QWidget* box : std::initializer_list<QWidget*>{Text2, Text3, Text4, Text5, Text6, Combo2})
        box->setEnabled(enabled);
}

void Form2::ResetToCodeEntry()
{
    setProductFieldsEnabled(false);
    Text1->setFocus();
}

void Form2::EnableProductFields()
{
    setProductFieldsEnabled(true);
}

void Form2::ClearProductFields()
{
    for (QLineEdit* box : {Text1, Text2, Text3, Text4, Text5})
        box->clear();
    Text6->setText(QStringLiteral("0"));
    Combo2->clear();
    Combo2->setEditText(QString());
    Text7.clear();
    m_loaded.reset();
}

} // namespace tarvino

// The product search windows: find a product by part of its name and hand its code to the caller.
#pragma once

#include "app/context.h"
#include "catalogue/products.h"

#include <QPointer>
#include <QWidget>

class QLineEdit;
class QListView;
class QStringListModel;
class QTimer;

namespace tarvino {

class Form1;
class Form2;

// What both search windows share: the search box, the list of matching names, the search and the
// choice. The two differ only in where the chosen code goes.
class ProductSearch : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProductSearch)

public:
    // Hidden button pressed from code: refills the list from the text of Text1.
    void Command1_Click();

    QLineEdit* Text1;
    QListView* List1;

protected:
    ProductSearch(Context& context, const char* name);
    // Puts the window in the middle of the window it serves.
    void centreOver(const QWidget& caller);
    // Gives the chosen product's code to the window that opened this one.
    virtual void handOver(const QString& code) = 0;

    Context& m_ctx;

private:
    void Text1_KeyUp(int key);
    bool List1_KeyPress(int keyAscii);
    void List1_Enter();

    QStringListModel* m_names;
    // Coalesces the refreshes asked for by key releases: keys already waiting are handled first,
    // then one refresh runs with the text as it stands.
    QTimer* m_refresh;
    ProductMatches m_matches;
    // A release only counts once the box has seen a press: the Enter or Space that opened the
    // window is released here, and must not list the whole catalogue.
    bool m_pressSeen = false;
};

// Serves the sales window: the chosen product arrives in its code box, ready for a quantity.
class Form11 final : public ProductSearch {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form11)

public:
    // Disables the sales window and shows the search; closing enables the sales window again and
    // puts the cursor in an empty code box.
    static Form11* open(Form1& sales, Context& context);

private:
    Form11(Form1& sales, Context& context);
    void handOver(const QString& code) override;

    QPointer<Form1> m_sales;
};

// Serves the product editor: the chosen product is loaded into it.
class Form10 final : public ProductSearch {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form10)

public:
    // Disables the editor and shows the search; closing enables the editor again.
    static Form10* open(Form2& editor, Context& context);

private:
    Form10(Form2& editor, Context& context);
    void handOver(const QString& code) override;

    QPointer<Form2> m_editor;
};

} // namespace tarvino

// The product search windows: find a product by part of its name and hand its code to the caller.
#pragma once

#include "app/context.h"
#include "catalogue/products.h"

#include <QWidget>

#include <functional>

class QLineEdit;
class QListView;
class QTimer;

namespace tarvino {

template <typename Rows>
class ListModel;

// Finds a product by part of its name and hands the chosen product's code to the window that
// opened it, through the callback that window gives.
class ProductSearch final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProductSearch)

public:
    using HandOver = std::function<void(const QString& code)>;

    // Disables caller and shows the search, named name, centred over caller; a chosen product goes
    // to handOver before the search closes. Closing enables caller again, then runs afterClose. The
    // search goes away with its caller.
    static ProductSearch* open(QWidget* caller, Context& context, const char* name, HandOver handOver,
                               std::function<void()> afterClose = {});

    // Hidden button pressed from code: refills the list from the text of Text1.
    void Command1_Click();

    QLineEdit* Text1;
    QListView* List1;

private:
    ProductSearch(Context& context, const char* name, HandOver handOver);
    void Text1_KeyUp(int key);
    bool List1_KeyPress(int keyAscii);
    void List1_Enter();

    Context& m_ctx;
    HandOver m_handOver;
    ListModel<ProductMatches>* m_matches; // the names found, and the rows behind them
    // Coalesces the refreshes asked for by key releases: keys already waiting are handled first,
    // then one refresh runs with the text as it stands.
    QTimer* m_refresh;
    // A release only counts once the box has seen a press: the Enter or Space that opened the
    // window is released here, and must not list the whole catalogue.
    bool m_pressSeen = false;
};

} // namespace tarvino

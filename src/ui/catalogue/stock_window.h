// The stock window: lists the products by name, code or category, or those at critical stock,
// totals the investment of the listed rows and exports them to a spreadsheet.
#pragma once

#include "app/context.h"
#include "catalogue/stock_report.h"

#include <QMainWindow>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTreeView;

namespace tarvino {

template <typename Rows>
class ListModel;

class Form9 final : public QMainWindow {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form9)

public:
    explicit Form9(Context& context, QWidget* parent = nullptr);

    // Opens the stock window in place of caller (hidden while the stock window is open).
    static Form9* open(QWidget* caller, Context& context);

    void Form_Load();
    void Option1_Click(); // name-search mode
    void Option2_Click(); // code-search mode
    void Option3_Click(); // category mode
    void Command2_Click(); // BUSCAR
    void Command1_Click(); // Exportar
    void Command3_Click(); // Stock Crítico
    // Hidden button: runs the name search.
    void Command5_Click();

    QWidget* Picture1;
    QLabel* Label1;
    QTreeView* ListView1;
    QProgressBar* ProgressBar1;
    QFrame* Shape1;
    QLabel* Label2;
    QRadioButton* Option3;
    QComboBox* Combo1;
    QRadioButton* Option1;
    QLineEdit* Text1;
    QRadioButton* Option2;
    QLineEdit* Text2;
    QPushButton* Command2;
    QPushButton* Command1;
    QPushButton* Command3;

    // The display size in pixels that the panel is placed for.
    QString screenWidth;
    QString screenHeight;

    // The list's rows, as shown.
    const StockList& stockRows() const;

private:
    void SetUpStockList();
    void RunStockSearch();
    void SearchStockByName();
    void SearchStockByCode();
    void SearchStockByCategory();
    void ListCriticalStock();
    void ShowInvestmentTotal();
    void showRows(StockList rows);
    void setListLook(StockList::Look look);
    void buildControls();

    Context& m_ctx;
    ListModel<StockList>* m_model;
};

} // namespace tarvino

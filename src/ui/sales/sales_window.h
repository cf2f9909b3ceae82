// The sales window: rings up a sale by product code, totals it, settles it and owns the sales day.
#pragma once

#include "app/context.h"
#include "sales/sale_lines.h"
#include "sales/sales_day.h"
#include "users/users.h"

#include <QMainWindow>
#include <QPointer>

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;
class QTreeWidget;

namespace tarvino {

class Form5;
struct QuantityAnswer;
class ProductSearch;

class Form1 final : public QMainWindow {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form1)

public:
    explicit Form1(Context& context, QWidget* parent = nullptr);
    ~Form1() override;

    // Start-up: lists, placement, the Temporal column check, the unclosed-day question, reset.
    // False (after a message) when the file could not be prepared: the till must not open.
    bool Form_Load();

    // Hidden buttons pressed from program code.
    bool guardar();        // records the settled sale; false (sale kept) when it could not
    void Command4_Click(); // reloads the opening stamp from the first Temporal line
    void Command2_Click(); // CANCELAR: throws the sale away
    void Command1_Click(); // PAGAR: opens the payment window
    void Command3_Click(); // the product search beside the code box
    // Opens the search by name over the sales window; the product chosen there lands in the code box.
    ProductSearch* openSearch();
    bool cierreDelDia();   // closes the sales day; false when it could not

    // Routines of the sale.
    void ConfigureSaleList();
    void ClearSale();
    void ResetEntry();
    // The quantity is the one the quantity box was read as.
    void AddProductToSale(double quantity);
    void DeductFromSale(double quantity);
    void AppendSaleLine();
    void ComputeTotal();
    void ShowTotal();

    // Opens to the logged-in user only the menu items the rights allow; the others are greyed
    // and neither the mouse nor the keyboard reaches them.
    void applyRights(const UserRights& rights);
    // The rights of the user at the till, as applied.
    const UserRights& rights() const { return m_rights; }

    // Asks for the opening cash of the day, over this window (a new day at login, or the day
    // after a count-and-close).
    void askOpeningCash();

    // CAMBIAR CAJERO: with no sale on screen, offers the leaving cashier's X report and hands the
    // till to the login, keeping the day open; the login shows this window again for the next one.
    void cambiarCajero_Click();

    // The sales day the window sells into: its opening stamp and user are set by the login.
    SalesDay& day() { return m_day; }
    const SalesDay& day() const { return m_day; }

    bool deductionMode() const;
    Form5* paymentWindow() const;

    // Visible controls.
    QWidget* Picture1;
    QLabel* Label13;
    QTreeWidget* ListView1;
    QLabel* Label19; // the keys of the window, in one line under the list
    QLabel* Label17;
    QCheckBox* Check1;
    QFrame* Frame2;
    QLabel* Label18;
    QLabel* Label5;
    QLineEdit* Text7;
    QPushButton* Command3;
    QLabel* Label6;
    QLineEdit* Text8;
    QPushButton* Command1;
    QPushButton* Command2;
    QFrame* FrameTotal;
    QLabel* Label7;
    QLabel* Label8;
    QTimer* Timer2;

    // Main menu.
    QMenu* productos;
    QAction* edicionProductos;
    QAction* usuarios;
    QAction* recaudaciondeldia;
    QMenu* informes;
    QAction* recaudacion;
    QAction* stock;
    QAction* ventaparcial;
    QAction* soporte;
    QAction* arqueos;          // INFORMES › ARQUEOS DE CAJA
    QMenu* caja;
    QAction* fondoCaja;
    QAction* ingresoDinero;
    QAction* retiroDinero;
    QAction* informeX;
    QAction* cambiarCajero;
    QAction* arqueoCierre;

    // Hidden working fields.
    QString Text1;  // display width in pixels
    QString Text2;  // display height in pixels
    QString Text9;  // total to pay, plain number text
    QString Text10; // payment kind
    QString Text11; // amount tendered
    QString Text12; // change
    Cents splitCashPart = 0; // the cash part of a sale paid part cash, part card
    QString Text13; // quantity of the last entered product now in the sale
    QString Text14; // critical stock of the last entered product
    QString Text15; // stock of the last entered product
    SaleLines ListView2; // the sale detail list

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Text7_KeyDown(int key);
    void Check1_Click();
    void Timer2_Timer();

    void codeEntered();
    void quantityEntered();
    // Shows what the quantity rules answered, as the quantity box takes it; true when the entry
    // goes on.
    bool goesOn(const QuantityAnswer& answer);
    void enterQuantityState();
    // Finds the product whose code is in the code box; false (after a message) when the
    // database could not be read.
    bool lookUpProduct(std::optional<Product>& found);
    void addFoundProduct(const Product& product);
    void rebuildSaleList();
    void setWarning(bool critical, const QString& name);
    // Shows the total, in a smaller size when its figure would not fit.
    void setTotalCaption(const QString& caption);
    void buildControls();
    void buildMenu();

    Context& m_ctx;
    QPointer<Form5> m_payment;
    SalesDay m_day;
    UserRights m_rights;
};

} // namespace tarvino

// The product editor: creates, changes and deletes the products of the catalogue, one at a time.
#pragma once

#include "app/context.h"
#include "catalogue/products.h"

#include <QMainWindow>

#include <memory>
#include <optional>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;

namespace tarvino {

class ListModel;
class ProductSearch;

class Form2 final : public QMainWindow {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form2)

public:
    explicit Form2(Context& context, QWidget* parent = nullptr);

    // Opens the editor in place of caller (hidden while the editor is open).
    static Form2* open(QWidget* caller, Context& context);

    void Form_Load();
    // Hidden button pressed by the search window: loads the product whose code is in Text1.
    void Command6_Click();
    void Command3_Click(); // Guardar
    void Command4_Click(); // Eliminar
    void Command5_Click(); // cancelar
    void Command7_Click(); // Buscar
    // Opens the search by name over the editor; the product chosen there is loaded here.
    ProductSearch* openSearch();
    void Command1_Click(); // SOPORTE Y ASISTENCIA
    void Combo1_Click();   // a sort order chosen

    QWidget* Picture1;
    QLabel* Label1;
    QTreeView* ListView1;
    QLabel* Label2;
    QLineEdit* Text1;
    QPushButton* Command7;
    QLabel* Label3;
    QLineEdit* Text2;
    QLabel* Label4;
    QLineEdit* Text3;
    QLabel* Label9;
    QLineEdit* Text6;
    QLabel* Label5;
    QLineEdit* Text4;
    QLabel* Label6;
    QLineEdit* Text5;
    QLabel* Label7;
    QComboBox* Combo2;
    QPushButton* Command3;
    QPushButton* Command4;
    QPushButton* Command5;
    QLabel* Label20;
    QComboBox* Combo1;
    QFrame* Picture2;
    QPushButton* Command1;

    // Hidden working fields.
    QString Text8;  // display width in pixels
    QString Text9;  // display height in pixels
    QString Text7;  // code of the product last loaded
    bool m = false; // an existing product is loaded: Guardar changes it

    // The list's rows, as shown.
    const ProductList& productRows() const;

private:
    void LookUpProductCode(bool fromEnter);
    void ListView1_Click();
    void LoadCategoryChoices();
    void ResetToCodeEntry();
    void EnableProductFields();
    // Code entry (false) or the product's boxes (true).
    void setProductFieldsEnabled(bool enabled);
    void ClearProductFields();
    void ReloadProductList(ProductOrder order = ProductOrder::ByName);
    void buildControls();

    Context& m_ctx;
    ListModel* m_model;
    std::shared_ptr<const ProductList> m_rows; // shared with the list's model
    // The product as the last look-up found it: Guardar leaves a number it only showed as stored.
    std::optional<Product> m_loaded;
};

} // namespace tarvino

// The support window: the support channels and paid services the shop's supplier wrote beside bd1.
#pragma once

#include "app/context.h"

#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;

namespace tarvino {

struct SupportInfo;

class Form13 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form13)

public:
    // Shows the window in place of caller, which is hidden until the window closes, however it
    // closes. text1 says who opened it: "0" the sales window's menu, "1" the product editor.
    static Form13* open(QWidget* caller, Context& context, const QString& text1);

    void Command1_Click(); // CERRAR

    QLabel* Label1; // heading
    QLabel* Label2; // contact channels and hours, or where the supplier writes them
    QLabel* Label3; // paid services
    QLabel* Label4; // the web page, opened in the system's browser; hidden when there is none
    QPushButton* Command1;

    // Hidden working field: "0" opened from the sales window, "1" from the product editor.
    QString Text1;

private:
    Form13();
    void showSupport(const SupportInfo& info);
};

} // namespace tarvino

// The support window: the support channels and paid services the shop's supplier wrote beside bd1.
#include "app/support_window.h"

#include "app/support_info.h"
#include "kit/window_kit.h"
#include "common/services.h"
#include "data/database.h"

#include <QLabel>
#include <QPushButton>

namespace tarvino {

namespace {
constexpr int kWidth = 7200;
constexpr int kHeight = 5580;
constexpr int kMargin = 240;

} // namespace

Form13::Form13() : QWidget(nullptr)
{
    fixedWindow(this, "Form13", QSize(px(kWidth), px(kHeight)));
    setFont(arial(10));

    const int inner = kWidth - 2 * kMargin;
    Label1 = place(new QLabel(QStringLiteral("SOPORTE Y ASISTENCIA - TARVINO 1.0"), this), "Label1",
                   kMargin, kMargin, inner, 480);
    Label1->setFont(arial(14, true));
    Label1->setAlignment(Qt::AlignCenter);

    // What the supplier wrote is shown as plain text: a "<" in the file is a "<" on the screen.
    Label2 = place(new QLabel(this), "Label2", kMargin, 960, inner, 1260);
    Label2->setTextFormat(Qt::PlainText);
    Label2->setWordWrap(true);
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label2->setTextInteractionFlags(Qt::TextSelectableByMouse);

    Label3 = place(new QLabel(this), "Label3", kMargin, 2340, inner, 1620);
    Label3->setTextFormat(Qt::PlainText);
    Label3->setWordWrap(true);
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label3->setTextInteractionFlags(Qt::TextSelectableByMouse);

    Label4 = place(new QLabel(this), "Label4", kMargin, 4080, inner, 420);
    Label4->setTextFormat(Qt::RichText);
    Label4->setOpenExternalLinks(true);
    Label4->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    Label4->setToolTip(QStringLiteral("Se abre en el navegador"));

    Command1 = place(new QPushButton(QStringLiteral("CERRAR"), this), "Command1", (kWidth - 1800) / 2,
                     4740, 1800, 600);
    Command1->setFont(arial(11, true));
    setButtonColours(Command1, QColor(255, 255, 128));
    keyboardButton(Command1);
    connect(Command1, &QPushButton::clicked, this, &Form13::Command1_Click);
    setTabOrder(Command1, Label4);
    Command1->setFocus();
}

void Form13::showSupport(const SupportInfo& info)
{
    Label2->setText(info.contact);
    QString services;
    if (!info.services.isEmpty())
        services = QStringLiteral("Servicios con costo:\n  •  ") + info.services.join(QStringLiteral("\n  •  "));
    Label3->setText(services);
    // Without services the channels take the room of both.
    Label2->resize(Label2->width(), px(services.isEmpty() ? 3000 : 1260));
    Label3->setVisible(!services.isEmpty());
    // Only an http or https address the supplier wrote is ever offered to the browser.
    if (info.web.isEmpty()) {
        Label4->clear();
        Label4->hide();
        return;
    }
    const QString address = info.web.toString(QUrl::FullyEncoded);
    Label4->setText(QStringLiteral("Sitio web del proveedor: <a href=\"%1\">%2</a>")
                        .arg(address.toHtmlEscaped(), info.web.toDisplayString().toHtmlEscaped()));
    Label4->show();
}

Form13* Form13::open(QWidget* caller, Context& context, const QString& text1)
{
    auto* form = new Form13;
    form->Text1 = text1;
    form->showSupport(readSupportInfo(supportFilePath(context.dataFolder)));
    openFixed(caller, form, CallerState::Hidden, CentreOn::Caller);
    return form;
}

void Form13::Command1_Click()
{
    close();
}

} // namespace tarvino

// The support window: how to reach the makers of Tarvino and which paid services they offer.
#include "app/support_window.h"

#include "app/window_kit.h"
#include "common/services.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace tarvino {

namespace {
constexpr int kWidth = 7200;
constexpr int kHeight = 5580;
constexpr int kMargin = 240;

const QString kContacto = QStringLiteral(
    "Correo: soporte@tarvino.cl\n"
    "Teléfono y WhatsApp: +56 9 5555 0199\n"
    "Horario: lunes a viernes de 9:00 a 19:00, sábados de 10:00 a 14:00\n"
    "Al llamar, tenga a mano el nombre de su local y una descripción del problema.");

const QString kServicios = QStringLiteral(
    "Servicios con costo:\n"
    "  •  Instalación y puesta en marcha en su local\n"
    "  •  Recuperación de datos y respaldo del archivo bd1\n"
    "  •  Capacitación de cajeros y administradores\n"
    "  •  Informes a medida de ventas, stock y recaudación\n"
    "  •  Carga del catálogo de productos desde planillas");

const QString kSitio = QStringLiteral("https://soporte.tarvino.cl");
} // namespace

Form13::Form13() : QWidget(nullptr)
{
    setObjectName(QStringLiteral("Form13"));
    setWindowTitle(kWindowCaption);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(px(kWidth), px(kHeight));
    setFont(arial(10));

    const int inner = kWidth - 2 * kMargin;
    Label1 = place(new QLabel(QStringLiteral("SOPORTE Y ASISTENCIA - TARVINO 1.0"), this), "Label1",
                   kMargin, kMargin, inner, 480);
    Label1->setFont(arial(14, true));
    Label1->setAlignment(Qt::AlignCenter);

    Label2 = place(new QLabel(kContacto, this), "Label2", kMargin, 960, inner, 1260);
    Label2->setWordWrap(true);
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label2->setTextInteractionFlags(Qt::TextSelectableByMouse);

    Label3 = place(new QLabel(kServicios, this), "Label3", kMargin, 2340, inner, 1620);
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label3->setTextInteractionFlags(Qt::TextSelectableByMouse);

    Label4 = place(new QLabel(this), "Label4", kMargin, 4080, inner, 420);
    Label4->setTextFormat(Qt::RichText);
    Label4->setText(QStringLiteral("Tarifas y preguntas frecuentes: <a href=\"%1\">%2</a>")
                        .arg(kSitio, QString(kSitio).remove(QStringLiteral("https://"))));
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

Form13* Form13::open(QWidget* caller, Context& /*context*/, const QString& text1)
{
    auto* form = new Form13;
    form->Text1 = text1;
    form->move(caller->geometry().center() - form->rect().center());
    openChild(caller, form, CallerState::Hidden);
    return form;
}

void Form13::Command1_Click()
{
    close();
}

void Form13::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace tarvino

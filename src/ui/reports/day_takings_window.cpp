// The day's takings: the total sold so far in the open sales day and how much of it was taken in
// cash and by card. It only reads.
#include "reports/day_takings_window.h"

#include "kit/window_kit.h"
#include "common/services.h"
#include "reports/open_day.h"
#include "sales/sales_window.h"

#include <QFrame>
#include <QLabel>

namespace tarvino {

namespace {

constexpr int kWidth = 6600;
constexpr int kHeight = 3720;
constexpr int kMargin = 240;
constexpr int kInner = kWidth - 2 * kMargin;

QFrame* line(QWidget* parent, const char* name, int top)
{
    auto* rule = place(new QFrame(parent), name, kMargin, top, kInner, 30);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Plain);
    rule->setLineWidth(1);
    return rule;
}

// A caption that keeps every figure: a long amount is shown in a smaller size.
void setFitted(QLabel* label, const QString& text)
{
    QFont font = label->font();
    const double wanted = font.pointSizeF();
    label->setText(text);
    while (font.pointSizeF() > 8 && QFontMetrics(font).horizontalAdvance(text) > label->contentsRect().width())
        font.setPointSizeF(font.pointSizeF() - 1);
    label->setFont(font);
    label->setToolTip(font.pointSizeF() < wanted ? text : QString());
}

} // namespace

Form6::Form6(Form1& sales, Context& context) : QWidget(nullptr), m_sales(sales), m_ctx(context)
{
    fixedWindow(this, "Form6", QSize(px(kWidth), px(kHeight)));
    setFont(arial(10));

    Label2 = place(new QLabel(QStringLiteral("RECAUDACIÓN PARCIAL CON FECHA"), this), "Label2", kMargin, 240, kInner, 435);
    Label2->setFont(arialNarrow(14, true));
    Label2->setAlignment(Qt::AlignCenter);
    Label3 = place(new QLabel(this), "Label3", kMargin, 675, kInner, 435);
    Label3->setFont(arial(14, true));
    Label3->setAlignment(Qt::AlignCenter);
    Line1 = line(this, "Line1", 1260);
    Label1 = place(new QLabel(this), "Label1", kMargin, 1380, kInner, 780);
    Label1->setFont(arial(26, true));
    Label1->setAlignment(Qt::AlignCenter);
    setTextColour(Label1, QColor(0, 0, 255));
    Label4 = place(new QLabel(this), "Label4", kMargin, 2340, kInner, 405);
    Label5 = place(new QLabel(this), "Label5", kMargin, 2790, kInner, 405);
    for (QLabel* amount : {Label4, Label5}) {
        amount->setFont(arial(13, true));
        amount->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    Line2 = line(this, "Line2", 3360);
    for (QLabel* label : {Label1, Label3, Label4, Label5})
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
}

Form6* Form6::open(Form1& sales, Context& context)
{
    auto* form = new Form6(sales, context);
    if (!form->Form_Load()) {
        delete form;
        return nullptr;
    }
    openFixed(&sales, form, CallerState::Hidden, CentreOn::Screen);
    return form;
}

bool Form6::Form_Load()
{
    // The sales window's stamp is read, not reloaded: where an earlier day could not be closed,
    // reloading it from the first line would put the next sales in that earlier day.
    DayTakings takings;
    if (!guarded(m_ctx.messages, QStringLiteral("No se pudo leer la recaudación del día."),
                 [&] { takings = readDayTakings(m_ctx.db, m_sales.day().openingStamp()); }))
        return false;
    const DayTakingsCaptions captions = dayTakingsCaptions(takings, m_ctx.clock.now());
    Label3->setText(captions.Label3);
    setFitted(Label1, captions.Label1);
    setFitted(Label4, captions.Label4);
    setFitted(Label5, captions.Label5);
    return true;
}

} // namespace tarvino

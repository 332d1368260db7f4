#include "qt/valuefield.h"

#include <QEvent>
#include <QPainter>
#include <QStyleOptionFrame>

namespace jbx {

namespace {

constexpr int kPanelWidth = 1;
// What a line edit keeps between each side and its text; Qt doesn't publish it.
constexpr int kLineEditSideMargin = 2;

} // namespace

ValueField::ValueField(QWidget* parent) : QLineEdit(parent)
{
    setReadOnly(true);
    setFrame(false);
    setFocusPolicy(Qt::NoFocus);
    // Files dropped on it are for the window, as anywhere else.
    setAcceptDrops(false);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    fitToFont();
    // A line edit fills itself with the colour of a box; a text lets what is
    // behind it show through.
    QPalette shown = palette();
    shown.setBrush(QPalette::Base, Qt::transparent);
    setPalette(shown);
}

// One line of text in the panel: the line edit's own box is taller.
QSize ValueField::sizeHint() const
{
    return {QLineEdit::sizeHint().width(), fontMetrics().height() + 2 * kPanelWidth};
}

QSize ValueField::minimumSizeHint() const
{
    return {QLineEdit::minimumSizeHint().width(), sizeHint().height()};
}

void ValueField::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        fitToFont();
    QLineEdit::changeEvent(event);
}

// A framed text starts half an 'x' inside its panel.
void ValueField::fitToFont()
{
    const int left = kPanelWidth + fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2 - kLineEditSideMargin;
    setTextMargins(left, kPanelWidth, kPanelWidth, kPanelWidth);
}

void ValueField::paintEvent(QPaintEvent* event)
{
    QLineEdit::paintEvent(event);
    QPainter painter(this);
    QStyleOptionFrame panel;
    panel.initFrom(this);
    panel.frameShape = QFrame::Panel;
    panel.state |= QStyle::State_Sunken;
    panel.lineWidth = kPanelWidth;
    panel.midLineWidth = 0;
    style()->drawControl(QStyle::CE_ShapedFrame, &panel, &painter, this);
}

} // namespace jbx

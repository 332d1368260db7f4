#include "qt/waveformview.h"

#include "app/soundeditor.h"

#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include <algorithm>
#include <cmath>

namespace jbx {

namespace {

QString FromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// The room a time label takes, and the space kept between two of them.
int ScaleHeight(const QFontMetrics& metrics)
{
    return metrics.height() + 6;
}

int LabelGap(const QFontMetrics& metrics)
{
    return metrics.horizontalAdvance(QStringLiteral("00.00 s")) + 2 * metrics.averageCharWidth();
}

// What a screen reader hears of the waveform. The description is worded
// when it is asked for: it takes a pass over every sample, which a window
// that nobody reads it from would pay each time it opens.
class WaveformAccessible final : public QAccessibleWidget {
public:
    explicit WaveformAccessible(WaveformView* view) : QAccessibleWidget(view, QAccessible::Graphic) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Description) {
            const SoundEditor* editor = static_cast<const WaveformView*>(widget())->editor();
            return editor ? FromUtf8(editor->waveformDescription()) : QString();
        }
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* MakeWaveformAccessible(const QString& className, QObject* object)
{
    if (className == QLatin1String(WaveformView::staticMetaObject.className()) && object->isWidgetType())
        return new WaveformAccessible(static_cast<WaveformView*>(object));
    return nullptr;
}

} // namespace

WaveformView::WaveformView(QWidget* parent) : QWidget(parent)
{
    [[maybe_unused]] static const bool accessibleInstalled = [] {
        QAccessible::installFactory(MakeWaveformAccessible);
        return true;
    }();
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    // Every pixel is painted, the traces from a pixmap.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void WaveformView::setEditor(SoundEditor* editor)
{
    editor_ = editor;
    soundChanged();
}

void WaveformView::soundChanged()
{
    tracesValid_ = false;
    if (QAccessible::isActive()) {
        QAccessibleEvent changed(this, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&changed);
    }
    update();
}

QSize WaveformView::sizeHint() const
{
    return {560, 150 + ScaleHeight(fontMetrics())};
}

QSize WaveformView::minimumSizeHint() const
{
    return {160, 48 + ScaleHeight(fontMetrics())};
}

int WaveformView::tracesHeight() const
{
    return std::max(1, height() - ScaleHeight(fontMetrics()));
}

std::uint64_t WaveformView::frameAt(double x) const
{
    if (!editor_ || width() <= 0)
        return 0;
    const auto frames = editor_->frames();
    const double frame = std::round(std::clamp(x, 0.0, double(width())) * double(frames) / width());
    return std::min(frames, std::uint64_t(frame));
}

double WaveformView::xOf(std::uint64_t frame) const
{
    const auto frames = editor_ ? editor_->frames() : 0;
    return frames == 0 ? 0.0 : double(frame) * width() / double(frames);
}

const QPixmap& WaveformView::traces()
{
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(width(), tracesHeight()) * ratio).toSize();
    if (tracesValid_ && traces_.size() == pixels && traces_.devicePixelRatio() == ratio)
        return traces_;

    // Drawn in device pixels, so that every pixel column has a peak column
    // of its own at any scale.
    traces_ = QPixmap(pixels);
    traces_.setDevicePixelRatio(1);
    traces_.fill(palette().color(QPalette::Base));
    const auto summary = editor_ && pixels.width() > 0 ? editor_->peaks(std::size_t(pixels.width())) : std::nullopt;
    if (summary && summary->channels > 0) {
        QPainter painter(&traces_);
        const QColor trace = palette().color(QPalette::Text);
        const QColor axis = palette().color(QPalette::Mid);
        const double lane = double(pixels.height()) / summary->channels;
        const double margin = std::ceil(2 * ratio);
        for (std::uint16_t channel = 0; channel < summary->channels; ++channel) {
            const double top = channel * lane;
            const double middle = top + lane / 2;
            const double reach = std::max(0.0, lane / 2 - margin);
            if (channel > 0)
                painter.fillRect(QRectF(0, std::round(top), pixels.width(), 1), axis);
            painter.fillRect(QRectF(0, std::floor(middle), pixels.width(), 1), axis);
            for (std::size_t column = 0; column < summary->columns; ++column) {
                const Peak& peak = summary->at(column, channel);
                const double high = std::floor(middle - std::clamp(double(peak.high), -1.0, 1.0) * reach);
                const double low = std::floor(middle - std::clamp(double(peak.low), -1.0, 1.0) * reach);
                painter.fillRect(QRectF(double(column), high, 1, std::max(1.0, low - high + 1)), trace);
            }
        }
    }
    traces_.setDevicePixelRatio(ratio);
    tracesValid_ = true;
    return traces_;
}

void WaveformView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.drawPixmap(0, 0, traces());

    const int height = tracesHeight();
    if (editor_) {
        const FrameRange selection = editor_->selection();
        const double left = xOf(selection.first);
        if (selection.count > 0) {
            QColor shade = palette().color(QPalette::Highlight);
            shade.setAlpha(100);
            const double right = xOf(selection.first + selection.count);
            painter.fillRect(QRectF(left, 0, std::max(1.0, right - left), height), shade);
        } else if (hasFocus()) {
            // The caret, where a Shift+arrow selection would start.
            painter.fillRect(QRectF(std::min(left, width() - 1.0), 0, 1, height), palette().color(QPalette::Highlight));
        }
    }

    paintTimeScale(painter);

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = QRect(0, 0, width(), height);
        focus.backgroundColor = palette().color(QPalette::Base);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

void WaveformView::paintTimeScale(QPainter& painter)
{
    if (!editor_)
        return;
    const QFontMetrics metrics = fontMetrics();
    const int top = tracesHeight();
    painter.setPen(palette().color(QPalette::WindowText));
    for (const TimeMark& mark : editor_->timeScale(width(), LabelGap(metrics))) {
        painter.drawLine(mark.x, top, mark.x, top + 3);
        const QString label = FromUtf8(mark.label);
        const int labelWidth = metrics.horizontalAdvance(label);
        const int x = std::clamp(mark.x - labelWidth / 2, 0, std::max(0, width() - labelWidth));
        painter.drawText(x, top + 4 + metrics.ascent(), label);
    }
}

void WaveformView::mousePressEvent(QMouseEvent* event)
{
    if (!editor_ || event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    editor_->pressAt(frameAt(event->position().x()));
    update();
    Q_EMIT selectionChanged();
}

void WaveformView::mouseMoveEvent(QMouseEvent* event)
{
    if (!editor_ || !(event->buttons() & Qt::LeftButton)) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    editor_->dragTo(frameAt(event->position().x()));
    update();
    Q_EMIT selectionChanged();
}

void WaveformView::keyPressEvent(QKeyEvent* event)
{
    if (!editor_) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        editor_->selectAll();
    } else {
        SelectionKey key;
        switch (event->key()) {
        case Qt::Key_Left: key = SelectionKey::Left; break;
        case Qt::Key_Right: key = SelectionKey::Right; break;
        case Qt::Key_Home: key = SelectionKey::Home; break;
        case Qt::Key_End: key = SelectionKey::End; break;
        default:
            QWidget::keyPressEvent(event);
            return;
        }
        // One pixel column a press, so that the caret visibly moves.
        const std::uint64_t step = std::max<std::uint64_t>(1, editor_->frames() / std::uint64_t(std::max(1, width())));
        editor_->moveCaret(key, event->modifiers().testFlag(Qt::ShiftModifier), step);
    }
    update();
    Q_EMIT selectionChanged();
}

} // namespace jbx

#pragma once

// The Sound window's picture of the sound: one trace per channel from the
// core's peak summary, the selection shaded over it and a time scale in
// seconds below. The mouse and the arrow keys move the selection through the
// SoundEditor; the view only draws what it reports.

#include <QPixmap>
#include <QWidget>

#include <cstdint>

class QPainter;

namespace jbx {

class SoundEditor;

class WaveformView final : public QWidget {
    Q_OBJECT

public:
    explicit WaveformView(QWidget* parent = nullptr);

    // The sound to show; nothing is drawn without one.
    void setEditor(SoundEditor* editor);

    SoundEditor* editor() const { return editor_; }

    // The sound changed: its traces are drawn again, and a screen reader is
    // told that its description changed.
    void soundChanged();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void selectionChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int tracesHeight() const;
    std::uint64_t frameAt(double x) const;
    double xOf(std::uint64_t frame) const;
    // The traces at the widget's size in device pixels, one peak column per
    // device pixel, made again only when the size, the pixel ratio or the
    // sound changes.
    const QPixmap& traces();
    void paintTimeScale(QPainter& painter);

    SoundEditor* editor_ = nullptr;
    QPixmap traces_;
    bool tracesValid_ = false;
};

} // namespace jbx

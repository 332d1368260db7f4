#pragma once

// A value the window shows but the user doesn't edit, such as a slot's size.
// A read-only line edit, so that a screen reader reads the text as the value
// of the field its label names; sized, laid out and drawn as a static text in
// a sunken panel, so the window looks as it would with one.

#include <QLineEdit>

namespace jbx {

class ValueField final : public QLineEdit {
    Q_OBJECT

public:
    explicit ValueField(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void fitToFont();
};

} // namespace jbx

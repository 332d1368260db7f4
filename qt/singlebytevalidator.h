#pragma once

// The one validator of every box that edits a bank text (a slot name, a
// credit): only characters a single-byte text can hold may be typed.

#include <QValidator>

namespace jbx {

// Refuses any input holding a character that a single-byte text can't keep.
class SingleByteValidator final : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int& position) const override;
};

} // namespace jbx

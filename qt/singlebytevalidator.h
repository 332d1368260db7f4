#pragma once

// Every box that edits a bank text (a slot name, a credit) shows its bytes
// as Windows-1252, takes back what it holds in that code page, and lets the
// user type only characters the code page has.

#include <QString>
#include <QValidator>

#include <string>
#include <string_view>

namespace jbx {

// Refuses any input holding a character that a bank text can't keep.
class SingleByteValidator final : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int& position) const override;
};

QString FromBankText(std::string_view text);

// The box's text as bank bytes. The validator keeps out what the code page
// lacks; a text placed past it loses that character to a '?'.
std::string ToBankText(QStringView text);

} // namespace jbx

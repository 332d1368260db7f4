#pragma once

// Every box that edits a bank text (a slot name, a credit) shows its bytes
// as Windows-1252, takes back what it holds in that code page, and keeps
// only the characters the code page has.

#include <QString>
#include <QValidator>

#include <string>
#include <string_view>

namespace jbx {

// Takes out of the box, with a beep, every character typed or pasted that a
// bank text can't keep (WithoutForeignCharacters); the rest stays.
class SingleByteValidator final : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int& position) const override;
};

QString FromBankText(std::string_view text);

// The box's text as bank bytes, without what the code page lacks, as the
// validator would have left it.
std::string ToBankText(QStringView text);

} // namespace jbx

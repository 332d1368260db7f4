#include "qt/singlebytevalidator.h"

#include "bank/singlebytetext.h"

#include <QApplication>

namespace jbx {

namespace {

std::u16string_view Utf16(QStringView text)
{
    return {text.utf16(), std::size_t(text.size())};
}

} // namespace

QValidator::State SingleByteValidator::validate(QString& input, int& position) const
{
    if (const auto kept = WithoutForeignCharacters(Utf16(input), std::size_t(position))) {
        input = QString::fromUtf16(kept->text.data(), qsizetype(kept->text.size()));
        position = int(kept->caret);
        QApplication::beep();
    }
    return Acceptable;
}

QString FromBankText(std::string_view text)
{
    const std::u16string utf16 = SingleByteToUtf16(text);
    return QString::fromUtf16(utf16.data(), qsizetype(utf16.size()));
}

std::string ToBankText(QStringView text)
{
    const auto kept = WithoutForeignCharacters(Utf16(text), 0);
    return SingleByteFromUtf16(kept ? std::u16string_view(kept->text) : Utf16(text)).bytes;
}

} // namespace jbx

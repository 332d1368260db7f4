#include "qt/singlebytevalidator.h"

#include "bank/singlebytetext.h"

namespace jbx {

namespace {

std::u16string_view Utf16(QStringView text)
{
    return {text.utf16(), std::size_t(text.size())};
}

} // namespace

QValidator::State SingleByteValidator::validate(QString& input, int&) const
{
    return SingleByteFromUtf16(Utf16(input)).refused ? Invalid : Acceptable;
}

QString FromBankText(std::string_view text)
{
    const std::u16string utf16 = SingleByteToUtf16(text);
    return QString::fromUtf16(utf16.data(), qsizetype(utf16.size()));
}

std::string ToBankText(QStringView text)
{
    std::string bytes;
    bytes.reserve(std::size_t(text.size()));
    for (const QChar c : text)
        bytes += char(SingleByteOf(c.unicode()).value_or(std::uint8_t('?')));
    return bytes;
}

} // namespace jbx

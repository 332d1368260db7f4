#include "qt/singlebytevalidator.h"

#include "app/singlebytetext.h"

#include <algorithm>

namespace jbx {

QValidator::State SingleByteValidator::validate(QString& input, int&) const
{
    return std::all_of(input.cbegin(), input.cend(), [](QChar c) { return IsSingleByteCharacter(c.unicode()); })
        ? Acceptable
        : Invalid;
}

} // namespace jbx

#pragma once

// The user's mimeapps.list, which names the default handler of each type.

#include <string>
#include <string_view>

namespace jbx {

// mimeapps.list text with desktopId made the default handler of mimeType:
// [Default Applications] mimeType=desktopId; [Added Associations] mimeType=
// desktopId first, then the handlers that were the default or added before;
// desktopId taken out of [Removed Associations]. Every other line stays as it
// was; missing groups are appended.
std::string UpdateMimeAppsList(std::string_view text, std::string_view mimeType,
                               std::string_view desktopId);

} // namespace jbx

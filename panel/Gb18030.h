#pragma once

#include <QString>

// The panel's question and notice texts go through the GB18030 codec, like the program's
// other translated texts.
namespace Gb18030 {

// text decoded as GB18030; as Latin-1 where the codec is missing.
QString decoded(const char *text);

} // namespace Gb18030

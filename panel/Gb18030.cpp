#include "panel/Gb18030.h"

#include <QTextCodec>

namespace Gb18030 {

QString decoded(const char *text)
{
    if (QTextCodec *codec = QTextCodec::codecForName("GB18030"))
        return codec->toUnicode(text);
    return QString::fromLatin1(text);
}

} // namespace Gb18030

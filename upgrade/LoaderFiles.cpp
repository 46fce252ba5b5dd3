#include "upgrade/LoaderFiles.h"

#include <QDir>

namespace LoaderFiles {

QString flashType(const std::optional<QString> &reported)
{
    return reported.value_or(QString()) == QLatin1String("nand") ? QStringLiteral("nand") : QStringLiteral("nor");
}

QString firstContaining(const QString &folder, const QString &pattern, const QString &text)
{
    for (const QString &name : QDir(folder).entryList({pattern}, QDir::Files, QDir::Name))
        if (name.contains(text))
            return name;
    return {};
}

} // namespace LoaderFiles

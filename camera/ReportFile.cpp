#include "camera/ReportFile.h"

#include <QFile>
#include <QSaveFile>
#include <QTextCodec>
#include <QTextStream>

namespace ReportFile {

QString fileNameFor(const QString &serial)
{
    QString name = serial;
    for (QChar &ch : name)
        if (ch == QLatin1Char('/') || ch == QLatin1Char('\\') || ch.unicode() < 0x20)
            ch = QLatin1Char('_');
    // Nor a hidden file, nor the folder itself.
    for (int i = 0; i < name.size() && name[i] == QLatin1Char('.'); ++i)
        name[i] = QLatin1Char('_');
    if (name.isEmpty())
        name = QStringLiteral("_");
    return name + QStringLiteral(".txt");
}

bool write(const QString &path, const QString &text)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QTextStream stream(&file);
    stream.setCodec("UTF-8");
    stream << text;
    stream.flush();
    return stream.status() == QTextStream::Ok && file.commit();
}

Loaded load(const QString &path)
{
    Loaded loaded;
    QFile file(path);
    // Binary: the line ends are part of the report.
    if (!file.open(QIODevice::ReadOnly)) {
        loaded.error = file.errorString();
        return loaded;
    }
    const QByteArray bytes = file.readAll();
    QTextCodec::ConverterState state;
    const QString text = QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    if (state.invalidChars > 0) {
        loaded.error = QStringLiteral("not UTF-8 text");
        return loaded;
    }
    loaded.text = text;
    return loaded;
}

} // namespace ReportFile

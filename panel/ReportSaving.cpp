#include "panel/ReportSaving.h"

#include "camera/CalibrationReport.h"
#include "panel/Gb18030.h"
#include "panel/SaveFolders.h"
#include "shell/AppPaths.h"
#include "shell/MessageBoxes.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QSaveFile>
#include <QTextStream>

namespace ReportSaving {

namespace {

// All or nothing: a full disk leaves no half report behind an old one.
bool save(const QString &path, const QString &text)
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

} // namespace

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

void run(Control_Single &camera, int htpDepthMode)
{
    if (MessageBoxes::question(nullptr, Gb18030::decoded("Warning"),
                               Gb18030::decoded("It takes time to save. Please make sure you continue."),
                               QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    const QString stamp = SaveFolders::stampOf(QDateTime::currentDateTime());
    qDebug() << stamp;
    const QString folder =
        SaveFolders::normalised(AppPaths::appDir() + QStringLiteral("//SaveCameraParams//%1").arg(stamp));
    qDebug() << folder;
    if (!QDir(folder).exists())
        SaveFolders::createLevels(folder);

    const CalibrationReport::Report report = CalibrationReport::read(camera, htpDepthMode);
    qDebug().noquote() << report.text;
    // Without a serial number there is no file name: the folder itself fails to open.
    const QString path = report.serial ? folder + QLatin1Char('/') + fileNameFor(*report.serial) : folder;
    if (!save(path, report.text)) {
        MessageBoxes::warning(nullptr, QStringLiteral("Warning"), QStringLiteral("Save failed: ") + path);
        return;
    }
    MessageBoxes::information(nullptr, QStringLiteral("Notice"), QStringLiteral("Save success"), QMessageBox::Yes);
}

} // namespace ReportSaving

#include "panel/ReportSaving.h"

#include "camera/CalibrationReport.h"
#include "camera/ReportFile.h"
#include "panel/Gb18030.h"
#include "panel/SaveFolders.h"
#include "shell/AppPaths.h"
#include "shell/MessageBoxes.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>

namespace ReportSaving {

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
    const QString path = report.serial ? folder + QLatin1Char('/') + ReportFile::fileNameFor(*report.serial) : folder;
    if (!ReportFile::write(path, report.text)) {
        MessageBoxes::warning(nullptr, QStringLiteral("Warning"), QStringLiteral("Save failed: ") + path);
        return;
    }
    MessageBoxes::information(nullptr, QStringLiteral("Notice"), QStringLiteral("Save success"), QMessageBox::Yes);
}

} // namespace ReportSaving

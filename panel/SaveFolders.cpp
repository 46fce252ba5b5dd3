#include "panel/SaveFolders.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace SaveFolders {

namespace {

const QString separator = QStringLiteral("//");

// Stores the folder's path in field, creates it when missing, and hands the path back.
QString prepareFolder(QString &field, const QString &appDir, const QString &format, const QString &stamp)
{
    field = normalised(appDir + format.arg(stamp));
    if (!QFileInfo::exists(field))
        createLevels(field);
    return field;
}

} // namespace

Wanted fromSwitches(bool brio)
{
    const DisplaySwitches &sw = DisplaySwitches::instance();
    Wanted w;
    w.brio = brio;
    w.appliedDataMode = sw.appliedDataMode;
    w.rgb = sw.showRgb;
    w.depth = sw.showDepth;
    w.ir = sw.showIr;
    w.mappedRgb = sw.showMappedRgb;
    w.mappedDepth = sw.showMappedDepth;
    w.mappedIr = sw.showMappedIr;
    return w;
}

QString stampOf(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy_MM_dd_hh_mm_ss"));
}

QString normalised(QString path)
{
    return path.replace(QLatin1Char('\\'), separator);
}

bool createLevels(const QString &path)
{
    const QStringList parts = path.split(separator); // empty parts kept
    QString sofar = parts.value(0);
    bool allMade = true;
    for (int i = 1; i < parts.size(); ++i) {
        sofar += separator + parts.at(i);
        if (QFileInfo::exists(sofar))
            continue;
        if (!QDir().mkdir(sofar)) {
            qDebug() << "creat file error";
            allMade = false;
        }
    }
    return allMade;
}

SaveTarget prepare(const QString &appDir, const QString &stamp, const Wanted &wanted)
{
    // A fresh target: a kind whose folder is not part of this set has none, and the reader
    // saves nothing of it (a folder kept from an earlier set would receive this set's files).
    SaveTarget t;
    t.stamp = stamp;
    qDebug() << prepareFolder(t.rootDir, appDir, QStringLiteral("//SaveImage//%1"), stamp);
    if (wanted.appliedDataMode != 0)
        prepareFolder(t.dirWdrDepth, appDir, QStringLiteral("//SaveImage//%1//wdrdepth"), stamp);
    if (wanted.rgb)
        prepareFolder(t.dirRgb, appDir, QStringLiteral("//SaveImage//%1//rgb"), stamp);
    if (wanted.depth)
        prepareFolder(t.dirDepth, appDir, QStringLiteral("//SaveImage//%1//depth"), stamp);
    if (wanted.ir)
        prepareFolder(t.dirIr, appDir, QStringLiteral("//SaveImage//%1//ir"), stamp);
    if (wanted.mappedRgb)
        prepareFolder(
            t.dirMappedRgb, appDir,
            wanted.brio ? QStringLiteral("//SaveImage//%1//rgb") : QStringLiteral("//SaveImage//%1//mappedrgb"), stamp);
    if (wanted.mappedDepth)
        prepareFolder(t.dirMappedDepth, appDir,
                      wanted.brio ? QStringLiteral("//SaveImage//%1//depth")
                                  : QStringLiteral("//SaveImage//%1//mappeddepth"),
                      stamp);
    if (wanted.mappedIr)
        prepareFolder(t.dirMappedIr, appDir,
                      wanted.brio ? QStringLiteral("//SaveImage//%1//ir") : QStringLiteral("//SaveImage//%1//mappedir"),
                      stamp);
    return t;
}

} // namespace SaveFolders

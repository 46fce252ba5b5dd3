#include "panel/SaveFolders.h"
#include "support/LogCapture.h"
#include "support/TestFiles.h"

#include <QtTest>

#include <memory>

namespace {

QStringList foldersIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

SaveFolders::Wanted depthOnly(int appliedDataMode)
{
    SaveFolders::Wanted w;
    w.depth = true;
    w.appliedDataMode = appliedDataMode;
    return w;
}

const QString stamp = QStringLiteral("2024_03_05_10_11_12");

} // namespace

class SaveFoldersTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_log = std::make_unique<LogCapture>(); }
    void cleanup() { m_log.reset(); }

    void foldersFollowTheShownImages_data()
    {
        QTest::addColumn<int>("dataMode");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("mode 0") << 0 << QStringList{"depth"};
        QTest::newRow("WDR folder in any other mode") << 2 << QStringList{"depth", "wdrdepth"};
    }
    void foldersFollowTheShownImages()
    {
        QFETCH(int, dataMode);
        QFETCH(QStringList, expected);
        QTemporaryDir home;
        const SaveTarget t = SaveFolders::prepare(home.path(), stamp, depthOnly(dataMode));
        QCOMPARE(foldersIn(home.filePath("SaveImage")), QStringList{stamp});
        QCOMPARE(foldersIn(t.rootDir), expected);
        QCOMPARE(t.rootDir, home.path() + "//SaveImage//" + stamp);
        QCOMPARE(t.dirDepth, t.rootDir + "//depth");
        QVERIFY(t.dirIr.isEmpty()); // not part of this set: nothing is saved of it
        QCOMPARE(LogCapture::lines(), QStringList{'"' + t.rootDir + '"'});
    }

    void brioSavesMappedImagesInThePlainFolders()
    {
        QTemporaryDir home;
        SaveFolders::Wanted w;
        w.brio = true;
        w.rgb = w.mappedDepth = w.mappedIr = true;
        const SaveTarget t = SaveFolders::prepare(home.path(), stamp, w);
        QCOMPARE(foldersIn(t.rootDir), QStringList({"depth", "ir", "rgb"}));
        QCOMPARE(t.dirMappedDepth, t.rootDir + "//depth");
        w.brio = false;
        QCOMPARE(SaveFolders::prepare(home.path(), stamp, w).dirMappedIr, t.rootDir + "//mappedir");
    }

    void secondSaveInTheSameSecondReusesTheFolders()
    {
        QTemporaryDir home;
        const SaveTarget first = SaveFolders::prepare(home.path(), stamp, depthOnly(0));
        QVERIFY(writeFile(first.dirDepth + "/00000001.png", {}));
        SaveFolders::Wanted more = depthOnly(0);
        more.ir = true;
        const SaveTarget second = SaveFolders::prepare(home.path(), stamp, more);
        QCOMPARE(second.rootDir, first.rootDir);
        QVERIFY(QFile::exists(first.dirDepth + "/00000001.png"));
        QCOMPARE(foldersIn(first.rootDir), QStringList({"depth", "ir"}));
        QVERIFY(!LogCapture::lines().join(' ').contains("creat file error"));
    }

    void backslashesBecomeSeparators()
    {
        QTemporaryDir home;
        const QString base = home.path() + "\\program\\folder";
        const SaveTarget t = SaveFolders::prepare(base, stamp, depthOnly(0));
        QCOMPARE(t.dirDepth, home.path() + "//program//folder//SaveImage//" + stamp + "//depth");
        QVERIFY(QFileInfo(home.filePath("program/folder/SaveImage/" + stamp + "/depth")).isDir());
        QCOMPARE(foldersIn(home.path()), QStringList{"program"});
    }

private:
    std::unique_ptr<LogCapture> m_log;
};

QTEST_GUILESS_MAIN(SaveFoldersTest)
#include "tst_savefolders.moc"

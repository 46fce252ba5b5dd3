// Every text the program can show is drawn with real glyphs, not the empty box of a missing
// one, in each font family the forms and style sheets ask for and in the default font. The
// texts come from the sources themselves (every string of every form, every line of the
// program's code), so a new label is covered without touching this test.

#include <QtTest>

#include <QDirIterator>
#include <QGlyphRun>
#include <QRegularExpression>
#include <QTextLayout>
#include <QXmlStreamReader>

namespace {

struct Text
{
    QString text;
    QString where;
};

// What a C++ source can show beyond ASCII, line by line: its UTF-8 text (comments included,
// which costs nothing) with its universal character escapes decoded and its quotes unescaped.
QVector<Text> sourceLines(const QByteArray &src, const QString &file)
{
    static const QRegularExpression escape(QStringLiteral("\\\\u([0-9a-fA-F]{4})|\\\\U([0-9a-fA-F]{8})"));
    QVector<Text> found;
    const QStringList lines = QString::fromUtf8(src).split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        QString text = lines[i];
        text.replace(QLatin1String("\\\""), QLatin1String("\""));
        for (auto m = escape.globalMatch(lines[i]); m.hasNext();) {
            const QRegularExpressionMatch e = m.next();
            const uint codePoint = (e.captured(1) + e.captured(2)).toUInt(nullptr, 16);
            text += QString::fromUcs4(&codePoint, 1);
        }
        found.push_back({text, QStringLiteral("%1:%2").arg(file).arg(i + 1)});
    }
    return found;
}

// Every string of a form (texts, titles, tool tips, items, style sheets) and its font families.
void formStrings(const QString &path, const QString &file, QVector<Text> &texts, QSet<QString> &families)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return;
    QXmlStreamReader xml(&f);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const qint64 line = xml.lineNumber();
        if (xml.name() == QLatin1String("string"))
            texts.push_back({xml.readElementText(), QStringLiteral("%1:%2").arg(file).arg(line)});
        else if (xml.name() == QLatin1String("family"))
            families.insert(xml.readElementText());
    }
    QVERIFY2(!xml.hasError(), qPrintable(file + ": " + xml.errorString()));
}

struct Sources
{
    QVector<Text> texts;
    QSet<QString> families;
    int forms = 0;
};

// The program's forms and C++ sources: everything but the tests, the benchmarks and build trees.
Sources programSources(const QString &root)
{
    Sources sources;
    QDirIterator it(root, {"*.ui", "*.cpp", "*.h"}, QDir::Files, QDirIterator::Subdirectories);
    const QRegularExpression skipped(QStringLiteral("^(tests|bench|build[^/]*|\\.[^/]*)/"));
    while (it.hasNext()) {
        const QString path = it.next();
        const QString file = QDir(root).relativeFilePath(path);
        if (skipped.match(file).hasMatch())
            continue;
        if (file.endsWith(QLatin1String(".ui"))) {
            formStrings(path, file, sources.texts, sources.families);
            ++sources.forms;
        } else {
            QFile f(path);
            if (f.open(QIODevice::ReadOnly))
                sources.texts += sourceLines(f.readAll(), file);
        }
    }
    // Families named by style sheets, in forms or in code.
    const QRegularExpression fontFamily(QStringLiteral("font-family\\s*:\\s*\"?([^\";}]+)"));
    for (const Text &t : qAsConst(sources.texts)) {
        for (auto m = fontFamily.globalMatch(t.text); m.hasNext();)
            sources.families.insert(m.next().captured(1).trimmed());
    }
    return sources;
}

// The text as a label lays it out: line breaks and tabs as spaces, invisible format
// characters (a byte order mark, joiners) left out since they never have a glyph of their own.
QString drawable(const QString &s)
{
    QString out;
    for (const QChar c : s) {
        if (c.category() == QChar::Other_Format)
            continue;
        out += c.unicode() < 0x20 ? QChar(' ') : c;
    }
    return out;
}

// True when every glyph the font (with its fallbacks) draws for the text is a real one.
bool allGlyphsReal(const QString &text, const QFont &font)
{
    QTextLayout layout(text, font);
    layout.beginLayout();
    while (layout.createLine().isValid()) {
    }
    layout.endLayout();
    for (const QGlyphRun &run : layout.glyphRuns()) {
        const QVector<quint32> glyphs = run.glyphIndexes();
        if (std::find(glyphs.begin(), glyphs.end(), 0u) != glyphs.end())
            return false;
    }
    return true;
}

} // namespace

class GlyphsTest : public QObject
{
    Q_OBJECT

private slots:
    void everyCharacterHasAGlyph()
    {
        const Sources sources = programSources(QStringLiteral(LUMIDESK_SOURCE_DIR));
        QVERIFY2(sources.forms > 0, "no forms found under " LUMIDESK_SOURCE_DIR);

        QVector<QFont> fonts{QGuiApplication::font()};
        for (const QString &family : sources.families)
            fonts.push_back(QFont(family));

        QStringList missing;
        int checked = 0;
        for (const Text &t : sources.texts) {
            const QString text = drawable(t.text);
            if (std::none_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 0x7f; }))
                continue;
            ++checked;
            for (const QFont &font : fonts) {
                if (allGlyphsReal(text, font))
                    continue;
                QStringList chars;
                for (const uint cp : text.toUcs4()) {
                    const QString c = QString::fromUcs4(&cp, 1);
                    if (cp > 0x7f && !allGlyphsReal(c, font))
                        chars << QStringLiteral("U+%1 %2").arg(cp, 4, 16, QChar('0')).toUpper().arg(c);
                }
                missing << QStringLiteral("%1: \"%2\" in \"%3\" lacks %4")
                               .arg(t.where, text, font.family(), chars.join(QStringLiteral(", ")));
            }
        }
        qInfo("%d texts with characters beyond ASCII, %d font families", checked, int(fonts.size()));
        for (const QString &m : qAsConst(missing))
            qWarning("%s", qPrintable(m));
        QVERIFY2(missing.isEmpty(), "no installed font draws some characters (listed above)");
    }
};

QTEST_MAIN(GlyphsTest)
#include "tst_glyphs.moc"

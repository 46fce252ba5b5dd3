#include "shell/ToolSettings.h"

#include "shell/AppPaths.h"
#include "shell/FileSnapshot.h"

#include <QSettings>
#include <QStringList>
#include <QVariant>

#include <cmath>

struct ToolSettings::Values
{
    int userType = 0;
    float pointSize = 1.5f;
    int sampleStep = 2;
    int tftpPort = 69;
    ToolSettings::WdrOutputMode wdr[3] = {{2, 0, 1, 2, 1, 5, 1}, {2, 0, 1, 2, 1, 5, 1}, {2, 0, 1, 2, 1, 5, 1}};
};

namespace {

const QString settingsFile = QStringLiteral("Lumidesk.ini");
const QString versionFile = QStringLiteral("version");

// Reads one key of an open settings file: the key's value when it parses and lies in
// [min, max], otherwise the default, with a warning naming key, value and default.
class Reader
{
public:
    Reader(const QString &path, QStringList &warnings)
        : m_settings(path, QSettings::IniFormat)
        , m_warnings(warnings)
    {}

    int integer(const QString &key, int fallback, int min, int max)
    {
        const QVariant value = m_settings.value(key);
        if (!value.isValid())
            return fallback;
        bool ok = false;
        const qlonglong n = text(value).toLongLong(&ok);
        if (!ok || n < min || n > max) {
            warn(key, value, QString::number(fallback), ok, QString::number(min), QString::number(max));
            return fallback;
        }
        return int(n);
    }

    float real(const QString &key, float fallback, float min, float max)
    {
        const QVariant value = m_settings.value(key);
        if (!value.isValid())
            return fallback;
        bool ok = false;
        const double x = text(value).toDouble(&ok);
        ok = ok && std::isfinite(x); // "nan" and "inf" parse, but are no size
        if (!ok || x < min || x > max) {
            warn(key, value, QString::number(double(fallback)), ok, QString::number(double(min)),
                 QString::number(double(max)));
            return fallback;
        }
        return float(x);
    }

private:
    // A value with a comma arrives as a list.
    static QString text(const QVariant &value)
    {
        return value.type() == QVariant::StringList ? value.toStringList().join(QLatin1Char(',')) : value.toString();
    }

    void warn(const QString &key, const QVariant &value, const QString &fallback, bool number, const QString &min,
              const QString &max)
    {
        const QString problem =
            number ? QStringLiteral("outside %1 to %2").arg(min, max) : QStringLiteral("not a number");
        m_warnings << QStringLiteral("%1: %2=%3 is %4; using the default %5")
                          .arg(settingsFile, key, text(value), problem, fallback);
    }

    const QSettings m_settings;
    QStringList &m_warnings;
};

ToolSettings::Values parseSettings(const QString &path, QStringList &warnings)
{
    using T = ToolSettings;
    Reader r(path, warnings);
    ToolSettings::Values v;
    v.userType = r.integer(QStringLiteral("usertype"), 0, T::minUserType, T::maxUserType);
    v.pointSize = r.real(QStringLiteral("pointsize"), 1.5f, T::minPointSize, T::maxPointSize);
    v.sampleStep = r.integer(QStringLiteral("sample"), 2, T::minSampleStep, T::maxSampleStep);
    v.tftpPort = r.integer(QStringLiteral("tftpport"), 69, T::minTftpPort, T::maxTftpPort);
    for (int set = 0; set < 3; ++set) {
        const QString prefix = QStringLiteral("t%1_").arg(set + 1);
        const auto range = [&](const char *name) {
            return uint32_t(r.integer(prefix + QLatin1String(name), 2, T::minWdrRange, T::maxWdrRange));
        };
        const auto count = [&](const char *name) {
            return uint8_t(r.integer(prefix + QLatin1String(name), 2, T::minWdrCount, T::maxWdrCount));
        };
        ToolSettings::WdrOutputMode &m = v.wdr[set];
        m.totalRange =
            uint32_t(r.integer(prefix + QStringLiteral("totalRange"), 2, T::minWdrTotalRange, T::maxWdrTotalRange));
        m.range1 = range("range1");
        m.range1Count = count("range1Count");
        m.range2 = range("range2");
        m.range2Count = count("range2Count");
        m.range3 = range("range3");
        m.range3Count = count("range3Count");
    }
    return v;
}

QString parseVersion(const QString &path, QStringList &)
{
    const QSettings file(path, QSettings::IniFormat);
    return file.value(QStringLiteral("version"), QStringLiteral("0.0.0.0")).toString();
}

} // namespace

struct ToolSettings::Files
{
    FileSnapshot<Values> settings{parseSettings, Values{}};
    FileSnapshot<QString> version{parseVersion, QStringLiteral("0.0.0.0")};
};

ToolSettings::ToolSettings()
    : m_files(std::make_unique<Files>())
{}

ToolSettings::~ToolSettings() = default;

const ToolSettings &ToolSettings::getInstance()
{
    static const ToolSettings *instance = new ToolSettings; // never destroyed
    return *instance;
}

ToolSettings::Values ToolSettings::settings() const
{
    return m_files->settings.get(AppPaths::filePath(settingsFile));
}

int ToolSettings::userType() const
{
    return settings().userType;
}

float ToolSettings::pointSize() const
{
    return settings().pointSize;
}

int ToolSettings::sampleStep() const
{
    return settings().sampleStep;
}

ToolSettings::WdrOutputMode ToolSettings::wdrOutputMode(int set) const
{
    return settings().wdr[set == 1 ? 0 : set == 2 ? 1 : 2];
}

int ToolSettings::tftpPort() const
{
    return settings().tftpPort;
}

QString ToolSettings::version() const
{
    return m_files->version.get(AppPaths::installFilePath(versionFile));
}

int ToolSettings::settingsParseCount() const
{
    return m_files->settings.parseCount();
}

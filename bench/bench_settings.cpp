// A settings read (ToolSettings::userType) of an unchanged 10 MB Lumidesk.ini, against a
// stat() of the same file: a read only checks whether the file changed, so the ratio stays
// near 1 however big the file is. Prints the ratio last.

#include "bench/RatioReporter.h"
#include "shell/ToolSettings.h"

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/stat.h>

namespace {

QByteArray iniPath;

// usertype among some 400000 other keys, about 10 MB.
bool writeBigIni()
{
    QByteArray text = "usertype=255\n";
    for (int i = 0; text.size() < 10 * 1024 * 1024; ++i)
        text += "unused_key_" + QByteArray::number(i) + "=some value of no interest\n";
    QFile file(QString::fromLocal8Bit(iniPath));
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

void BM_SettingsReadUnchanged(benchmark::State &state)
{
    const ToolSettings &settings = ToolSettings::getInstance();
    if (settings.userType() != 255) { // the one parse, outside the timing
        state.SkipWithError("settings file not read");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(settings.userType());
}

void BM_Stat(benchmark::State &state)
{
    struct stat st;
    for (auto _ : state) {
        benchmark::DoNotOptimize(::stat(iniPath.constData(), &st));
        benchmark::ClobberMemory();
    }
}

BENCHMARK(BM_SettingsReadUnchanged)->Unit(benchmark::kMicrosecond)->MinTime(0.5);
BENCHMARK(BM_Stat)->Unit(benchmark::kMicrosecond)->MinTime(0.5);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    QTemporaryDir dir;
    iniPath = QFile::encodeName(dir.filePath(QStringLiteral("Lumidesk.ini")));
    qputenv("LUMIDESK_HOME", QFile::encodeName(dir.path()));
    if (!dir.isValid() || !writeBigIni()) {
        std::fprintf(stderr, "bench_settings: cannot write %s\n", iniPath.constData());
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double read = reporter.time["BM_SettingsReadUnchanged"];
    const double stat = reporter.time["BM_Stat"];
    if (read > 0 && stat > 0)
        std::printf("settings read of an unchanged 10 MB Lumidesk.ini / stat() of it: %.2f (goal <= 3)\n", read / stat);
    benchmark::Shutdown();
    return 0;
}

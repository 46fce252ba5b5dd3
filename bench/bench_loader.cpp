// Writing and checking a 32 MiB firmware image on a virtual Alta in its USB loader, through the
// worker's flashing unit and the virtual loader device (libRKUpgrade.so, loaded by path as the
// program loads it), against copying the same bytes twice from file to file in the same 16 KiB
// chunks in the same run. The boot loader's pause is not part of it. Prints the ratio last.

#include "bench/RatioReporter.h"
#include "camera/Control_Single.h"
#include "sim/camera/BootImage.h"
#include "upgrade/FirmwareWriter.h"
#include "upgrade/LoaderSectors.h"
#include "upgrade/UpgradeLibrary.h"

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

constexpr int imageSize = 32 << 20;
const char16_t devicePath[] = u"usb-loader:BENCH-ALTA";

QTemporaryDir *folder = nullptr;
std::unique_ptr<UpgradeLibrary> library;
QString imagePath, copyPath;

bool writeTo(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

const char16_t *utf16(const QString &text)
{
    return reinterpret_cast<const char16_t *>(text.utf16());
}

// An Alta handed to its loader by work mode 16, the library loaded and initialised, and the
// boot loader downloaded: the state in which the worker starts writing.
bool prepare()
{
    const QString config = folder->filePath("quillon_sim.ini");
    if (!writeTo(config, "[sim]\nrebootMs = 0\n[device.alta]\nmodel = Alta\nserial = BENCH-ALTA\n"
                         "flashType = nand\n"))
        return false;
    qputenv("QUILLON_SIM_CONFIG", QFile::encodeName(config));
    qputenv("QUILLON_SIM_STATE", QFile::encodeName(folder->filePath("state")));
    Control_Single *camera = Control_Single::getInstance();
    if (camera->initializeSDK() != 0 || camera->initializeORB(QStringLiteral("BENCH-ALTA")) != 0)
        return false;
    SdkWorkMode mode{};
    (void)camera->getWorkMode(&mode);
    mode.mode = LX2_WORK_MODE_LOADER;
    if (camera->setWorkMode(mode) != 0)
        return false;
    (void)camera->shutdownORB();

    library = UpgradeLibrary::load(QStringLiteral(RKUPGRADE_LIBRARY));
    if (!library || !library->initialize(folder->filePath("Log/")))
        return false;
    RKDeviceRecord *devices = nullptr;
    if (library->entries().RK_ScanDeviceW(&devices) != 1)
        return false;
    const std::vector<uint8_t> boot = sim::buildBootImage(LX2_MODEL_ALTA, "nand", std::vector<uint8_t>(4096, 0x5a));
    const QString bootPath = folder->filePath("alta_nand.bin");
    if (!writeTo(bootPath, QByteArray(reinterpret_cast<const char *>(boot.data()), int(boot.size()))) ||
        library->entries().RKD_DownloadBoot_W(devicePath, utf16(bootPath)) != 0)
        return false;

    QByteArray image(imageSize, Qt::Uninitialized);
    for (int i = 0; i < imageSize; ++i)
        image[i] = char((i * 131 + i / 512) & 0xff);
    imagePath = folder->filePath("alta_nand.img");
    copyPath = folder->filePath("copy.img");
    return writeTo(imagePath, image);
}

void BM_LoaderWriteAndCheck(benchmark::State &state)
{
    LoaderSectors sectors(*library, devicePath);
    FirmwareWriter writer(
        sectors, [](const QString &) {}, [](int) {});
    for (auto _ : state) {
        if (!writer.write(imagePath, 0)) {
            state.SkipWithError(writer.failure().toLocal8Bit().constData());
            return;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * imageSize);
}

// The file-to-file copy in the writer's chunk size, twice: the bytes that the two passes move.
void BM_CopyTwiceInChunks(benchmark::State &state)
{
    const QByteArray from = QFile::encodeName(imagePath), to = QFile::encodeName(copyPath);
    std::vector<char> chunk(FirmwareWriter::ChunkSize);
    for (auto _ : state) {
        const int in = ::open(from.constData(), O_RDONLY);
        const int out = ::open(to.constData(), O_WRONLY | O_CREAT, 0644);
        bool ok = in >= 0 && out >= 0;
        for (int pass = 0; ok && pass < 2; ++pass)
            for (off_t at = 0; ok && at < imageSize; at += FirmwareWriter::ChunkSize)
                ok = ::pread(in, chunk.data(), chunk.size(), at) == ssize_t(chunk.size()) &&
                     ::pwrite(out, chunk.data(), chunk.size(), at) == ssize_t(chunk.size());
        ::close(in);
        ::close(out);
        if (!ok) {
            state.SkipWithError("copy failed");
            return;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * imageSize);
}

BENCHMARK(BM_LoaderWriteAndCheck)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_CopyTwiceInChunks)->Unit(benchmark::kMillisecond)->MinTime(1.0);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    QTemporaryDir dir;
    folder = &dir;
    if (!dir.isValid() || !prepare()) {
        std::fprintf(stderr, "bench_loader: cannot hand a virtual Alta to the loader device in %s\n",
                     qPrintable(dir.path()));
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double flash = reporter.time["BM_LoaderWriteAndCheck"];
    const double copy = reporter.time["BM_CopyTwiceInChunks"];
    if (flash > 0 && copy > 0)
        std::printf(
            "loader write and check of a 32 MiB image / copying it twice in 16 KiB chunks: %.2f (goal <= 1.5)\n",
            flash / copy);
    library.reset();
    (void)Control_Single::getInstance()->shutdownSDK();
    benchmark::Shutdown();
    return 0;
}

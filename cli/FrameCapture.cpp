#include "cli/FrameCapture.h"

#include "camera/Control_Single.h"
#include "camera/SdkTypes.h"
#include "pipeline/FrameConvert.h"
#include "pipeline/FrameSaver.h"
#include "pipeline/LinkWatch.h"
#include "pipeline/PlyWriter.h"
#include "pipeline/SaveFile.h"

#include <QDir>
#include <QFileInfo>

#include <opencv2/core.hpp>

#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace {

constexpr int wdrDataMode = 11;
// Sets read but not yet written: about a second of a camera at 30 sets a second.
constexpr size_t queueCapacity = 32;

// One stream of a set: the flag that says it is ready, the frame asked for, its folder.
struct Stream
{
    uint32_t ready;
    FrameKind kind;
    int cvType;
    QString folder;
    bool jpeg;
    bool depth; // the frame the point cloud is made from
};

struct Image
{
    const Stream *stream;
    cv::Mat pixels;
};

struct CapturedSet
{
    int index = 0;
    std::vector<Image> images;
    std::vector<float> points; // world points of the depth frame, when a point cloud is wanted
    bool hasPoints = false;
};

// The bounded hand-over between the reader and the writer.
class SetQueue
{
public:
    bool tryPush(CapturedSet &&set)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_sets.size() >= queueCapacity)
            return false;
        m_sets.push_back(std::move(set));
        m_changed.notify_one();
        return true;
    }
    // False once closed and empty.
    bool pop(CapturedSet &set)
    {
        std::unique_lock<std::mutex> lock(m_lock);
        m_changed.wait(lock, [this] { return !m_sets.empty() || m_closed; });
        if (m_sets.empty())
            return false;
        set = std::move(m_sets.front());
        m_sets.pop_front();
        return true;
    }
    void close()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_closed = true;
        m_changed.notify_one();
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<CapturedSet> m_sets;
    bool m_closed = false;
};

// The streams of the kinds, in the panel's saving's folders: a Brio delivers its depth and IR
// registered to the colour image and saves them in the plain folders; in the WDR data mode
// depth is the WDR depth frame, in its own folder.
std::vector<Stream> streamsOf(const FrameKinds &kinds, bool brio, bool wdr, const QString &out)
{
    const auto dir = [&out](const char *name) { return out + QLatin1Char('/') + QLatin1String(name); };
    std::vector<Stream> streams;
    if (kinds.mappedRgb && !brio)
        streams.push_back({mappedRGBReady, MappedRGBFrame, CV_8UC3, dir("mappedrgb"), false, false});
    if (kinds.mappedDepth && !brio)
        streams.push_back({mappedDepthReady, MappedDepthFrame, CV_16UC1, dir("mappeddepth"), false, false});
    if (kinds.mappedIr && !brio)
        streams.push_back({mappedIRReady, MappedIRFrame, CV_16UC1, dir("mappedir"), false, false});
    if (kinds.depth) {
        if (brio)
            streams.push_back({mappedDepthReady, MappedDepthFrame, CV_16UC1, dir("depth"), false, true});
        else if (wdr)
            streams.push_back({wdrDepthReady, WDRDepthFrame, CV_16UC1, dir("wdrdepth"), false, true});
        else
            streams.push_back({depthReady, DepthFrame, CV_16UC1, dir("depth"), false, true});
    }
    if (kinds.rgb)
        streams.push_back({rgbReady, RGBFrame, CV_8UC3, dir("rgb"), true, false});
    if (kinds.ir) {
        if (brio)
            streams.push_back({mappedIRReady, MappedIRFrame, CV_16UC1, dir("ir"), false, false});
        else
            streams.push_back({irReady, IRFrame, CV_16UC1, dir("ir"), false, false});
    }
    return streams;
}

// What a camera delivered in one set, of depth, IR and colour.
FrameKinds deliveredIn(uint32_t ready, bool brio)
{
    FrameKinds k;
    k.depth = (ready & (brio ? mappedDepthReady : (depthReady | wdrDepthReady))) != 0;
    k.ir = (ready & (brio ? mappedIRReady : irReady)) != 0;
    k.rgb = (ready & rgbReady) != 0;
    return k;
}

bool anyKind(const FrameKinds &k)
{
    return k.depth || k.ir || k.rgb || k.mappedRgb || k.mappedDepth || k.mappedIr;
}

} // namespace

bool FrameCapture::parseKinds(const QString &text, FrameKinds &kinds, bool &pointCloud, QString &error)
{
    kinds = FrameKinds{};
    pointCloud = false;
    for (const QString &word : text.split(QLatin1Char(','))) {
        const QString name = word.trimmed().toLower();
        if (name == QLatin1String("depth"))
            kinds.depth = true;
        else if (name == QLatin1String("ir"))
            kinds.ir = true;
        else if (name == QLatin1String("rgb"))
            kinds.rgb = true;
        else if (name == QLatin1String("mappedrgb"))
            kinds.mappedRgb = true;
        else if (name == QLatin1String("mappeddepth"))
            kinds.mappedDepth = true;
        else if (name == QLatin1String("mappedir"))
            kinds.mappedIr = true;
        else if (name == QLatin1String("pointcloud"))
            pointCloud = kinds.depth = true;
        else {
            error = QStringLiteral("unknown kind \"%1\" (depth, ir, rgb, mappedrgb, mappeddepth, mappedir, pointcloud)")
                        .arg(word);
            return false;
        }
    }
    return true;
}

FrameCapture::FrameCapture(Control_Single &camera, Settings settings)
    : m_camera(camera)
    , m_settings(std::move(settings))
{}

void FrameCapture::enableStreams()
{
    if (!m_settings.kinds)
        return; // the camera delivers what it is set to
    const FrameKinds &k = *m_settings.kinds;
    const bool brio = m_camera.getDeviceType() == DeviceTypeCode::Brio;
    // Only switched on: a stream the camera already sends is left as the user set it.
    if (k.depth && !brio)
        (void)m_camera.setDepthFrameEnabled(1);
    if (k.ir && !brio)
        (void)m_camera.setIrFrameEnabled(1);
    if (k.rgb || k.mappedRgb || k.mappedDepth || k.mappedIr || brio)
        (void)m_camera.setRgbFrameEnabled(1);
    if (k.mappedRgb)
        (void)m_camera.setMapperEnabledDepthToRGB(1);
    if (k.mappedDepth || (brio && k.depth))
        (void)m_camera.setMapperEnabledRGBToDepth(1);
    if (k.mappedIr || (brio && k.ir))
        (void)m_camera.setMapperEnabledRGBToIR(1);
}

bool FrameCapture::prepareFolders(const FrameKinds &kinds, QString &error) const
{
    uint8_t mode = 0;
    const bool wdr = m_camera.getDataModeProperty(&mode) == 0 && mode == wdrDataMode;
    const bool brio = m_camera.getDeviceType() == DeviceTypeCode::Brio;
    QStringList folders{m_settings.out};
    for (const Stream &s : streamsOf(kinds, brio, wdr, m_settings.out))
        folders << s.folder;
    if (m_settings.pointText || m_settings.ply)
        folders << m_settings.out + QStringLiteral("/pointcloud");
    for (const QString &folder : folders) {
        if (!QDir().mkpath(folder) || !QFileInfo(folder).isWritable()) {
            error = QStringLiteral("cannot write into the folder \"%1\"").arg(folder);
            return false;
        }
    }
    return true;
}

FrameCapture::Result FrameCapture::run(const std::atomic<bool> &interrupted, const std::function<void(int)> &progress)
{
    Result result;
    const bool brio = m_camera.getDeviceType() == DeviceTypeCode::Brio;
    uint8_t mode = 0;
    const bool wdr = m_camera.getDataModeProperty(&mode) == 0 && mode == wdrDataMode;
    const bool wantPoints = m_settings.pointText || m_settings.ply;
    std::vector<Stream> streams;
    if (m_settings.kinds)
        streams = streamsOf(*m_settings.kinds, brio, wdr, m_settings.out);

    SetQueue queue;
    std::atomic<bool> writeFailed{false};
    std::mutex resultLock; // the writer's part of result
    std::thread writer([&] {
        FrameSaver saver;
        const QString cloudDir = m_settings.out + QStringLiteral("/pointcloud");
        CapturedSet set;
        while (queue.pop(set)) {
            QString failed;
            for (const Image &image : set.images)
                saver.writeImage(image.pixels, image.stream->folder, image.stream->jpeg, set.index, failed);
            if (set.hasPoints && m_settings.pointText) {
                const std::string text = FrameSaver::pointText(set.points);
                const QString path = FrameConvert::saveFileName(cloudDir, set.index, QStringLiteral("txt"));
                if (!SaveFile::write(path, text.data(), text.size()) && failed.isEmpty())
                    failed = path;
            }
            if (set.hasPoints && m_settings.ply) {
                const QString path = FrameConvert::saveFileName(cloudDir, set.index, QStringLiteral("ply"));
                if (!PlyWriter::save(path, set.points, {}) && failed.isEmpty())
                    failed = path;
            }
            std::lock_guard<std::mutex> guard(resultLock);
            if (failed.isEmpty()) {
                ++result.written;
            } else if (!writeFailed) {
                // A full or failing disk ends the capture: later sets would fail as well.
                result.failedPath = failed;
                writeFailed = true;
            }
        }
    });

    std::vector<int> arrived(streams.size(), 0);
    LinkWatch watch;
    while (result.read < m_settings.frames) {
        if (interrupted) {
            result.end = End::Interrupted;
            break;
        }
        if (writeFailed) {
            result.end = End::WriteFailed;
            break;
        }
        FrameReadyFlags ready = 0;
        const SdkStatus status = m_camera.ReadNext(&ready);
        if (watch.lostAfter(status, LinkWatch::Clock::now())) {
            result.end = End::CameraLost;
            result.lostStatus = status;
            break;
        }
        if (status != 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        if (!m_settings.kinds) {
            FrameKinds delivered = deliveredIn(ready, brio);
            if (!anyKind(delivered))
                continue;
            delivered.depth = delivered.depth || wantPoints;
            m_settings.kinds = delivered;
            streams = streamsOf(delivered, brio, wdr, m_settings.out);
            arrived.assign(streams.size(), 0);
            QString error;
            if (!prepareFolders(delivered, error)) {
                result.end = End::WriteFailed;
                result.failedPath = m_settings.out;
                break;
            }
        }
        CapturedSet set;
        set.index = result.read + 1;
        for (size_t i = 0; i < streams.size(); ++i) {
            const Stream &s = streams[i];
            if (!(ready & s.ready))
                continue;
            SdkFrame frame;
            std::memset(&frame, 0, sizeof frame);
            if (m_camera.GetFrame(s.kind, &frame) != 0 || !frame.frameData)
                continue;
            // A record whose size does not fit its buffer is not read.
            const size_t bytes = size_t(frame.width) * frame.height * CV_ELEM_SIZE(s.cvType);
            if (bytes == 0 || (frame.dataSize != 0 && frame.dataSize < bytes))
                continue;
            set.images.push_back({&s, cv::Mat(frame.height, frame.width, s.cvType, frame.frameData).clone()});
            ++arrived[i];
            // Converted here, while the SDK's frame is valid, as the panel's reader does.
            if (s.depth && wantPoints)
                set.hasPoints = FrameSaver::worldPoints(frame, set.points);
        }
        if (set.images.empty())
            continue; // none of the wanted kinds in this set
        ++result.read;
        if (!queue.tryPush(std::move(set)))
            ++result.dropped;
        if (progress)
            progress(result.read);
    }
    queue.close();
    writer.join();
    if (result.end == End::Complete && writeFailed)
        result.end = End::WriteFailed;
    if (result.end == End::Complete)
        for (size_t i = 0; i < streams.size(); ++i)
            if (arrived[i] == 0)
                result.missing << QFileInfo(streams[i].folder).fileName();
    return result;
}

#pragma once

#include "pipeline/FrameKinds.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <optional>

class Control_Single;

// Captures frame sets from an open camera into a folder laid out as the panel's "Continuous
// Save" set: <out>/depth, ir, rgb, wdrdepth, mappedrgb, mappeddepth, mappedir, files numbered
// from 00000001. The point cloud of each set goes to <out>/pointcloud/<number>.txt (the
// panel's text lines) and, with ply, <number>.ply. One thread reads, another writes; between
// them a bounded queue, so a slow disk costs sets (counted as dropped), never the camera's pace.
class FrameCapture
{
public:
    struct Settings
    {
        int frames = 0;
        QString out;
        std::optional<FrameKinds> kinds; // none: the kinds the camera delivers in its first set
        bool pointText = false;
        bool ply = false;
    };

    enum class End { Complete, CameraLost, Interrupted, WriteFailed };

    struct Result
    {
        End end = End::Complete;
        int read = 0, written = 0, dropped = 0;
        QString failedPath; // the first file that could not be written
        int lostStatus = 0;
        QStringList missing; // the folders of kinds asked for of which no frame arrived
    };

    // Parses "depth,ir,rgb,mappedrgb,mappeddepth,mappedir,pointcloud"; false with error set for
    // an unknown or empty kind. The point cloud needs depth, which it adds.
    static bool parseKinds(const QString &text, FrameKinds &kinds, bool &pointCloud, QString &error);

    FrameCapture(Control_Single &camera, Settings settings);

    // Switches on the streams and mappers the kinds need, as the panel's view switches do.
    void enableStreams();
    // Creates the folders of the given kinds; false, with the folder in error, when one cannot
    // be created or written.
    bool prepareFolders(const FrameKinds &kinds, QString &error) const;
    // Reads until settings.frames sets are read, the camera is lost, interrupted turns true or a
    // file cannot be written; returns once every queued set is written. progress(read) is
    // called on the reading thread after each set.
    Result run(const std::atomic<bool> &interrupted, const std::function<void(int)> &progress);

private:
    Control_Single &m_camera;
    Settings m_settings;
};

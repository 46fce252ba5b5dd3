#pragma once

#include <QString>

#include <cstdint>
#include <memory>

// Read-only access to the hand-edited files: Lumidesk.ini in the data folder and version in
// the installation folder (AppPaths). Each file is parsed once and again only when it changes
// on disk, so an edit takes effect at the next read; a missing file or key yields the
// built-in default. A value that is not a number or lies outside its range below also yields
// the default and is logged once per parse. Safe from any thread.
class ToolSettings
{
public:
    // The accepted ranges, both ends included.
    static constexpr int minUserType = 0, maxUserType = 255;
    static constexpr float minPointSize = 0.5f, maxPointSize = 16.0f; // pixels
    static constexpr int minSampleStep = 1, maxSampleStep = 64;       // pixels
    static constexpr int minTftpPort = 1, maxTftpPort = 65535;
    static constexpr int minWdrTotalRange = 1, maxWdrTotalRange = 3; // ranges in the set
    static constexpr int minWdrRange = 0, maxWdrRange = 8;           // depth range numbers
    static constexpr int minWdrCount = 1, maxWdrCount = 255;         // frames per range

    // A WDR depth-range set in the field order of the camera's record of the same name; the
    // panel copies it into that record.
    struct WdrOutputMode
    {
        uint32_t totalRange, range1;
        uint8_t range1Count;
        uint32_t range2;
        uint8_t range2Count;
        uint32_t range3;
        uint8_t range3Count;
    };

    static const ToolSettings &getInstance();

    int userType() const;
    float pointSize() const;
    int sampleStep() const;
    // set 1 reads the "t1_" keys, set 2 "t2_", any other value "t3_".
    WdrOutputMode wdrOutputMode(int set) const;
    // UDP port of the TFTP upgrade server; 69 unless a port from 1 to 65535 is set.
    int tftpPort() const;
    QString version() const;

    // Tests: how often Lumidesk.ini has been parsed so far.
    int settingsParseCount() const;

    struct Values; // Lumidesk.ini as last parsed

private:
    ToolSettings();
    ~ToolSettings();
    Values settings() const;

    struct Files;
    const std::unique_ptr<Files> m_files;
};

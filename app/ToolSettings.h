#pragma once

#include <QString>

#include <sdk/quillon_api.h>

// Read-only access to the hand-edited files beside the program: Lumidesk.ini and version.
// Every read opens the file anew, so an edit takes effect at the next read; a missing file
// or key yields the built-in default.
class ToolSettings
{
public:
    static const ToolSettings &getInstance();

    int userType() const;
    float pointSize() const;
    int sampleStep() const;
    // set 1 reads the "t1_" keys, set 2 "t2_", any other value "t3_".
    WdrOutputMode wdrOutputMode(int set) const;
    // UDP port of the TFTP upgrade server; 69 unless a port from 1 to 65535 is set.
    int tftpPort() const;
    QString version() const;

private:
    ToolSettings() = default;
};

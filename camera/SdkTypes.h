#pragma once

// C++ names for the camera SDK's records and codes. The records themselves are the packed C
// records of sdk/quillon_api.h; this header only adds what C cannot say tidily.

#include "camera/sdk/quillon_types.h"

#include <QString>

#include <cstdint>

// Camera models the program tells apart. The values are the SDK's model codes; `EskeAlias`
// is an Eske that enumerates with a USB-style uri.
enum DeviceTypeCode : int32_t {
    Alta = LX2_MODEL_ALTA,
    Brio = LX2_MODEL_BRIO,
    Cima = LX2_MODEL_CIMA,
    Dune = LX2_MODEL_DUNE,
    Eske = LX2_MODEL_ESKE,
    EskeAlias = LX2_MODEL_ESKE_ALIAS,
};

// The Cima group shares one panel layout: Cima, EskeAlias, Dune and Eske.
inline bool isCimaGroup(int32_t deviceType)
{
    return deviceType == Cima || deviceType == EskeAlias || deviceType == Dune || deviceType == Eske;
}

// Bytes per pixel of a frame kind: colour kinds are R, G, B triplets, all others 16-bit.
inline int frameBytesPerPixel(FrameKind kind)
{
    return (kind == RGBFrame || kind == MappedRGBFrame) ? 3 : 2;
}

// A record's uri as text; the SDK fills its 256 bytes and a reader never goes past them, even
// without a terminator.
inline QString uriOf(const SdkDeviceInfo &info)
{
    return QString::fromLatin1(info.uri, int(qstrnlen(info.uri, sizeof info.uri)));
}

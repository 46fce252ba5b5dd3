#include "camera/DeviceModels.h"

#include "camera/SdkTypes.h"

namespace {

struct Model
{
    int32_t code;
    const char *rowText;
    QChar separator;
    int field;
};

const Model models[] = {
    {Alta, "Alta", QLatin1Char('&'), 3},      {Brio, "Brio", QLatin1Char('&'), 3}, {Cima, "Cima", QLatin1Char('&'), 3},
    {EskeAlias, "Eske", QLatin1Char('&'), 3}, {Dune, "Dune", QLatin1Char(':'), 1}, {Eske, "Eske", QLatin1Char(':'), 1},
};

const Model *findModel(int32_t code)
{
    for (const Model &model : models) {
        if (model.code == code)
            return &model;
    }
    return nullptr;
}

} // namespace

QString DeviceModels::modelRowText(int32_t deviceType)
{
    const Model *model = findModel(deviceType);
    return model ? QString::fromLatin1(model->rowText) : QString();
}

QString DeviceModels::cameraRowText(int32_t deviceType, const QString &uri)
{
    const Model *model = findModel(deviceType);
    if (!model)
        return QString();
    return uri.split(model->separator, Qt::KeepEmptyParts, Qt::CaseSensitive).value(model->field);
}

bool DeviceModels::isNetwork(int32_t deviceType)
{
    const Model *model = findModel(deviceType);
    return model && model->separator == QLatin1Char(':');
}

std::vector<DeviceModels::Group> DeviceModels::groupCameras(const std::vector<SdkDeviceInfo> &cameras)
{
    std::vector<Group> groups;
    for (const SdkDeviceInfo &info : cameras) {
        const QString title = modelRowText(info.deviceType);
        if (title.isEmpty())
            continue;
        const QString row = cameraRowText(info.deviceType, uriOf(info));
        auto it = std::find_if(groups.begin(), groups.end(), [&](const Group &g) { return g.title == title; });
        if (it == groups.end())
            groups.push_back(Group{title, {row}});
        else
            it->cameras.append(row);
    }
    return groups;
}

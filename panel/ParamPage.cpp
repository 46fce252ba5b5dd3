#include "panel/ParamPage.h"

#include "shell/MessageBoxes.h"

#include <QDebug>

namespace ParamPage {

namespace {

void refuse(const QString &text)
{
    MessageBoxes::warning(nullptr, QStringLiteral("Waring"), text, QMessageBox::Yes);
}

} // namespace

std::optional<QString> read(Control_Single &camera, int index, const ParamItems::Selectors &selectors)
{
    if (index < 0 || index >= ParamItems::count)
        return std::nullopt;
    const ParamItems::ReadResult result = ParamItems::read(camera, index, selectors);
    if (result.refusal) {
        refuse(*result.refusal);
        return std::nullopt;
    }
    if (result.status != LX2_OK) {
        qDebug() << "Read" << ParamItems::name(index) << "failed:" << result.status;
        return std::nullopt;
    }
    return result.text;
}

void write(Control_Single &camera, int index, const QString &text, const ParamItems::Selectors &selectors)
{
    const ParamItems::WriteResult result = ParamItems::write(camera, index, text, selectors);
    if (result.refusal)
        refuse(*result.refusal);
    else if (result.failure)
        MessageBoxes::warning(nullptr, QStringLiteral("Warning"), *result.failure);
}

} // namespace ParamPage

#include "upgrade/FirmwareChooser.h"

#include <QFileDialog>

namespace FirmwareChooser {

namespace {

Picker &installed()
{
    static Picker picker;
    return picker;
}

QString pickWithQtDialog(QWidget *parent, const QString &caption, const QString &folder, const QString &filter)
{
    return QFileDialog::getOpenFileName(parent, caption, folder, filter, nullptr, QFileDialog::DontUseNativeDialog);
}

} // namespace

QString choose(QWidget *parent, const QString &folder)
{
    const Picker pick = installed() ? installed() : Picker(&pickWithQtDialog);
    return pick(parent, QStringLiteral("Select  Firmware File"), folder,
                QStringLiteral("Firmware (*.img);;All files (*.*)"));
}

Picker setPicker(Picker picker)
{
    Picker previous = installed();
    installed() = std::move(picker);
    return previous;
}

} // namespace FirmwareChooser

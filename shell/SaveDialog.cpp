#include "shell/SaveDialog.h"

#include <QFileDialog>

namespace SaveDialog {

namespace {

Picker &installed()
{
    static Picker picker;
    return picker;
}

QString askWithQtDialog(QWidget *parent, const Request &request)
{
    QFileDialog dialog(parent, request.caption, request.start, request.filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(request.suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

} // namespace

QString ask(QWidget *parent, const Request &request)
{
    return installed() ? installed()(parent, request) : askWithQtDialog(parent, request);
}

Picker setPicker(Picker picker)
{
    Picker previous = installed();
    installed() = std::move(picker);
    return previous;
}

} // namespace SaveDialog

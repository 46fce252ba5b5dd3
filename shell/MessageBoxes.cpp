#include "shell/MessageBoxes.h"

#include <QFile>
#include <QTextStream>

#include <cstdlib>

namespace {

MessageBoxes::Responder &currentResponder()
{
    static MessageBoxes::Responder responder;
    return responder;
}

// End-to-end tests drive the real boxes with X input and read what they said from the
// file named by $LUMIDESK_BOX_LOG (one "title<TAB>text" line per box).
void traceBox(const MessageBoxes::Request &request)
{
    const char *path = std::getenv("LUMIDESK_BOX_LOG");
    if (!path || !*path)
        return;
    QFile file(QFile::decodeName(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    QTextStream out(&file);
    out.setCodec("UTF-8");
    QString text = request.text;
    text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    out << request.title << '\t' << text << '\n';
}

QMessageBox::StandardButton show(QMessageBox::Icon icon, QWidget *parent, const QString &title, const QString &text,
                                 QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    const MessageBoxes::Request request{icon, title, text, buttons, defaultButton};
    traceBox(request);
    if (const MessageBoxes::Responder &responder = currentResponder())
        return responder(request);
    switch (icon) {
    case QMessageBox::Question:
        return QMessageBox::question(parent, title, text, buttons, defaultButton);
    case QMessageBox::Warning:
        return QMessageBox::warning(parent, title, text, buttons, defaultButton);
    default:
        return QMessageBox::information(parent, title, text, buttons, defaultButton);
    }
}

} // namespace

QMessageBox::StandardButton MessageBoxes::question(QWidget *parent, const QString &title, const QString &text,
                                                   QMessageBox::StandardButtons buttons,
                                                   QMessageBox::StandardButton defaultButton)
{
    return show(QMessageBox::Question, parent, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton MessageBoxes::information(QWidget *parent, const QString &title, const QString &text,
                                                      QMessageBox::StandardButtons buttons,
                                                      QMessageBox::StandardButton defaultButton)
{
    return show(QMessageBox::Information, parent, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton MessageBoxes::warning(QWidget *parent, const QString &title, const QString &text,
                                                  QMessageBox::StandardButtons buttons,
                                                  QMessageBox::StandardButton defaultButton)
{
    return show(QMessageBox::Warning, parent, title, text, buttons, defaultButton);
}

MessageBoxes::Responder MessageBoxes::setResponder(Responder responder)
{
    Responder previous = std::move(currentResponder());
    currentResponder() = std::move(responder);
    return previous;
}

#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

// Every modal box of the program goes through here, so that a test can answer boxes
// without a window ever blocking it.
namespace MessageBoxes {

struct Request
{
    QMessageBox::Icon icon;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton;
};

// Answers a box in place of the user; installed by tests.
using Responder = std::function<QMessageBox::StandardButton(const Request &)>;

QMessageBox::StandardButton question(QWidget *parent, const QString &title, const QString &text,
                                     QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
QMessageBox::StandardButton information(QWidget *parent, const QString &title, const QString &text,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
QMessageBox::StandardButton warning(QWidget *parent, const QString &title, const QString &text,
                                    QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

// Replaces the real box; an empty responder restores it. Returns the previous responder.
Responder setResponder(Responder responder);

} // namespace MessageBoxes

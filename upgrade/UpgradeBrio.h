#pragma once

#include "camera/sdk/quillon_types.h"
#include "upgrade/FirmwareChooser.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>

class QLabel;

namespace Ui {
class UpgradeBrio;
}

// The frameless dialog through which the camera SDK upgrades a Brio: the user picks an image,
// presses "Upgrade", and the status line shows the start's answer and then every stage the SDK
// reports. The control panel creates it, runs it with exec() and destroys it.
//
// The SDK reports on a thread of its own through a plain function without context, also after
// the dialog has gone. The report's text is built there and handed to the GUI thread, which
// shows it on the dialog that exists when it arrives (or only logs it when none does).
class UpgradeBrio : public QDialog
{
    Q_OBJECT

public:
    // Asks the user for an image file: (parent, caption, start folder, filter) -> the chosen
    // path, empty when cancelled.
    using FilePicker = FirmwareChooser::Picker;

    explicit UpgradeBrio(QWidget *parent = nullptr);
    ~UpgradeBrio() override;

    // Resets the progress bar and enables "Upgrade", then runs the dialog modally.
    int exec() override;

    QString firmwarePath() const { return m_firmwarePath; }

    // The status callback given to the SDK; any thread.
    static void statusCallback(int32_t stage, int32_t value);

    // Tests: replaces Qt's own file dialog (an empty picker restores it). Returns the previous one.
    static FilePicker setFilePicker(FilePicker picker);

public slots:
    void slotBNClose_Clicked();
    void slotBNUpdate_Clicked();
    void on_pushButton_Firemware_clicked();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void showReport(const QString &text, int progress);

    std::unique_ptr<Ui::UpgradeBrio> ui;
    QLabel *m_status;
    QString m_firmwarePath;
};

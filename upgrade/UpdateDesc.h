#pragma once

#include <QDialog>
#include <QString>

#include <memory>

class QThread;
class UpgradeLibrary;
class Worker;

namespace Ui {
class UpdateDesc;
}

// The frameless dialog that flashes an Alta waiting in its USB loader: boot loader, firmware,
// check, reset, through the flashing library. The control panel creates it once with itself
// and prepares it (flash type, loader and image) before it runs it.
//
// The flashing library is loaded and initialised with the dialog; the work runs in a Worker in
// a thread of the dialog's, which reports back through queued signals only.
class UpdateDesc : public QDialog
{
    Q_OBJECT

public:
    explicit UpdateDesc(QWidget *parent = nullptr);
    // Lets a running upgrade end (a half-written camera would not boot), then stops the thread
    // and uninitialises and unloads the library.
    ~UpdateDesc() override;

    // "nand" or "nor". Marks the dialog prepared, for as long as it exists.
    void setFlashType(const QString &type);
    void setFirmwarePath(const QString &path);
    void setLoaderPath(const QString &path);
    bool isPrepared() const { return m_prepared; }

    QString flashType() const { return m_flashType; }
    QString firmwarePath() const { return m_firmwarePath; }
    QString loaderPath() const { return m_loaderPath; }
    bool isBusy() const { return m_busy; }
    // Null when the library was not loaded.
    Worker *worker() const { return m_worker; }

    // Where the library is loaded from: the installation's Upgrade folder.
    static QString libraryPath();

signals:
    void sigUpgrade();

public slots:
    void slotBNClose_Clicked();
    void slotBNUpdate_Clicked();
    void on_pushButton_Firemware_clicked();
    void slotStatus(QString info);
    void slotProgress(int value);
    void slotWorkFinish(bool status);
    void slotOutTimer();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void showStatus(const QString &text); // and logs it
    void setControlsEnabled(bool enabled);
    void stopWorker();

    std::unique_ptr<Ui::UpdateDesc> ui;
    QString m_flashType;
    QString m_upgradeDir;
    QString m_logDir;
    QString m_firmwarePath;
    QString m_loaderPath;
    std::unique_ptr<UpgradeLibrary> m_library;
    Worker *m_worker = nullptr;  // lives in m_thread
    QThread *m_thread = nullptr; // a child of the dialog
    bool m_busy = false;
    bool m_prepared = false;
};

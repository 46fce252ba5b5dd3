#pragma once

#include <QPoint>
#include <QSize>
#include <QString>
#include <QTimer>
#include <QWidget>

class QLabel;
class QPushButton;

// The grey strip at the top of a frameless window: icon, title, and the minimise, restore,
// maximise and close buttons. Dragging it moves the window; double-clicking toggles
// maximisation. The window carries out the requests it signals.
class MyTitleBar : public QWidget
{
    Q_OBJECT

public:
    enum TitleButtons { MinCloseButtons = 0, MinMaxCloseButtons = 1, CloseButtonOnly = 2 };

    explicit MyTitleBar(QWidget *parent = nullptr);

    void setTitleIcon(const QString &path);
    void setTitleContent(const QString &content);
    void setTitleWidth(int width);
    void setButtonType(TitleButtons type);
    TitleButtons buttonType() const { return m_buttonType; }
    void saveRestoreInfo(const QPoint &point, const QSize &size);
    void getRestoreInfo(QPoint &point, QSize &size) const;
    void startTitleRoll();

signals:
    void signalButtonMinClicked();
    void signalButtonRestoreClicked();
    void signalButtonMaxClicked();
    void signalButtonCloseClicked();

private slots:
    void onButtonMinClicked();
    void onButtonRestoreClicked();
    void onButtonMaxClicked();
    void onButtonCloseClicked();
    void onRollTitle();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QLabel *m_pIcon;
    QLabel *m_pTitleContent;
    QPushButton *m_pButtonMin;
    QPushButton *m_pButtonRestore;
    QPushButton *m_pButtonMax;
    QPushButton *m_pButtonClose;

    int m_colorR = 170;
    int m_colorG = 170;
    int m_colorB = 170;

    QPoint m_restorePos;
    QSize m_restoreSize;

    bool m_isPressed = false;
    QPoint m_startMovePos;

    QString m_titleContent;
    QTimer m_titleRollTimer;
    TitleButtons m_buttonType = MinMaxCloseButtons;
};

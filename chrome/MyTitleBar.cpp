#include "chrome/MyTitleBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>

namespace {

const int kTitleHeight = 35;
const QSize kButtonSize(50, 25);
const QSize kIconSize(80, 32);

QString buttonSheet(const char *name)
{
    return QStringLiteral("QPushButton{border-image: url(:/DepthStudio/Resources/bt_%1_normal.png);}"
                          "QPushButton:hover{border-image: url(:/DepthStudio/Resources/bt_%1_press.png);}"
                          "QPushButton:pressed{border-image: url(:/DepthStudio/Resources/bt_%1_selected.png);}")
        .arg(QLatin1String(name));
}

QPushButton *makeButton(QWidget *parent, const char *objectName, const char *image)
{
    auto *button = new QPushButton(parent);
    button->setObjectName(QLatin1String(objectName));
    button->setFixedSize(kButtonSize);
    button->setStyleSheet(buttonSheet(image));
    return button;
}

// Where the rolling title stands; shared by every bar of the process.
int g_rollPosition = 0;

} // namespace

MyTitleBar::MyTitleBar(QWidget *parent)
    : QWidget(parent)
    , m_restoreSize(-1, -1)
{
    m_pIcon = new QLabel(this);
    m_pTitleContent = new QLabel(this);
    m_pTitleContent->setObjectName(QStringLiteral("TitleContent"));
    m_pTitleContent->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    m_pButtonMin = makeButton(this, "ButtonMin", "minimize");
    m_pButtonRestore = makeButton(this, "ButtonRestore", "maximize");
    m_pButtonMax = makeButton(this, "ButtonMax", "maximize");
    m_pButtonClose = makeButton(this, "ButtonClose", "close");

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(m_pIcon);
    layout->addWidget(m_pTitleContent);
    layout->addWidget(m_pButtonMin);
    layout->addWidget(m_pButtonRestore);
    layout->addWidget(m_pButtonMax);
    layout->addWidget(m_pButtonClose);
    layout->setContentsMargins(5, 0, 5, 0);
    layout->setSpacing(0);

    setFixedHeight(kTitleHeight);
    setWindowFlags(Qt::FramelessWindowHint);

    connect(m_pButtonMin, &QPushButton::clicked, this, &MyTitleBar::onButtonMinClicked);
    connect(m_pButtonRestore, &QPushButton::clicked, this, &MyTitleBar::onButtonRestoreClicked);
    connect(m_pButtonMax, &QPushButton::clicked, this, &MyTitleBar::onButtonMaxClicked);
    connect(m_pButtonClose, &QPushButton::clicked, this, &MyTitleBar::onButtonCloseClicked);
}

void MyTitleBar::setTitleIcon(const QString &path)
{
    m_pIcon->setPixmap(QPixmap(path).scaled(kIconSize, Qt::IgnoreAspectRatio));
}

void MyTitleBar::setTitleContent(const QString &content)
{
    QFont font = m_pTitleContent->font();
    font.setPointSize(6);
    m_pTitleContent->setFont(font);
    QPalette palette = m_pTitleContent->palette();
    palette.setColor(QPalette::All, QPalette::WindowText, Qt::black);
    m_pTitleContent->setPalette(palette);
    m_pTitleContent->setText(content);
    m_titleContent = content;
}

void MyTitleBar::setTitleWidth(int width)
{
    setFixedWidth(width);
}

void MyTitleBar::setButtonType(TitleButtons type)
{
    m_buttonType = type;
    switch (type) {
    case MinCloseButtons:
        m_pButtonRestore->setVisible(false);
        m_pButtonMax->setVisible(false);
        break;
    case MinMaxCloseButtons:
        m_pButtonRestore->setVisible(false);
        break;
    case CloseButtonOnly:
        m_pButtonMin->setVisible(false);
        m_pButtonRestore->setVisible(false);
        m_pButtonMax->setVisible(false);
        break;
    }
}

void MyTitleBar::saveRestoreInfo(const QPoint &point, const QSize &size)
{
    m_restorePos = point;
    m_restoreSize = size;
}

void MyTitleBar::getRestoreInfo(QPoint &point, QSize &size) const
{
    point = m_restorePos;
    size = m_restoreSize;
}

void MyTitleBar::startTitleRoll()
{
    connect(&m_titleRollTimer, &QTimer::timeout, this, &MyTitleBar::onRollTitle, Qt::UniqueConnection);
    m_titleRollTimer.start(200);
}

void MyTitleBar::onButtonMinClicked()
{
    emit signalButtonMinClicked();
}

void MyTitleBar::onButtonRestoreClicked()
{
    m_pButtonRestore->setVisible(false);
    m_pButtonMax->setVisible(true);
    emit signalButtonRestoreClicked();
}

void MyTitleBar::onButtonMaxClicked()
{
    m_pButtonMax->setVisible(false);
    m_pButtonRestore->setVisible(true);
    emit signalButtonMaxClicked();
}

void MyTitleBar::onButtonCloseClicked()
{
    emit signalButtonCloseClicked();
}

void MyTitleBar::onRollTitle()
{
    if (g_rollPosition > m_titleContent.length())
        g_rollPosition = 0;
    m_pTitleContent->setText(m_titleContent.mid(g_rollPosition));
    ++g_rollPosition;
}

void MyTitleBar::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    path.addRoundedRect(QRectF(rect()), 3, 3);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.fillPath(path, QBrush(QColor(m_colorR, m_colorG, m_colorB, 255)));

    // Follow the window's width after it has been resized.
    if (parentWidget() && width() != parentWidget()->width())
        setFixedWidth(parentWidget()->width());
}

void MyTitleBar::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (m_buttonType == MinMaxCloseButtons) {
        // isHidden, not isVisible: the state of the pair, whether or not the bar is on screen.
        if (!m_pButtonMax->isHidden())
            onButtonMaxClicked();
        else
            onButtonRestoreClicked();
    }
    QWidget::mouseDoubleClickEvent(event);
}

void MyTitleBar::mousePressEvent(QMouseEvent *event)
{
    // A maximised window is not dragged by the bar.
    if (!(m_buttonType == MinMaxCloseButtons && m_pButtonMax->isHidden())) {
        m_isPressed = true;
        m_startMovePos = event->globalPos();
    }
    QWidget::mousePressEvent(event);
}

void MyTitleBar::mouseMoveEvent(QMouseEvent *event)
{
    if (m_isPressed && parentWidget()) {
        QWidget *window = parentWidget()->window();
        const QPoint movePoint = event->globalPos() - m_startMovePos;
        window->move(window->pos() + movePoint);
        m_startMovePos = event->globalPos();
    }
    QWidget::mouseMoveEvent(event);
}

void MyTitleBar::mouseReleaseEvent(QMouseEvent *event)
{
    m_isPressed = false;
    QWidget::mouseReleaseEvent(event);
}

#include "support/BoxRecorder.h"

BoxRecorder::BoxRecorder(QMessageBox::StandardButton defaultAnswer)
    : m_default(defaultAnswer)
{
    m_previous = MessageBoxes::setResponder([this](const MessageBoxes::Request &request) {
        m_boxes.append(request);
        return m_answers.isEmpty() ? m_default : m_answers.takeFirst();
    });
}

QStringList BoxRecorder::shown() const
{
    QStringList lines;
    for (const MessageBoxes::Request &box : m_boxes)
        lines << box.title + QLatin1Char('\t') + box.text;
    return lines;
}

BoxRecorder::~BoxRecorder()
{
    MessageBoxes::setResponder(std::move(m_previous));
}

#pragma once

#include "shell/MessageBoxes.h"

#include <QList>
#include <QMessageBox>
#include <QStringList>

// Answers every message box while it lives and remembers what was asked. Answers are
// taken from the queue in order; when it is empty, defaultAnswer is used.
class BoxRecorder
{
public:
    explicit BoxRecorder(QMessageBox::StandardButton defaultAnswer = QMessageBox::Yes);
    ~BoxRecorder();
    BoxRecorder(const BoxRecorder &) = delete;
    BoxRecorder &operator=(const BoxRecorder &) = delete;

    void queueAnswer(QMessageBox::StandardButton answer) { m_answers.append(answer); }
    const QList<MessageBoxes::Request> &boxes() const { return m_boxes; }
    // "title<TAB>text" per box, as the box trace writes them.
    QStringList shown() const;
    void clear() { m_boxes.clear(); }

private:
    QMessageBox::StandardButton m_default;
    QList<QMessageBox::StandardButton> m_answers;
    QList<MessageBoxes::Request> m_boxes;
    MessageBoxes::Responder m_previous;
};

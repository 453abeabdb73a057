#pragma once

#include "common/Dialogs.h"

#include <QList>
#include <QQueue>
#include <QString>

// Test backend of the dialog layer: records every dialog and answers from queues. A dialog
// with no scripted answer fails the running test (and gets a refusing answer) instead of
// waiting for a click that never comes. Installs itself on construction.
class ScriptedDialogs : public Dialogs::Backend
{
public:
    ScriptedDialogs();
    ~ScriptedDialogs() override;

    void answer(Dialogs::Answer a) { m_answers.enqueue(a); }
    void answerFile(const QString &path, int filterIndex = 0) { m_files.enqueue({true, path, filterIndex}); }
    void cancelFile() { m_files.enqueue({}); }
    void answerPrint(const Dialogs::PrintRequest &r) { m_prints.enqueue(r); }
    void cancelPrint()
    {
        Dialogs::PrintRequest r;
        r.accepted = false;
        m_prints.enqueue(r);
    }

    const QList<Dialogs::Message> &messages() const { return m_messages; }
    const QList<Dialogs::FileRequest> &fileRequests() const { return m_fileRequests; }
    Dialogs::Message last() const { return m_messages.value(m_messages.size() - 1); }
    void clear()
    {
        m_messages.clear();
        m_fileRequests.clear();
    }
    // True when every scripted answer was used.
    bool drained() const { return m_answers.isEmpty() && m_files.isEmpty() && m_prints.isEmpty(); }

    Dialogs::Answer message(const Dialogs::Message &m) override;
    Dialogs::FileAnswer file(const Dialogs::FileRequest &r) override;
    bool print(Dialogs::PrintRequest &r) override;

private:
    QQueue<Dialogs::Answer> m_answers;
    QQueue<Dialogs::FileAnswer> m_files;
    QQueue<Dialogs::PrintRequest> m_prints;
    QList<Dialogs::Message> m_messages;
    QList<Dialogs::FileRequest> m_fileRequests;
};

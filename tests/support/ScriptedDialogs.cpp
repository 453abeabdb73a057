#include "ScriptedDialogs.h"

#include <QTest>

ScriptedDialogs::ScriptedDialogs() { Dialogs::setBackend(this); }

ScriptedDialogs::~ScriptedDialogs()
{
    if (Dialogs::backend() == this)
        Dialogs::setBackend(nullptr);
}

Dialogs::Answer ScriptedDialogs::message(const Dialogs::Message &m)
{
    m_messages.append(m);
    const auto choices = Dialogs::buttonsOf(m.buttons);
    if (choices.size() == 1 && m_answers.isEmpty())
        return choices.first(); // an OK-only message needs no script
    if (m_answers.isEmpty()) {
        QTest::qFail(qPrintable(QStringLiteral("unscripted question: ") + m.title + QStringLiteral(" / ") + m.text),
                     __FILE__, __LINE__);
        return choices.contains(Dialogs::Answer::Cancel) ? Dialogs::Answer::Cancel : choices.last();
    }
    return m_answers.dequeue();
}

Dialogs::FileAnswer ScriptedDialogs::file(const Dialogs::FileRequest &r)
{
    m_fileRequests.append(r);
    if (m_files.isEmpty()) {
        QTest::qFail(qPrintable(QStringLiteral("unscripted file dialog: ") + r.title), __FILE__, __LINE__);
        return {};
    }
    return m_files.dequeue();
}

bool ScriptedDialogs::print(Dialogs::PrintRequest &r)
{
    if (m_prints.isEmpty()) {
        QTest::qFail("unscripted printer dialog", __FILE__, __LINE__);
        return false;
    }
    const Dialogs::PrintRequest a = m_prints.dequeue();
    if (!a.accepted)
        return false;
    r.copies = a.copies;
    r.printerName = a.printerName;
    r.pdfPath = a.pdfPath;
    r.accepted = true;
    return true;
}

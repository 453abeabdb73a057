#pragma once

#include "ScreenTable.h"
#include "recorder/CalcoloCom.h"

#include <QDialog>

#include <functional>

// What the two communication screens share: a small modal window at the top-left corner
// showing " 送受信中" while it hosts one collection of a link, which it starts when first
// shown and which closes it when finished, leaving the collection's outcome for the intake
// screen. The user cannot cut a collection short: the link ends it by itself.
class LinkScreen : public QDialog
{
    Q_OBJECT
public:
    const CalcoloCom::CollectionResult &result() const { return m_result; }

public slots:
    void reject() override;

protected:
    // The communication screens are titled with their form name.
    explicit LinkScreen(ScreenId screen, QWidget *parent);

    // Link: LanLink or UsbLink (start(), isFinished(), result(), the finished() signal).
    template <typename Link>
    void host(Link *link)
    {
        m_start = [link] { link->start(); };
        m_isFinished = [link] { return link->isFinished(); };
        connect(link, &Link::finished, this, [this, link] {
            m_result = link->result();
            accept();
        });
    }

    void showEvent(QShowEvent *e) override;

private:
    std::function<void()> m_start;
    std::function<bool()> m_isFinished;
    CalcoloCom::CollectionResult m_result;
    bool m_started = false;
};

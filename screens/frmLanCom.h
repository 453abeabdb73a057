#pragma once

#include "CalcoloCom.h"

#include <QDialog>

class LanLink;

// The modal LAN communication screen: hosts one collection of the LAN link and closes itself
// when the link has finished, leaving the collection's outcome for the intake screen.
class frmLanCom : public QDialog
{
    Q_OBJECT
public:
    // waitingRows: rows already in the intake table, for the link's 10000-row limit.
    explicit frmLanCom(int waitingRows, QWidget *parent = nullptr);
    ~frmLanCom() override;

    const CalcoloCom::CollectionResult &result() const { return m_result; }

    // Opens the screen modally and returns the outcome.
    static CalcoloCom::CollectionResult run(int waitingRows, QWidget *parent = nullptr);

public slots:
    // The user cannot cut a collection short: the link ends it by its own timers.
    void reject() override;

protected:
    void showEvent(QShowEvent *e) override;

private:
    void onFinished();

    LanLink *m_link = nullptr;
    CalcoloCom::CollectionResult m_result;
    bool m_started = false;
};

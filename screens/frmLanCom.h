#pragma once

#include "LinkScreen.h"

class LanLink;

// The modal LAN communication screen: hosts one collection of the LAN link.
class frmLanCom : public LinkScreen
{
    Q_OBJECT
public:
    // waitingRows: rows already in the intake table, for the link's 10000-row limit.
    explicit frmLanCom(int waitingRows, QWidget *parent = nullptr);
    ~frmLanCom() override;

    // Opens the screen modally and returns the outcome.
    static CalcoloCom::CollectionResult run(int waitingRows, QWidget *parent = nullptr);

private:
    LanLink *m_link = nullptr;
};

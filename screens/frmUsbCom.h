#pragma once

#include "LinkScreen.h"

class UsbLink;

// The modal USB communication screen: hosts one collection of the USB link (the KestoUsb
// control "KestoUsb1").
class frmUsbCom : public LinkScreen
{
    Q_OBJECT
public:
    explicit frmUsbCom(QWidget *parent = nullptr);
    ~frmUsbCom() override;

    UsbLink *link() const { return m_link; }

    // Opens the screen modally and returns the outcome.
    static CalcoloCom::CollectionResult run(QWidget *parent = nullptr);

private:
    UsbLink *m_link = nullptr;
};

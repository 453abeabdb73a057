#pragma once

#include "CalcoloCom.h"

#include <QDialog>

class UsbLink;

// The modal USB communication screen: hosts one collection of the USB link (the KestoUsb
// control "KestoUsb1") and closes itself when the link has finished, leaving the collection's
// outcome for the intake screen.
class frmUsbCom : public QDialog
{
    Q_OBJECT
public:
    explicit frmUsbCom(QWidget *parent = nullptr);
    ~frmUsbCom() override;

    const CalcoloCom::CollectionResult &result() const { return m_result; }
    UsbLink *link() const { return m_link; }

    // Opens the screen modally and returns the outcome.
    static CalcoloCom::CollectionResult run(QWidget *parent = nullptr);

public slots:
    // The user cannot cut a collection short: the link ends it by itself.
    void reject() override;

protected:
    void showEvent(QShowEvent *e) override;

private:
    void onFinished();

    UsbLink *m_link = nullptr;
    CalcoloCom::CollectionResult m_result;
    bool m_started = false;
};

#pragma once

#include <QDialog>

class QComboBox;
class QPushButton;

// The closing day and day-change time dialog (modal). Only a list whose choice changed is
// written, to the monthly and then the master database; the closing day is refused while the
// month already holds punches.
class frmSimebiSet : public QDialog
{
    Q_OBJECT
public:
    explicit frmSimebiSet(QWidget *parent = nullptr);

public slots:
    void set();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QComboBox *m_simebi;
    QComboBox *m_higawari;
    QPushButton *m_set;
    QPushButton *m_cancel;
    int m_simebiAtOpen = -1;
    int m_higawariAtOpen = -1;
};

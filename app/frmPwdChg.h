#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

// The password change dialog (modal): old password, new password and its confirmation, with
// the rules checked in a fixed order.
class frmPwdChg : public QDialog
{
    Q_OBJECT
public:
    explicit frmPwdChg(QWidget *parent = nullptr);

public slots:
    void ok();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refuse(const QString &text, QLineEdit *focus);

    QLineEdit *m_old;
    QLineEdit *m_new;
    QLineEdit *m_confirm;
    QPushButton *m_ok;
};

#pragma once

#include <QDialog>

class QComboBox;
class QPushButton;

// The month change screen (modal): chooses another processing month and starts it.
class frmMonthChg : public QDialog
{
    Q_OBJECT
public:
    explicit frmMonthChg(QWidget *parent = nullptr);

    bool changed() const { return m_changed; }

public slots:
    void change();

private:
    void listChanged();

    QComboBox *m_year;
    QComboBox *m_month;
    QPushButton *m_change;
    QPushButton *m_cancel;
    bool m_changed = false;
};

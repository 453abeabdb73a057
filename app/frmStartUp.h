#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The login screen: the password, the processing year and month, and the start of that month.
class frmStartUp : public QWidget
{
    Q_OBJECT
public:
    explicit frmStartUp(QWidget *parent = nullptr);

    // The load steps: settings, images, master database, the lists, the USB check. On a
    // failure the message has been shown and the files closed; the program must end.
    bool load();

public slots:
    void start();
    void quit();

private:
    bool loadFailure(const QString &firstLine);

    QLabel *m_picture;
    QLineEdit *m_pwd;
    QComboBox *m_year;
    QComboBox *m_month;
    QPushButton *m_start;
    QPushButton *m_end;
};

// Makes and loads the login screen and shows it; false when the load failed (the program
// must end).
bool showLoginScreen();

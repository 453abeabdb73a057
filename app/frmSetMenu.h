#pragma once

#include <QWidget>

// The settings menu screen: the first screen after every start of a month. Each button opens
// one of the setting screens or dialogs.
class frmSetMenu : public QWidget
{
    Q_OBJECT
public:
    explicit frmSetMenu(QWidget *parent = nullptr);

private:
    // Hides this screen and brings the named one forward.
    void openInstead(const QString &formName);
};

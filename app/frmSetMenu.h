#pragma once

#include "screens/ScreenTable.h"

#include <QWidget>

// The settings menu screen: the first screen after every start of a month. Each button opens
// one of the setting screens or dialogs.
class frmSetMenu : public QWidget
{
    Q_OBJECT
public:
    explicit frmSetMenu(QWidget *parent = nullptr);

private:
    // Hides this screen and brings that one forward.
    void openInstead(ScreenId screen);
};

#pragma once

#include "EmployeeGrid.h"

// Card number registration (カード番号登録): gives cards to employees and switches cards
// active, opened from the collected-data screen and returning to it.
class frmCardSet : public EmployeeGrid
{
    Q_OBJECT
public:
    explicit frmCardSet(QWidget *parent = nullptr);

    void CardEdit_Start() { startRoutine(); }
    int CardSet_check(int kind) { return check(kind); }
};

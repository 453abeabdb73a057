#pragma once

#include "EmployeeGrid.h"

// Employee master registration (個人マスタ登録): employees are added, changed, marked and
// deleted here, opened from the settings menu and the 設定 menu.
class frmMasSet : public EmployeeGrid
{
    Q_OBJECT
public:
    explicit frmMasSet(QWidget *parent = nullptr);

    // Reads the employee table afresh into the grid, dropping unsaved edits.
    void MasterEdit_Start() { startRoutine(); }
    // The editing guard's check: -1 stay, 0 go on.
    int MasSet_check(int kind) { return check(kind); }
};

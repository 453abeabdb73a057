#include "frmMasSet.h"

frmMasSet::frmMasSet(QWidget *parent)
    : EmployeeGrid(Mode::Master, parent)
{
    setObjectName(QStringLiteral("frmMasSet"));
    setWindowTitle(QStringLiteral("個人マスタ登録"));
    load();
}

#pragma once

#include <QDialog>
#include <QVector>

#include <array>
#include <functional>

class QLineEdit;
class QPushButton;

// The recorder address dialog (ＬＡＮ 設定): four boxes of one octet each, accepting digits
// only, each checked against 0..255 when left; 変更 stores the address as IP_adrs.
//
// Controls (objectName): txtIPaddress_0..3, cmdSet, cmdCancel, CmdHelp.
class frmLANset : public QDialog
{
    Q_OBJECT
public:
    explicit frmLANset(QWidget *parent = nullptr);

    // The main window supplies the help viewer (topic number); without one the button says so.
    static void setHelpHandler(std::function<void(int)> fn);
    static constexpr int kHelpTopic = 10025;

    std::array<int, 4> octets() const { return m_octets; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Checks box i; a wrong value is reported and the box restored. Returns whether it was valid.
    bool validate(int i, bool losingFocus);
    void cmdSet_Click();

    std::array<QLineEdit *, 4> m_box{};
    std::array<int, 4> m_octets{};
    QPushButton *m_set = nullptr;
    bool m_reporting = false;
};

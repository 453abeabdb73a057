#pragma once

#include "common/Dialogs.h"

class QWidget;

// The dialog layer's backend for the windowed program: real message boxes, file dialogs and
// the printer dialog, parented to the active window.
class WidgetDialogs : public Dialogs::Backend
{
public:
    Dialogs::Answer message(const Dialogs::Message &m) override;
    Dialogs::FileAnswer file(const Dialogs::FileRequest &r) override;
    bool print(Dialogs::PrintRequest &r) override;
};

// Opens the input method for name entry, closes it for number entry.
void ImeSwitch(QWidget *widget, bool open);

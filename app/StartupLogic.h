#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

// Start-up rules that need no window: the processing-month choices, the record of a finished
// setup, and the USB driver check.

// "2001" up to the year of (today + 1 month), ascending.
QStringList yearChoices(const QDate &today);
// "01".."12", or only up to the month of (today + 1 month) in that month's year, so that no
// month later than next month can be chosen.
QStringList monthChoices(const QString &year, const QDate &today);

// Whether the setup wizard has finished on this installation (kept in corvan21.ini), and
// recording that it has.
bool setupCompleted();
bool recordSetupCompleted();

// The recorder's USB side is installed when the KestoUsb library is registered in the class
// registry (KESTOUSB_REGISTRY, else kestousb/classes.reg in the user's config folder) with a
// module file that exists, and the driver folder (KESTOUSB_DEVICE_DIR, else
// $XDG_RUNTIME_DIR/kestousb) exists. 0 when both hold, +1 when the library is missing, +2 when
// the driver is missing.
int usbDriverCheck();
QString usbRegistryPath();
QString usbDriverFolder();

// The CLSID of the KestoUsb control that the registration must name.
constexpr const char *kKestoUsbClsid = "{B5463437-6971-11D4-816D-0050DACEAA4B}";

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>

#include <QObject>

#include "app/CommandIds.h"

class CCommandActions;
class QActionGroup;

// The Application Look commands: one look checked at a time, installed on the whole application
// and kept in the settings as soon as it is chosen.
class CApplicationLooks : public QObject
{
    Q_OBJECT

public:
    // The looks of the Application Look menu, then those of its Office 2007 menu.
    static constexpr std::array PlainLookIds = {CommandId::LookWindows2000, CommandId::LookOfficeXP,
                                                CommandId::LookWindowsXP,   CommandId::LookOffice2003,
                                                CommandId::LookVS2005,      CommandId::LookVS2008};
    static constexpr std::array Office2007LookIds = {CommandId::LookOffice2007Blue, CommandId::LookOffice2007Black,
                                                     CommandId::LookOffice2007Silver, CommandId::LookOffice2007Aqua};

    // Starts with the stored look; nothing is installed before Set.
    CApplicationLooks(const CCommandActions& commands, QObject* parent);

    // The look the settings keep, the default one when they keep none.
    static unsigned ReadStored();

    unsigned Get() const { return m_nLook; }
    // Installs a look (205 to 219; anything else is the Office 2007 look) and stores it at once.
    void Set(unsigned look);
    // Checks the command of the look in use, and only that one.
    void UpdateChecks() const;

Q_SIGNALS:
    // A look was installed, from its command or from Set.
    void LookChanged();

private:
    QActionGroup* m_pGroup;
    unsigned m_nLook = 0;
};

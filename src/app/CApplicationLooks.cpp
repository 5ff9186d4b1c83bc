// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CApplicationLooks.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QStyle>
#include <QStyleFactory>

#include "app/CCommandActions.h"
#include "app/CLookPalettes.h"
#include "app/COstrelApp.h"
#include "view/COstrelSettings.h"

namespace {

const QString LookKey = QStringLiteral("Workspace/ApplicationLook");

} // namespace

CApplicationLooks::CApplicationLooks(const CCommandActions& commands, QObject* parent)
    : QObject(parent), m_pGroup(new QActionGroup(this))
{
    m_nLook = ReadStored();
    m_pGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (int id : PlainLookIds)
        m_pGroup->addAction(commands.Get(id));
    for (int id : Office2007LookIds)
        m_pGroup->addAction(commands.Get(id));
    connect(m_pGroup, &QActionGroup::triggered, this, [this](QAction* action) { Set(action->data().toUInt()); });
}

unsigned CApplicationLooks::ReadStored()
{
    return COstrelSettings().value(LookKey, CommandId::LookDefault).toUInt();
}

void CApplicationLooks::Set(unsigned look)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_nLook = look;
    if (COstrelApp* app = COstrelApp::GetInstance())
        app->SetApplicationLook(look);

    const CLookStyle lookStyle = GetLookStyle(look);
    if (QStyle* style = QStyleFactory::create(lookStyle.StyleName))
        QApplication::setStyle(style);
    QApplication::setPalette(lookStyle.Palette);
    COstrelSettings().setValue(LookKey, look);
    Q_EMIT LookChanged();
    QApplication::restoreOverrideCursor();
}

void CApplicationLooks::UpdateChecks() const
{
    for (QAction* look : m_pGroup->actions())
        look->setChecked(look->data().toUInt() == m_nLook);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "filterui/FilterErrorBox.h"

#include <QMessageBox>

void ShowFilterErrorMessage(QWidget* pOwner, const QString& text, const QString& caption)
{
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, pOwner);
    box.setObjectName(QStringLiteral("filterErrorBox"));
    box.exec();
}

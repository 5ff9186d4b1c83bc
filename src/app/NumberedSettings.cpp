// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/NumberedSettings.h"

#include <QSettings>

QStringList ReadNumberedValues(QSettings& settings, const QString& group, const QString& keyPrefix, int count)
{
    QStringList values;
    settings.beginGroup(group);
    for (int i = 1; i <= count; ++i) {
        const QString value = settings.value(keyPrefix + QString::number(i)).toString();
        if (!value.isEmpty())
            values.append(value);
    }
    settings.endGroup();
    return values;
}

void WriteNumberedValues(QSettings& settings, const QString& group, const QString& keyPrefix, const QStringList& values,
                         int count)
{
    settings.beginGroup(group);
    for (int i = 1; i <= count; ++i) {
        const QString key = keyPrefix + QString::number(i);
        if (i <= values.size())
            settings.setValue(key, values.at(i - 1));
        else
            settings.remove(key);
    }
    settings.endGroup();
}

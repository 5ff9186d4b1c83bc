// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTabWidget>

// One tab group of the document area: a tab widget with the document tab bar.
class CTabGroup : public QTabWidget
{
    Q_OBJECT

public:
    explicit CTabGroup(QWidget* parent = nullptr);
};

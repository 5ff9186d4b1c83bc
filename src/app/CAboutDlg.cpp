// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CAboutDlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "app/COstrelApp.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(QStringLiteral("About Ostrel"));

    auto* picture = new QLabel(this);
    picture->setPixmap(style()->standardIcon(QStyle::SP_FileDialogContentsView).pixmap(32, 32));
    auto* product = new QLabel(QStringLiteral("Ostrel"), this);
    QFont productFont = product->font();
    productFont.setBold(true);
    product->setFont(productFont);
    auto* versionCaption = new QLabel(QStringLiteral("Version"), this);
    auto* version = new QLabel(COstrelApp::GetVersionText(), this);
    version->setObjectName(QStringLiteral("versionLabel"));
    auto* notice = new QLabel(QStringLiteral("Copyright \u00A9 Quorrel.\nFree software under the GNU General Public "
                                             "License, version 3 or later."),
                              this);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(picture, 0, 0, 3, 1, Qt::AlignTop);
    layout->addWidget(product, 0, 1, 1, 2);
    layout->addWidget(versionCaption, 1, 1);
    layout->addWidget(version, 1, 2);
    layout->addWidget(notice, 2, 1, 1, 2);
    layout->addWidget(buttons, 3, 0, 1, 3);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

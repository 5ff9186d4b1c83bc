// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CFontDlg.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleValidator>
#include <QFontComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>

#include "view/DialogFrames.h"

namespace {

enum FontStyle
{
    StyleRegular = 0,
    StyleItalic = 1,
    StyleBold = 2,
    StyleBoldItalic = 3,
};

constexpr int CustomColorRole = Qt::UserRole + 1;

QIcon ColorSwatch(const QColor& color)
{
    QPixmap swatch(24, 12);
    swatch.fill(color);
    QPainter painter(&swatch);
    painter.setPen(Qt::gray);
    painter.drawRect(0, 0, swatch.width() - 1, swatch.height() - 1);
    return QIcon(swatch);
}

} // namespace

const QList<QPair<QString, QColor>>& CFontDlg::GetNamedColors()
{
    static const QList<QPair<QString, QColor>> colors = {
        {QStringLiteral("Black"), QColor(0, 0, 0)},        {QStringLiteral("Maroon"), QColor(128, 0, 0)},
        {QStringLiteral("Green"), QColor(0, 128, 0)},      {QStringLiteral("Olive"), QColor(128, 128, 0)},
        {QStringLiteral("Navy"), QColor(0, 0, 128)},       {QStringLiteral("Purple"), QColor(128, 0, 128)},
        {QStringLiteral("Teal"), QColor(0, 128, 128)},     {QStringLiteral("Gray"), QColor(128, 128, 128)},
        {QStringLiteral("Silver"), QColor(192, 192, 192)}, {QStringLiteral("Red"), QColor(255, 0, 0)},
        {QStringLiteral("Lime"), QColor(0, 255, 0)},       {QStringLiteral("Yellow"), QColor(255, 255, 0)},
        {QStringLiteral("Blue"), QColor(0, 0, 255)},       {QStringLiteral("Fuchsia"), QColor(255, 0, 255)},
        {QStringLiteral("Aqua"), QColor(0, 255, 255)},     {QStringLiteral("White"), QColor(255, 255, 255)},
    };
    return colors;
}

CFontDlg::CFontDlg(QWidget* parent)
    : QDialog(parent, PlainDialogFlags), m_pFamilyCombo(new QFontComboBox(this)), m_pStyleCombo(new QComboBox(this)),
      m_pSizeCombo(new QComboBox(this)), m_pUnderlineCheck(new QCheckBox(QStringLiteral("&Underline"), this)),
      m_pColorCombo(new QComboBox(this)), m_pSample(new QLabel(QStringLiteral("AaBbYyZz 0123"), this))
{
    setObjectName(QStringLiteral("fontDialog"));
    setWindowTitle(QStringLiteral("Font"));
    m_pFamilyCombo->setObjectName(QStringLiteral("fontFamilyCombo"));
    m_pFamilyCombo->setEditable(false);
    m_pStyleCombo->setObjectName(QStringLiteral("fontStyleCombo"));
    m_pStyleCombo->addItems(
        {QStringLiteral("Regular"), QStringLiteral("Italic"), QStringLiteral("Bold"), QStringLiteral("Bold Italic")});
    m_pSizeCombo->setObjectName(QStringLiteral("fontSizeCombo"));
    m_pSizeCombo->setEditable(true);
    m_pSizeCombo->setInsertPolicy(QComboBox::NoInsert);
    for (int size : {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72})
        m_pSizeCombo->addItem(QString::number(size));
    auto* validator = new QDoubleValidator(1.0, 1638.0, 1, m_pSizeCombo);
    validator->setNotation(QDoubleValidator::StandardNotation);
    m_pSizeCombo->setValidator(validator);
    m_pUnderlineCheck->setObjectName(QStringLiteral("underlineCheck"));
    m_pColorCombo->setObjectName(QStringLiteral("fontColorCombo"));
    for (const auto& [name, color] : GetNamedColors())
        m_pColorCombo->addItem(ColorSwatch(color), name, color);
    m_pColorCombo->addItem(QStringLiteral("Custom..."));
    m_pSample->setObjectName(QStringLiteral("fontSample"));
    m_pSample->setAlignment(Qt::AlignCenter);
    m_pSample->setMinimumSize(260, 60);
    m_pSample->setAutoFillBackground(true);
    QPalette samplePalette = m_pSample->palette();
    samplePalette.setColor(QPalette::Window, Qt::white);
    m_pSample->setPalette(samplePalette);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Font:"), m_pFamilyCombo);
    form->addRow(QStringLiteral("Font st&yle:"), m_pStyleCombo);
    form->addRow(QStringLiteral("&Size:"), m_pSizeCombo);
    auto* effects = new QGroupBox(QStringLiteral("Effects"), this);
    auto* effectsForm = new QFormLayout(effects);
    effectsForm->addRow(m_pUnderlineCheck);
    effectsForm->addRow(QStringLiteral("&Color:"), m_pColorCombo);
    auto* sampleBox = new QGroupBox(QStringLiteral("Sample"), this);
    auto* sampleLayout = new QVBoxLayout(sampleBox);
    sampleLayout->addWidget(m_pSample);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("fontButtons"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(effects);
    layout->addWidget(sampleBox);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_pFamilyCombo, &QFontComboBox::currentFontChanged, this, &CFontDlg::UpdateSample);
    connect(m_pStyleCombo, &QComboBox::currentIndexChanged, this, &CFontDlg::UpdateSample);
    connect(m_pSizeCombo, &QComboBox::currentTextChanged, this, &CFontDlg::UpdateSample);
    connect(m_pUnderlineCheck, &QCheckBox::toggled, this, &CFontDlg::UpdateSample);
    connect(m_pColorCombo, &QComboBox::activated, this, &CFontDlg::OnColorChosen);
    UpdateSample();
}

void CFontDlg::SetCurrentFont(const QFont& font)
{
    m_pFamilyCombo->setCurrentFont(QFont(font.family()));
    m_pStyleCombo->setCurrentIndex((font.bold() ? StyleBold : StyleRegular) + (font.italic() ? StyleItalic : 0));
    const double size = font.pointSizeF() > 0 ? font.pointSizeF() : 10.0;
    m_pSizeCombo->setCurrentText(QString::number(size, 'g', 4));
    m_pUnderlineCheck->setChecked(font.underline());
    UpdateSample();
}

QFont CFontDlg::GetCurrentFont() const
{
    QFont font(m_pFamilyCombo->currentFont().family());
    const int style = m_pStyleCombo->currentIndex();
    font.setBold(style == StyleBold || style == StyleBoldItalic);
    font.setItalic(style == StyleItalic || style == StyleBoldItalic);
    bool valid = false;
    const double size = QLocale::c().toDouble(m_pSizeCombo->currentText().trimmed(), &valid);
    font.setPointSizeF(valid && size >= 1.0 ? size : 10.0);
    font.setUnderline(m_pUnderlineCheck->isChecked());
    return font;
}

void CFontDlg::SetCurrentColor(const QColor& color)
{
    int index = -1;
    for (int i = 0; i < m_pColorCombo->count() && index < 0; ++i) {
        if (m_pColorCombo->itemData(i).value<QColor>() == color)
            index = i;
    }
    if (index < 0)
        index = AddCustomColor(color);
    m_pColorCombo->setCurrentIndex(index);
    m_nLastColorIndex = index;
    UpdateSample();
}

QColor CFontDlg::GetCurrentColor() const
{
    return m_pColorCombo->itemData(m_nLastColorIndex).value<QColor>();
}

int CFontDlg::AddCustomColor(const QColor& color)
{
    // One custom entry, just before "Custom...".
    const int customChoice = m_pColorCombo->count() - 1;
    if (m_pColorCombo->itemData(customChoice - 1, CustomColorRole).toBool()) {
        m_pColorCombo->setItemIcon(customChoice - 1, ColorSwatch(color));
        m_pColorCombo->setItemData(customChoice - 1, color);
        return customChoice - 1;
    }
    m_pColorCombo->insertItem(customChoice, ColorSwatch(color), QStringLiteral("Custom"), color);
    m_pColorCombo->setItemData(customChoice, true, CustomColorRole);
    return customChoice;
}

void CFontDlg::OnColorChosen(int index)
{
    if (m_pColorCombo->itemData(index).isValid()) {
        m_nLastColorIndex = index;
    } else {
        // "Custom...": the colour dialog, starting from the colour chosen so far.
        const QColor color = QColorDialog::getColor(GetCurrentColor(), this, QStringLiteral("Color"));
        if (color.isValid())
            m_nLastColorIndex = AddCustomColor(color);
        m_pColorCombo->setCurrentIndex(m_nLastColorIndex);
    }
    UpdateSample();
}

void CFontDlg::UpdateSample()
{
    m_pSample->setFont(GetCurrentFont());
    QPalette palette = m_pSample->palette();
    palette.setColor(QPalette::WindowText, GetCurrentColor());
    m_pSample->setPalette(palette);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QDialog>
#include <QFont>

class QCheckBox;
class QComboBox;
class QFontComboBox;
class QLabel;

// The Font command's dialog: the face, its style and size, underline and the text colour, with
// a sample of the choice. The view draws no strikeout, so none is offered.
class CFontDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CFontDlg(QWidget* parent = nullptr);

    // The font and colour the dialog opens with: those the view shows.
    void SetCurrentFont(const QFont& font);
    void SetCurrentColor(const QColor& color);
    QFont GetCurrentFont() const;
    QColor GetCurrentColor() const;

    // The colours offered by name, as the classic font dialog offers them.
    static const QList<QPair<QString, QColor>>& GetNamedColors();

private:
    void OnColorChosen(int index);
    void UpdateSample();
    int AddCustomColor(const QColor& color);

    QFontComboBox* m_pFamilyCombo;
    QComboBox* m_pStyleCombo;
    QComboBox* m_pSizeCombo;
    QCheckBox* m_pUnderlineCheck;
    QComboBox* m_pColorCombo;
    QLabel* m_pSample;
    int m_nLastColorIndex = 0;
};

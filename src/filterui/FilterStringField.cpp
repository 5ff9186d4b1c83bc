// SPDX-License-Identifier: GPL-3.0-or-later
#include "filterui/FilterStringField.h"

#include <algorithm>

#include <QLineEdit>

#include "filtering/FilterSettingsFile.h"
#include "filtering/TextCodec.h"
#include "regex/Regex.h"

namespace {

bool IsKeptOut(QChar c)
{
    return c == u'\r' || c == u'\n' || c == QChar(0x1A);
}

} // namespace

void KeepFilterStringSavable(QLineEdit* edit)
{
    edit->setMaxLength(static_cast<int>(MaxSavableFilterStringLength));
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit](const QString& text) {
        if (std::none_of(text.cbegin(), text.cend(), IsKeptOut))
            return;
        QString kept = text;
        qsizetype cursor = edit->cursorPosition();
        for (qsizetype i = kept.size(); i-- > 0;) {
            if (!IsKeptOut(kept.at(i)))
                continue;
            kept.remove(i, 1);
            if (i < cursor)
                --cursor;
        }
        edit->setText(kept); // emits textChanged again, with nothing left to remove
        edit->setCursorPosition(static_cast<int>(cursor));
    });
}

QString FilterExpressionError(const QString& text, bool bCaseSensitive)
{
    Regex regex;
    const std::int32_t code = regex.Parse(EncodeText(text.toStdU16String(), LocaleTextEncoding()), bCaseSensitive);
    return code == RegexErrorNone ? QString() : QString::fromUtf8(RegexErrorText(code));
}

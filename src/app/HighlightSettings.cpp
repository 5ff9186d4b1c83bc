// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/HighlightSettings.h"

#include <QSettings>

#include "app/NumberedSettings.h"

namespace {

const QString Group = QStringLiteral("Highlights");
const QString KeyPrefix = QStringLiteral("Rule");
constexpr int Count = static_cast<int>(MaxHighlightRules);

} // namespace

std::vector<HighlightRule> ReadHighlightSettings(QSettings& settings)
{
    std::vector<HighlightRule> rules;
    for (const QString& value : ReadNumberedValues(settings, Group, KeyPrefix, Count)) {
        HighlightRule rule;
        std::string message;
        if (ParseHighlightRule(value.toStdString(), rule, message))
            rules.push_back(std::move(rule));
    }
    return rules;
}

void WriteHighlightSettings(QSettings& settings, const std::vector<HighlightRule>& rules)
{
    QStringList values;
    for (const HighlightRule& rule : rules)
        values.append(QString::fromStdString(FormatHighlightRule(rule)));
    WriteNumberedValues(settings, Group, KeyPrefix, values, Count);
}

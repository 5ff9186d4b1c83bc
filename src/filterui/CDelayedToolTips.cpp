// SPDX-License-Identifier: GPL-3.0-or-later
#include "filterui/CDelayedToolTips.h"

#include <algorithm>

#include <QFontMetrics>
#include <QRect>
#include <QStyle>
#include <QTimer>
#include <QToolTip>
#include <QWidget>

using namespace Qt::Literals::StringLiterals;

CDelayedToolTips::CDelayedToolTips(bool bActive, QObject* parent)
    : QObject(parent), m_bActive(bActive), m_pTimer(new QTimer(this))
{
    m_pTimer->setObjectName(u"toolTipTimer"_s);
    m_pTimer->setSingleShot(true);
    connect(m_pTimer, &QTimer::timeout, this, &CDelayedToolTips::ShowPending);
}

QString CDelayedToolTips::Format(const QString& text, bool bBreakAnywhere)
{
    const QFontMetrics metrics(QToolTip::font());
    int nWidest = 0;
    for (const QString& line : text.split(u'\n'))
        nWidest = std::max(nWidest, metrics.horizontalAdvance(line));
    // Always rich text, so that a filter string holding markup shows as typed.
    if (nWidest <= MaxWidth)
        return u"<p style=\"white-space:pre\">"_s % text.toHtmlEscaped().replace(u'\n', u"<br>"_s) % u"</p>"_s;
    QString wrapped = text;
    if (bBreakAnywhere) {
        // A break opportunity after every character: an expression has few blanks to wrap at.
        QString spaced;
        spaced.reserve(wrapped.size() * 2);
        for (const QChar ch : std::as_const(wrapped)) {
            spaced.append(ch);
            if (!ch.isHighSurrogate())
                spaced.append(QChar(0x200B));
        }
        wrapped = spaced;
    }
    QString html = wrapped.toHtmlEscaped();
    html.replace(u'\n', u"<br>"_s);
    html.replace(u"  "_s, u" &nbsp;"_s);
    return u"<table width=\"%1\"><tr><td>"_s.arg(MaxWidth) % html % u"</td></tr></table>"_s;
}

void CDelayedToolTips::SetActive(bool bActive)
{
    m_bActive = bActive;
    if (!m_bActive) {
        CancelPending();
        QToolTip::hideText();
    }
}

void CDelayedToolTips::Request(QWidget* pWidget, const QPoint& globalPos, const QString& text, bool bBreakAnywhere)
{
    if (text.isEmpty()) {
        CancelPending();
        QToolTip::hideText();
        return;
    }
    if (!m_bActive)
        return;
    m_pWidget = pWidget;
    m_Pos = globalPos;
    m_strText = text;
    m_bBreakAnywhere = bBreakAnywhere;
    // The event comes once the mouse has rested for the style's delay; the rest of ours follows.
    // Moving on from a tip that shows brings the next one at once.
    const int nWakeUp = pWidget->style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay, nullptr, pWidget);
    m_pTimer->start(QToolTip::isVisible() ? 0 : std::max(0, DelayMs - nWakeUp));
}

void CDelayedToolTips::ShowPending()
{
    QWidget* pWidget = m_pWidget;
    if (!pWidget || !pWidget->isVisible() || !m_bActive)
        return;
    QToolTip::showText(m_Pos, Format(m_strText, m_bBreakAnywhere), pWidget, QRect(), DisplayMs);
}

void CDelayedToolTips::CancelPending()
{
    m_pTimer->stop();
    m_pWidget = nullptr;
}

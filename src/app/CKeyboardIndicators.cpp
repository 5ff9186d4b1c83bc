// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CKeyboardIndicators.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLabel>

#include <X11/XKBlib.h>
// Xlib's event names would hide Qt's.
#undef KeyPress
#undef KeyRelease

namespace {

// Lock keys can change while another program has the focus: look again now and then.
constexpr int PollPeriodMs = 500;

Display* X11Display()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}

bool NamedIndicatorOn(Display* display, const char* name)
{
    const Atom atom = XInternAtom(display, name, True);
    if (atom == None)
        return false;
    Bool on = False;
    if (!XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr))
        return false;
    return on;
}

} // namespace

CKeyboardIndicators::CKeyboardIndicators(QLabel* capsPane, QLabel* numPane, QLabel* scrollPane, QObject* parent)
    : QObject(parent), m_pCapsPane(capsPane), m_pNumPane(numPane), m_pScrollPane(scrollPane)
{
    if (!X11Display())
        return;
    m_PollTimer.setInterval(PollPeriodMs);
    connect(&m_PollTimer, &QTimer::timeout, this, &CKeyboardIndicators::Update);
    m_PollTimer.start();
    // A lock key typed into the program shows at once.
    qGuiApp->installEventFilter(this);
    Update();
}

std::optional<CKeyboardIndicators::LockStates> CKeyboardIndicators::ReadLockStates()
{
    Display* display = X11Display();
    if (!display)
        return std::nullopt;
    return LockStates{NamedIndicatorOn(display, "Caps Lock"), NamedIndicatorOn(display, "Num Lock"),
                      NamedIndicatorOn(display, "Scroll Lock")};
}

void CKeyboardIndicators::Update()
{
    const std::optional<LockStates> states = ReadLockStates();
    m_pCapsPane->setText(states && states->Caps ? QStringLiteral("CAP") : QString());
    m_pNumPane->setText(states && states->Num ? QStringLiteral("NUM") : QString());
    m_pScrollPane->setText(states && states->Scroll ? QStringLiteral("SCRL") : QString());
}

bool CKeyboardIndicators::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyRelease)
        QMetaObject::invokeMethod(this, &CKeyboardIndicators::Update, Qt::QueuedConnection);
    return QObject::eventFilter(watched, event);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include <QAbstractButton>
#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "app/COstrelApp.h"

namespace GuiTest {

inline bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

inline bool AppendFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Append) && file.write(bytes) == bytes.size();
}

inline QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What a modal box said, once it has been answered.
struct ModalAnswer
{
    bool Seen = false;
    QString Title;
    QString Text;
};

// Waits for the next modal widget, records it and closes it: a message box with the given button,
// any other dialog rejected. Call before the command that shows it.
inline std::shared_ptr<ModalAnswer> AnswerNextModal(QMessageBox::StandardButton button)
{
    auto answer = std::make_shared<ModalAnswer>();
    auto* poll = new QTimer(qApp);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer, button] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        answer->Seen = true;
        answer->Title = modal->windowTitle();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            answer->Text = box->text();
            box->button(button)->click();
        } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        }
        poll->stop();
        poll->deleteLater();
    });
    poll->start();
    return answer;
}

} // namespace GuiTest

// Runs a test class inside the program's own application object, with the settings in a
// temporary folder of their own.
#define OSTREL_GUI_TEST_MAIN(TestClass)                                                                               \
    int main(int argc, char** argv)                                                                                  \
    {                                                                                                                \
        QTemporaryDir configDir;                                                                                     \
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configDir.path());                         \
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, configDir.path());                            \
        QStandardPaths::setTestModeEnabled(true);                                                                    \
        COstrelApp app(argc, argv);                                                                                  \
        TestClass test;                                                                                              \
        return QTest::qExec(&test, argc, argv);                                                                      \
    }

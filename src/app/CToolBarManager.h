// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <map>

#include <QList>
#include <QObject>
#include <QPixmap>
#include <QString>

class QAction;
class QMainWindow;
class QMenu;
class QSettings;
class QToolBar;

// The main window's toolbars as the user customises them: the standard toolbar, up to ten
// user-defined toolbars, the buttons of each (commands by number, 0 for a separator), the text
// labels option, the customise button at the end of every bar and the images for user buttons.
// Everything is kept under Workspace/ToolBars.
class CToolBarManager : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxUserToolBars = 10;
    // The window numbers of the user-defined toolbars, 0xE828 to 0xE831.
    static constexpr int FirstUserToolBarId = 0xE828;
    // A user image file larger than this is not read.
    static constexpr qint64 MaxUserImagesFileSize = 819200;

    using CommandLookup = std::function<QAction*(int id)>;

    // The commands are found through the lookup; the customise button triggers customizeCommand.
    CToolBarManager(QMainWindow* window, CommandLookup lookup, QAction* customizeCommand);

    // The standard toolbar and the buttons Reset gives it back.
    void SetStandardToolBar(QToolBar* bar, const QList<int>& defaultButtons);
    QToolBar* GetStandardToolBar() const { return m_pStandardToolBar; }
    // The standard toolbar, then the user-defined ones in the order of their window numbers.
    QList<QToolBar*> GetToolBars() const;
    QList<QToolBar*> GetUserToolBars() const;
    bool IsUserToolBar(const QToolBar* bar) const;
    // The menu anew: every toolbar's show/hide action, then the customise command.
    void FillToolBarsMenu(QMenu* menu) const;
    // The window number of a toolbar: 0xE800 for the standard one, 0xE828 + n for user ones.
    int GetToolBarId(const QToolBar* bar) const;

    // A new, empty, shown user toolbar in the first free slot; null when all ten exist.
    QToolBar* CreateUserToolBar(const QString& name);
    // Renames any toolbar; an empty name is refused.
    bool RenameToolBar(QToolBar* bar, const QString& name);
    // Deletes a user-defined toolbar; the standard one cannot be deleted.
    bool DeleteUserToolBar(QToolBar* bar);
    // The standard toolbar gets its original buttons and name back; a user toolbar is emptied.
    void ResetToolBar(QToolBar* bar);

    // The buttons of a toolbar, by command number, 0 for a separator.
    QList<int> GetButtons(const QToolBar* bar) const;
    // Adds the command's button at the end of the bar; false for an unknown command or one the
    // bar shows already.
    bool AddButton(QToolBar* bar, int id);
    void AddSeparator(QToolBar* bar);
    // Removes the button at that position (separators count).
    bool RemoveButton(QToolBar* bar, int position);

    // Text labels under the buttons of every bar.
    bool GetTextLabels() const { return m_bTextLabels; }
    void SetTextLabels(bool on);

    // Reads "UserImages.png", else "UserImages.bmp", from the folder: a strip of images, 16
    // pixels wide each (as wide as high when higher). Missing or unreadable: no images, silently.
    int LoadUserImages(const QString& folder);
    int GetUserImageCount() const { return static_cast<int>(m_UserImages.size()); }
    // The commands that get a user image when they have none of their own, in this order.
    void SetUserImageCommands(const QList<int>& ids) { m_UserImageCommands = ids; }

    // User toolbars, buttons and options; call Load before the window's state is restored so
    // that the bars exist when their places are set.
    void Load(QSettings& settings);
    void Save(QSettings& settings) const;

Q_SIGNALS:
    void ToolBarsChanged();

private:
    QToolBar* CreateToolBar(const QString& name, const QString& objectName);
    void AddCustomizeButton(QToolBar* bar);
    void SetButtons(QToolBar* bar, const QList<int>& buttons);
    void GiveUserImage(QAction* command) const;

    QMainWindow* m_pWindow;
    CommandLookup m_CommandLookup;
    QAction* m_pCustomizeCommand;
    QToolBar* m_pStandardToolBar = nullptr;
    QString m_strStandardName;
    QList<int> m_DefaultButtons;
    std::map<int, QToolBar*> m_UserToolBars; // by slot 0 to 9
    std::map<const QToolBar*, QAction*> m_CustomizeButtons;
    bool m_bTextLabels = false;
    QList<QPixmap> m_UserImages;
    QList<int> m_UserImageCommands;
};

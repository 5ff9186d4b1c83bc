// SPDX-License-Identifier: GPL-3.0-or-later
#include "filterui/FilterFileDialogs.h"

#include <optional>

#include <QFile>
#include <QFileDialog>

#include "filtering/FilterSettings.h"
#include "filtering/FilterSettingsFile.h"
#include "filterui/FilterErrorBox.h"
#include "filterui/FilterFileEnd.h"

using namespace Qt::Literals::StringLiterals;

namespace {

// Asks for a filter settings file to load or save; empty when the user cancels.
QString AskForFilterFile(QWidget* pOwner, const QString& objectName, const QString& title, bool bSave)
{
    QFileDialog fileDialog(pOwner);
    fileDialog.setObjectName(objectName);
    fileDialog.setWindowTitle(title);
    fileDialog.setAcceptMode(bSave ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    fileDialog.setFileMode(bSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    fileDialog.setNameFilters({u"Filter Files (*.flt)"_s, u"All Files (*)"_s});
    fileDialog.setDefaultSuffix(u"flt"_s);
    if (fileDialog.exec() != QDialog::Accepted || fileDialog.selectedFiles().isEmpty())
        return QString();
    return fileDialog.selectedFiles().constFirst();
}

} // namespace

bool LoadFiltersFromChosenFile(QWidget* pOwner, FilterSettings& loaded)
{
    const QString path = AskForFilterFile(pOwner, u"loadFiltersDialog"_s, u"Load Filters"_s, false);
    if (path.isEmpty())
        return false;

    const FilterFileResult result = ReadFilterSettingsFile(QFile::encodeName(path).toStdString(), loaded);
    if (!result.Ok()) {
        if (result.Status == FilterFileStatus::IllegalSetting || result.Status == FilterFileStatus::IllegalFormat) {
            ShowFilterErrorMessage(pOwner, QString::fromStdString(result.Message), u"ERROR"_s);
        } else if (result.Status == FilterFileStatus::NoFilters) {
            // A file cut off inside a filter loads nothing: say where it ended.
            if (const std::optional<UnclosedFilter> end = FindUnclosedFilter(path))
                ShowFilterErrorMessage(pOwner, UnclosedFilterMessage(path, *end), u"ERROR"_s);
        }
        return false;
    }
    return true;
}

void SaveFiltersToChosenFile(QWidget* pOwner, const FilterSettings& settings)
{
    const QString path = AskForFilterFile(pOwner, u"saveFiltersDialog"_s, u"Save Filters"_s, true);
    if (path.isEmpty())
        return;

    const FilterFileResult result = WriteFilterSettingsFile(QFile::encodeName(path).toStdString(), settings);
    if (!result.Ok()) {
        // A save that did not happen must not look like one that did.
        const QString message = result.Message.empty() ? u"Error Saving Filter Settings to \"%1\""_s.arg(path)
                                                       : QString::fromStdString(result.Message);
        ShowFilterErrorMessage(pOwner, message, u"Save Filters Error"_s);
    }
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/FilterRun.h"

#include "filtering/FilterSettings.h"

FilterRun MakeFilterRun(const FilterSettings& settings, const std::string& path, TextEncoding encoding)
{
    FilterRun run;
    run.Path = path;
    run.ExcludeMatches = settings.GetExcludeMatches();
    run.Filters.reserve(static_cast<std::size_t>(settings.GetEnabledCount()));
    for (int i = 0; i < settings.GetCount(); ++i) {
        // A switched-off filter is not part of the run at all: the run's filter numbers, and the
        // colours that go with them, count only the filters that are on.
        if (!settings.GetEnabled(i))
            continue;
        RunFilter filter;
        filter.Pattern = EncodeText(settings.GetFilterString(i), encoding);
        filter.RegExp = settings.GetRegExp(i) != 0;
        filter.CaseSensitive = settings.GetCaseSensitive(i);
        filter.OutputBeforeMatch = settings.GetOutputBeforeMatch(i);
        filter.OutputAfterMatch = settings.GetOutputAfterMatch(i);
        run.Filters.push_back(std::move(filter));
    }
    return run;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "time/MergedFilesInput.h"

#include <cstring>

#include "time/TimedLogInput.h"

std::unique_ptr<TimedLogInput> OpenMergedLog(const std::string& path, std::string& message)
{
    const std::size_t slash = path.rfind('/');
    auto input = std::make_unique<TimedLogInput>(path, slash == std::string::npos ? path : path.substr(slash + 1));
    switch (input->Open()) {
    case TimedLogInput::OpenResult::Opened:
        return input;
    case TimedLogInput::OpenResult::CannotOpen:
        message = std::string{"Cannot read "}.append(path).append(": ").append(std::strerror(input->GetOpenError()));
        break;
    case TimedLogInput::OpenResult::NoTimes:
        message = std::string{"No times were recognised in "}.append(path).append(
            ": the lines of every file of a merge need times to be put in order");
        break;
    }
    return nullptr;
}

MergedFilesInput::MergedFilesInput(std::vector<std::unique_ptr<TimedLogInput>> inputs)
    : m_Reader(std::move(inputs)), m_Input(m_Reader, 0)
{}

std::unique_ptr<MergedFilesInput> MergedFilesInput::Open(const std::vector<std::string>& paths, std::string& message)
{
    std::vector<std::unique_ptr<TimedLogInput>> inputs;
    for (const std::string& path : paths) {
        std::unique_ptr<TimedLogInput> input = OpenMergedLog(path, message);
        if (!input)
            return nullptr;
        inputs.push_back(std::move(input));
    }
    return std::unique_ptr<MergedFilesInput>(new MergedFilesInput(std::move(inputs)));
}

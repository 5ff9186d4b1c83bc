// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>

// The editor's interface for filling a document that no view shows yet, from any one thread at a
// time; SCI_CREATELOADER hands one out. The editor library does not install the header that
// declares it, so it is declared here as the editor declares it: the name, the global namespace
// and the order of the functions are what the editor's own objects carry and must stay so.
// AddData returns an SC_STATUS_* code; ConvertToDocument ends the loading and gives the document
// (one reference, ours) for SCI_SETDOCPOINTER; Release throws the unfinished document away.
class ILoader
{
public:
    virtual int Release() = 0;
    virtual int AddData(const char* data, std::ptrdiff_t length) = 0;
    virtual void* ConvertToDocument() = 0;

protected:
    ~ILoader() = default;
};

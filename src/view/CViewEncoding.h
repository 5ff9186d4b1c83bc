// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

#include <QString>

#include "filtering/InputDecoder.h"
#include "filtering/TextEncodingDetector.h"
#include "filtering/TextTranscoding.h"

// The encoding a view reads its file in: the one the user chose for the document, or the one
// the file's first bytes tell. UTF-8 is shown byte for byte; any other encoding comes into the
// editor as UTF-8 and is written back in its own encoding.
class CViewEncoding
{
public:
    // Decides the encoding of the file about to be read from fd (its offset stays).
    void Resolve(int fd);
    const FileTextEncoding& Get() const { return m_Encoding; }
    // The text in the editor is not the file's bytes.
    bool IsTranscoded() const { return !m_Encoding.IsUtf8(); }
    // The user's choice (an iconv name), or empty for what the file tells.
    const std::string& GetChosen() const { return m_strChosen; }
    void SetChosen(const std::string& name) { m_strChosen = name; }
    // "UTF-16 LE": the encoding the view reads in, and "Auto (UTF-16 LE)" for what the file tells.
    QString ShownName() const;
    QString AutoText() const;
    // The decoder the file is loaded through; null for UTF-8.
    std::unique_ptr<InputDecoder> MakeDecoder() const;
    // What a filtering run decodes the file with: empty where it decides as always.
    std::string RunEncoding() const;
    // The editor's text as the file's bytes (UTF-8 stays as it is).
    EncodedText Encode(std::string_view utf8) const { return EncodeUtf8Text(utf8, m_Encoding); }
    // Why an encoded text failed, for the user.
    QString FailureText(const EncodedText& encoded) const;

private:
    std::string m_strChosen;
    FileTextEncoding m_Detected;
    FileTextEncoding m_Encoding;
    bool m_bResolved = false;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CViewEncoding.h"

#include <unistd.h>
#include <vector>

#include "filtering/IconvDecoder.h"

void CViewEncoding::Resolve(int fd)
{
    std::vector<unsigned char> sample(EncodingSampleSize);
    const ssize_t got = ::pread(fd, sample.data(), sample.size(), 0);
    const std::size_t size = got > 0 ? static_cast<std::size_t>(got) : 0;
    m_Detected = DetectTextEncoding(sample.data(), size);
    m_Encoding = m_strChosen.empty() ? m_Detected : ChosenTextEncoding(m_strChosen, sample.data(), size);
    m_bResolved = true;
}

QString CViewEncoding::ShownName() const
{
    return QString::fromStdString(ShownEncodingName(m_Encoding.Name));
}

QString CViewEncoding::AutoText() const
{
    return QStringLiteral("&Auto (%1)").arg(QString::fromStdString(ShownEncodingName(m_Detected.Name)));
}

std::unique_ptr<InputDecoder> CViewEncoding::MakeDecoder() const
{
    if (m_Encoding.IsUtf8())
        return nullptr;
    return IconvDecoder::Make(m_Encoding.Name, m_Encoding.UnitSize(), m_Encoding.BomSize);
}

std::string CViewEncoding::RunEncoding() const
{
    // UTF-8 told by the file is read as the engine always reads it (an archive, UTF-16 by itself).
    if (!m_bResolved || (m_strChosen.empty() && m_Encoding.IsUtf8()))
        return std::string();
    return m_Encoding.Name;
}

QString CViewEncoding::FailureText(const EncodedText& encoded) const
{
    if (encoded.FailedCharacter.empty())
        return QStringLiteral("The text cannot be written in %1.").arg(ShownName());
    return QStringLiteral("Line %1 holds \"%2\", which %3 cannot hold. The file was not saved; choose an "
                          "encoding that holds it in View > Encoding, or remove the character.")
        .arg(encoded.FailedLine + 1)
        .arg(QString::fromStdString(encoded.FailedCharacter), ShownName());
}

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// Code page 932 (Windows Shift_JIS) exactly as Windows converts it, including
// the odd bytes: the page reader counts characters of this decoding and the
// settings file is stored in it.
namespace Cp932 {

// Never fails: every byte sequence has a decoding (invalid pairs read "・").
QString decode(QByteArrayView bytes);

// Characters code page 932 cannot hold become "?".
QByteArray encode(QStringView text);

// The longest prefix of `bytes` of at most `maxBytes` bytes that does not end
// in the middle of a double-byte character.
qsizetype safePrefixLength(QByteArrayView bytes, qsizetype maxBytes);

} // namespace Cp932

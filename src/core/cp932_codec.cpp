#include "cp932_codec.h"

namespace Cp932 {
QString decode(QByteArrayView bytes) { return QString::fromLatin1(bytes); }
QByteArray encode(QStringView text) { return text.toLatin1(); }
qsizetype safePrefixLength(QByteArrayView bytes, qsizetype maxBytes) { return qMin(bytes.size(), maxBytes); }
} // namespace Cp932

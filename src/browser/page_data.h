#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <initializer_list>

// How today's Yahoo!オークション pages carry their data, read alike by the
// item page's reader and the list page's: the script framework's JSON and the
// service's ways of writing an instant.

// The instant, or an invalid one when it lies outside 2000-2099 in Japan time:
// the slots keep two-digit years meaning 20yy, and another century would come
// back as another year.
QDateTime inSlotCentury(const QDateTime &instant);

// "2026-08-02T23:03:33+09:00", "2026-08-02 23:03:33", with or without
// seconds, fraction or offset; a time without an offset is Japan time.
// Invalid for anything else, and outside the slots' century.
QDateTime serviceIsoTime(const QString &text);

// Seconds since the epoch, as a number or a text of one; invalid when it is
// neither, or outside the slots' century.
QDateTime serviceEpochTime(const QJsonValue &value);

// The page's __NEXT_DATA__ object; empty when it has none or it does not parse.
QJsonObject nextDataObject(QByteArrayView utf8Body);
// The page data's JSON read leniently: a byte that is no UTF-8 spoils its
// own character (U+FFFD), not the whole object as Qt's strict reader would.
QJsonObject parseJsonObject(QByteArrayView utf8Json);

// The value down a path of keys; undefined where one is missing.
QJsonValue jsonAt(QJsonValue node, std::initializer_list<QString> keys);

// A JSON string as it is, a number written without a fraction (ids come as
// either); empty otherwise.
QString jsonText(const QJsonValue &value);

#pragma once

#include <QString>

// Which service's mark a slot shows in the status list.
enum class ServiceMark { Yahoo, Bidders };

// The item's address decides where its host is one of the two services';
// otherwise (a local file, a host of neither) the listing time does, as the
// recognizer stores "N/A" for Bidders items alone. A Yahoo! item registered
// from a list has "N/A" as well until its page is read, and keeps its mark.
ServiceMark serviceMarkOf(const QString &address, const QString &listed);

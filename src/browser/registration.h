#pragma once

#include <QString>

class QObject;
struct Services;

// Puts the item now shown into timer slot n and arms it, or says why not.
class Registration
{
public:
    explicit Registration(Services &services);

    // `caption` is the browser window's caption and `url` the browser's
    // location, both taken at the moment of the click; `owner` owns the
    // message boxes.
    void registerSlot(int n, const QString &caption, const QString &url, QObject *owner);

private:
    Services &m_services;
};

#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

// The way a desktop brings an already running program forward: the program's
// desktop-file name on the session bus, with org.freedesktop.Application at
// the object path made of that name. Launchers, docks and `gapplication`
// call it; only the copy that holds the single-instance lock takes the name.
class DesktopActivation : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
public:
    explicit DesktopActivation(
        const QString &appId, QDBusConnection bus = QDBusConnection::sessionBus(), QObject *parent = nullptr);
    ~DesktopActivation() override;

    // On the bus under its name: false without a session bus, or with the
    // name taken by someone else.
    bool isOffered() const { return m_offered; }
    // "/io/github/larkvane/Larkvane" for "io.github.larkvane.Larkvane".
    static QString objectPath(const QString &appId);

public Q_SLOTS:
    Q_SCRIPTABLE void Activate(const QVariantMap &platformData);
    Q_SCRIPTABLE void Open(const QStringList &uris, const QVariantMap &platformData);
    Q_SCRIPTABLE void ActivateAction(
        const QString &name, const QVariantList &parameter, const QVariantMap &platformData);

Q_SIGNALS:
    void activated();
    // An http(s) or file address handed to the program.
    void openRequested(const QString &address);

private:
    QDBusConnection m_bus;
    QString m_name;
    bool m_offered = false;
};

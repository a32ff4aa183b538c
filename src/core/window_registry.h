#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

// Knows every window of the program by its name (frmWeb, frmMessage, ...):
// creates one when it is first needed, forgets it when it is destroyed, and
// closes lists of windows in a given order. Windows are QWidgets with
// Qt::WA_DeleteOnClose; the registry deals in QObject so that the logic
// libraries need no widget module.
class WindowRegistry : public QObject
{
    Q_OBJECT
public:
    // Creates the window, owned by `owner` when one is given (dialogs).
    using Factory = std::function<QObject *(QObject *owner)>;
    // Runs on every open request: show, raise, refill...
    using Opener = std::function<void(QObject *window)>;
    // For a window that is no widget (the browser window of another
    // process): how it closes (true once it has) and whether it is shown.
    struct Calls
    {
        std::function<bool(QObject *window)> close;
        std::function<bool(const QObject *window)> shown;
    };

    using QObject::QObject;

    void registerWindow(const QString &name, Factory factory, Opener opener = {}, Calls calls = {});

    // What open() does for a window registered without an opener of its own.
    // The widget side sets it (show, raise, activate); without one a window is
    // shown and raised only, as activating needs the widget module.
    void setDefaultOpener(Opener opener) { m_defaultOpener = std::move(opener); }

    // The window if it exists, else null. Never creates.
    QObject *find(const QString &name) const;
    template <class T> T *find(const QString &name) const { return qobject_cast<T *>(find(name)); }

    // The window, created (unseen) when it does not exist yet.
    QObject *ensure(const QString &name, QObject *owner = nullptr);

    // Create when needed, then run its opener (default: show and raise).
    QObject *open(const QString &name, QObject *owner = nullptr);

    // Exists and is visible.
    bool isOpen(const QString &name) const;

    // Close the named windows that are open, in the order given. Closing one
    // that is not open does nothing.
    void close(const QString &name);
    void closeInOrder(const QStringList &names);

Q_SIGNALS:
    void windowCreated(const QString &name, QObject *window);

private:
    struct Entry
    {
        Factory factory;
        Opener opener;
        Calls calls;
        QPointer<QObject> window;
    };
    QHash<QString, Entry> m_entries;
    Opener m_defaultOpener;
};

#include "window_registry.h"

#include <QMetaObject>
#include <QVariant>

void WindowRegistry::registerWindow(const QString &name, Factory factory, Opener opener, Calls calls)
{
    Entry &e = m_entries[name];
    e.factory = std::move(factory);
    e.opener = std::move(opener);
    e.calls = std::move(calls);
}

QObject *WindowRegistry::find(const QString &name) const
{
    auto it = m_entries.constFind(name);
    if (it == m_entries.constEnd())
        return nullptr;
    return it->window.data();
}

QObject *WindowRegistry::ensure(const QString &name, QObject *owner)
{
    auto it = m_entries.find(name);
    if (it == m_entries.end() || !it->factory)
        return nullptr;
    if (!it->window) {
        QObject *w = it->factory(owner);
        it = m_entries.find(name); // the factory may have registered others
        it->window = w;
        if (w) {
            if (w->objectName().isEmpty())
                w->setObjectName(name);
            Q_EMIT windowCreated(name, w);
        }
    }
    return it->window.data();
}

QObject *WindowRegistry::open(const QString &name, QObject *owner)
{
    QObject *w = ensure(name, owner);
    if (!w)
        return nullptr;
    Opener opener = m_entries.value(name).opener;
    if (!opener)
        opener = m_defaultOpener;
    if (opener) {
        opener(w);
    } else {
        // QWidget::activateWindow() is no slot, so it cannot be reached from
        // here; setDefaultOpener() is the way to activate.
        QMetaObject::invokeMethod(w, "show");
        QMetaObject::invokeMethod(w, "raise");
    }
    return find(name);
}

bool WindowRegistry::isOpen(const QString &name) const
{
    auto it = m_entries.constFind(name);
    if (it == m_entries.constEnd() || !it->window)
        return false;
    if (it->calls.shown)
        return it->calls.shown(it->window.data());
    return it->window->property("visible").toBool();
}

void WindowRegistry::close(const QString &name)
{
    auto it = m_entries.find(name);
    if (it == m_entries.end() || !it->window)
        return;
    QPointer<QObject> w = it->window;
    bool closed = false;
    if (it->calls.close)
        closed = it->calls.close(w.data());
    else
        QMetaObject::invokeMethod(w.data(), "close", Q_RETURN_ARG(bool, closed));
    // A window deletes itself later; from now on it counts as gone.
    it = m_entries.find(name);
    if (closed && it != m_entries.end() && it->window == w)
        it->window.clear();
}

void WindowRegistry::closeInOrder(const QStringList &names)
{
    for (const QString &name : names)
        close(name);
}

#pragma once

#include <QHash>
#include <QObject>
#include <QString>

// The settings of the running program as named text fields, as larkvane.ini
// holds them (Setting:: names them). The slots are not here: each has its
// timer, which owns it.
class StateStore : public QObject
{
    Q_OBJECT
public:
    explicit StateStore(QObject *parent = nullptr);

    // A field nothing has set holds its initial text (most are empty).
    QString value(const QString &name) const;
    // Keeps only the part before a NUL.
    void setValue(const QString &name, const QString &text);

    // Every field that has been set, as set (fields never set are absent).
    QHash<QString, QString> fields() const { return m_fields; }

Q_SIGNALS:
    // A field's text changed (setting the text it already has says nothing).
    void valueChanged(const QString &name, const QString &text);

private:
    QHash<QString, QString> m_fields;
};

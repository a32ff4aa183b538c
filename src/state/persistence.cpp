#include "persistence.h"
#include <QDir>
Persistence::Persistence(StateStore &store, QString bootDir) : m_store(store), m_bootDir(std::move(bootDir)) {}
QString Persistence::iniPath() const { return QDir(m_bootDir).filePath(QStringLiteral("larkvane.ini")); }
void Persistence::restore(const Clock &) {}
bool Persistence::save() { return false; }

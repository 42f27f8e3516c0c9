#pragma once

#include <QString>
#include <QTemporaryDir>

// Points every per-user location (settings, data, cache, home) at a fresh temporary
// folder for the life of the object, so tests never read or write the user's own
// profile. Construct it before the application object.
class TestProfile
{
public:
    TestProfile();

    QString root() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

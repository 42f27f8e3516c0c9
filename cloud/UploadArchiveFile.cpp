#include "cloud/UploadArchiveFile.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

UploadArchiveFile *UploadArchiveFile::create(QObject *parent)
{
    // Empty when the folder named by TMPDIR does not exist: never fall back to "/".
    const QString folder = QDir::tempPath();
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return nullptr;
    QString path;
    {
        // Only to reserve a unique name with owner-only permissions; the archive is
        // written by name afterwards, so this handle must be gone by then.
        QTemporaryFile reserve(folder + QStringLiteral("/upload-XXXXXX.zip"));
        reserve.setAutoRemove(false);
        if (!reserve.open())
            return nullptr;
        path = reserve.fileName();
    }
    return new UploadArchiveFile(path, parent);
}

UploadArchiveFile::UploadArchiveFile(const QString &path, QObject *parent)
    : QFile(path, parent)
{
}

UploadArchiveFile::~UploadArchiveFile()
{
    close();
    remove();
}

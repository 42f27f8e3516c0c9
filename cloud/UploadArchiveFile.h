#pragma once

#include <QFile>

// The archive of one exam upload on disk: a file of its own in the temporary folder
// (so two uploads never share one), readable by this user only, and removed when the
// object ends, that is when the upload that streams it is over.
class UploadArchiveFile : public QFile
{
    Q_OBJECT

public:
    // Reserves a new empty file; null when the temporary folder cannot take one.
    static UploadArchiveFile *create(QObject *parent);
    ~UploadArchiveFile() override;

private:
    UploadArchiveFile(const QString &path, QObject *parent);
};

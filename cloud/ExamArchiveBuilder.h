#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>

class QThread;

// Builds the zip archive of an exam upload: a standard zip with flat entries named by
// the bare file names (a later file with the same name replaces the earlier entry),
// the files streamed from disk. start() runs the work on a thread of its own so the
// interface keeps painting, and reports the outcome with finished() in the thread
// the builder lives in. Destroying the builder cancels a build still running and
// waits for its thread.
class ExamArchiveBuilder : public QObject
{
    Q_OBJECT

public:
    struct Result
    {
        bool ok = false;
        int entries = 0;     // entries in the archive
        int skipped = 0;     // files that did not exist
        QString error;       // why it failed
    };

    explicit ExamArchiveBuilder(QObject *parent = nullptr);
    ~ExamArchiveBuilder() override;

    // Starts building zipPath from files (full paths, in order). One build per builder.
    bool start(const QString &zipPath, const QStringList &files);
    bool isRunning() const;

    // The same work in the calling thread. A missing file is skipped; an archive that
    // cannot be written is a failure (and leaves no file at zipPath). cancel, when
    // given, is polled while the archive is written.
    static Result build(const QString &zipPath, const QStringList &files,
                        const std::atomic<bool> *cancel = nullptr);

signals:
    void finished(ExamArchiveBuilder::Result result);

private:
    std::unique_ptr<QThread> m_thread;
    std::shared_ptr<std::atomic<bool>> m_cancel;
};

Q_DECLARE_METATYPE(ExamArchiveBuilder::Result)

#include "cloud/ExamArchiveBuilder.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSaveFile>
#include <QThread>

#include <zip.h>

#include <cerrno>
#include <map>

namespace {

// A zip file with no entries: just the end-of-central-directory record. libzip
// removes an archive left empty instead of writing it.
constexpr char emptyZip[22] = {'P', 'K', 5, 6};

QString zipErrorText(zip_t *archive)
{
    return QString::fromUtf8(zip_strerror(archive));
}

QString zipErrorText(int code)
{
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const QString text = QString::fromUtf8(zip_error_strerror(&error));
    zip_error_fini(&error);
    return text;
}

int cancelCallback(zip_t *, void *state)
{
    const auto *cancel = static_cast<const std::atomic<bool> *>(state);
    return cancel && cancel->load() ? 1 : 0;
}

bool writeEmptyArchive(const QString &zipPath, QString *error)
{
    QSaveFile file(zipPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(emptyZip, sizeof emptyZip) != qint64(sizeof emptyZip)
        || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

// Pictures are already compressed: storing them saves time for nothing lost.
bool storedAsIs(const QString &name)
{
    const QString suffix = QFileInfo(name).suffix().toLower();
    return suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg") || suffix == QLatin1String("png");
}

}  // namespace

ExamArchiveBuilder::ExamArchiveBuilder(QObject *parent)
    : QObject(parent)
    , m_cancel(std::make_shared<std::atomic<bool>>(false))
{
    qRegisterMetaType<ExamArchiveBuilder::Result>();
}

ExamArchiveBuilder::~ExamArchiveBuilder()
{
    if (m_thread) {
        m_cancel->store(true);
        m_thread->wait();
    }
}

bool ExamArchiveBuilder::isRunning() const
{
    return m_thread && m_thread->isRunning();
}

bool ExamArchiveBuilder::start(const QString &zipPath, const QStringList &files)
{
    if (m_thread)
        return false;
    const QPointer<ExamArchiveBuilder> self(this);
    const std::shared_ptr<std::atomic<bool>> cancel = m_cancel;
    m_thread.reset(QThread::create([self, cancel, zipPath, files] {
        const Result result = build(zipPath, files, cancel.get());
        if (cancel->load())
            return;
        // Queued into the builder's thread; dropped there if the builder is gone.
        QMetaObject::invokeMethod(
            self.data(),
            [self, result] {
                if (self)
                    emit self->finished(result);
            },
            Qt::QueuedConnection);
    }));
    m_thread->setObjectName(QStringLiteral("exam archive"));
    m_thread->start(QThread::LowPriority);
    return true;
}

ExamArchiveBuilder::Result ExamArchiveBuilder::build(const QString &zipPath, const QStringList &files,
                                                     const std::atomic<bool> *cancel)
{
    Result result;
    // Flat entries: the last file of each bare name wins, in the order of first appearance.
    std::map<QString, int> slot;
    QStringList names;
    QStringList sources;
    for (const QString &path : files) {
        const QFileInfo info(path);
        if (path.isEmpty() || !info.isFile()) {
            ++result.skipped;
            continue;
        }
        const QString name = info.fileName();
        const auto found = slot.find(name);
        if (found == slot.end()) {
            slot.emplace(name, int(names.size()));
            names << name;
            sources << info.absoluteFilePath();
        } else {
            sources[found->second] = info.absoluteFilePath();
        }
    }

    // An older file at zipPath is overwritten, never added to (and keeps its permissions).
    if (names.isEmpty()) {
        result.ok = writeEmptyArchive(zipPath, &result.error);
        return result;
    }

    int code = 0;
    zip_t *archive = zip_open(QFile::encodeName(zipPath).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!archive) {
        result.error = zipErrorText(code);
        return result;
    }
    if (cancel)
        zip_register_cancel_callback_with_state(archive, &cancelCallback, nullptr,
                                                const_cast<std::atomic<bool> *>(cancel));

    for (int i = 0; i < names.size(); ++i) {
        zip_error_t error;
        zip_error_init(&error);
        // Read from disk only while the archive is written: nothing is held in memory.
        zip_source_t *source = zip_source_file_create(QFile::encodeName(sources.at(i)).constData(), 0, -1, &error);
        if (!source) {
            const int systemCode = zip_error_code_system(&error);
            const int zipCode = zip_error_code_zip(&error);
            zip_error_fini(&error);
            // Gone since it was listed: the same as a file that never existed.
            if (systemCode == ENOENT) {
                ++result.skipped;
                continue;
            }
            result.error = sources.at(i) + QStringLiteral(": ") + zipErrorText(zipCode);
            zip_discard(archive);
            QFile::remove(zipPath);
            return result;
        }
        zip_error_fini(&error);
        const zip_int64_t index =
            zip_file_add(archive, names.at(i).toUtf8().constData(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
        if (index < 0) {
            result.error = names.at(i) + QStringLiteral(": ") + zipErrorText(archive);
            zip_source_free(source);
            zip_discard(archive);
            QFile::remove(zipPath);
            return result;
        }
        if (storedAsIs(names.at(i)))
            zip_set_file_compression(archive, zip_uint64_t(index), ZIP_CM_STORE, 0);
        else
            zip_set_file_compression(archive, zip_uint64_t(index), ZIP_CM_DEFLATE, 1);
        ++result.entries;
    }

    if (result.entries == 0) {
        zip_discard(archive);
        result.ok = writeEmptyArchive(zipPath, &result.error);
        return result;
    }
    if (zip_close(archive) != 0) {
        result.error = zipErrorText(archive);
        result.entries = 0;
        zip_discard(archive);
        QFile::remove(zipPath);
        return result;
    }
    result.ok = true;
    return result;
}

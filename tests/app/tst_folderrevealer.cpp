#include "TestMain.h"

#include "tests/app/AppTestSupport.h"

#include "app/FolderRevealer.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>

// Stands in for the desktop's file manager on a private bus: records what it is asked
// to show, or answers with an error when told to.
class FakeFileManager : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QList<QStringList> shown;
    QStringList startupIds;
    bool fail = false;

public slots:
    void ShowItems(const QStringList &uris, const QString &startupId)
    {
        if (fail) {
            sendErrorReply(QDBusError::Failed, QStringLiteral("cannot show"));
            return;
        }
        shown.append(uris);
        startupIds.append(startupId);
    }
};

class FolderRevealerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const QString config = m_dir.filePath(QStringLiteral("bus.conf"));
        QFile file(config);
        QVERIFY(file.open(QIODevice::WriteOnly));
        // A bus of our own with no service activation, so no real file manager can start.
        file.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN\"\n"
                   " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                   "<busconfig><type>session</type><listen>unix:dir=" +
                   m_dir.path().toUtf8() +
                   "</listen><auth>EXTERNAL</auth>"
                   "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                   "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
        file.close();

        m_daemon.setProgram(QStringLiteral("dbus-daemon"));
        m_daemon.setArguments({QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                               QStringLiteral("--print-address=1")});
        m_daemon.start();
        if (!m_daemon.waitForStarted(5000))
            QSKIP("dbus-daemon is not available");
        const QDeadlineTimer deadline(10000);
        QByteArray address;
        while (!deadline.hasExpired() && !address.contains('\n')) {
            m_daemon.waitForReadyRead(100);
            address += m_daemon.readAllStandardOutput();
        }
        address = address.trimmed();
        QVERIFY2(!address.isEmpty(), "the bus did not report its address");
        // Read by the session bus connection at its first use, which comes after this.
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        m_address = QString::fromUtf8(address);
        QVERIFY(QDBusConnection::sessionBus().isConnected());

        QDBusConnection fm = QDBusConnection::connectToBus(m_address, QStringLiteral("fake-file-manager"));
        QVERIFY(fm.isConnected());
        QVERIFY(fm.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &m_fileManager,
                                  QDBusConnection::ExportAllSlots));
    }

    void cleanupTestCase()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-file-manager"));
        if (m_daemon.state() != QProcess::NotRunning) {
            m_daemon.terminate();
            if (!m_daemon.waitForFinished(5000)) {
                m_daemon.kill();
                m_daemon.waitForFinished(5000);
            }
        }
    }

    void init()
    {
        m_fileManager.shown.clear();
        m_fileManager.startupIds.clear();
        m_fileManager.fail = false;
    }

    void theFileManagerShowsTheFolder()
    {
        QVERIFY(registerFileManager(true));
        UrlCatcher catcher;
        const QString folder = m_dir.path() + QStringLiteral("/Vantrel/Calvestra/data/");
        FolderRevealer::reveal(folder);
        QVERIFY(QTest::qWaitFor([this] { return !m_fileManager.shown.isEmpty(); }, 5000));
        QCOMPARE(m_fileManager.shown.size(), 1);
        // The folder itself is the item selected, named without its trailing slash.
        QCOMPARE(m_fileManager.shown.first(),
                 QStringList{QUrl::fromLocalFile(m_dir.path() + QStringLiteral("/Vantrel/Calvestra/data")).toString()});
        QCOMPARE(m_fileManager.startupIds.first(), QString());
        QTest::qWait(200);
        QVERIFY(catcher.urls.isEmpty());
    }

    void withoutAFileManagerTheFolderIsOpened()
    {
        QVERIFY(registerFileManager(false));
        UrlCatcher catcher;
        const QString folder = m_dir.path() + QStringLiteral("/a folder/data/");
        FolderRevealer::reveal(folder);
        QVERIFY(QTest::qWaitFor([&] { return !catcher.urls.isEmpty(); }, 5000));
        QCOMPARE(catcher.urls, QList<QUrl>{QUrl::fromLocalFile(m_dir.path() + QStringLiteral("/a folder/data"))});
        QVERIFY(m_fileManager.shown.isEmpty());
    }

    void aFailingFileManagerFallsBackToo()
    {
        QVERIFY(registerFileManager(true));
        m_fileManager.fail = true;
        UrlCatcher catcher;
        FolderRevealer::reveal(m_dir.path() + QStringLiteral("/data/"));
        QVERIFY(QTest::qWaitFor([&] { return !catcher.urls.isEmpty(); }, 5000));
        QCOMPARE(catcher.urls.size(), 1);
        QCOMPARE(catcher.urls.first().toLocalFile(), m_dir.path() + QStringLiteral("/data"));
    }

private:
    bool registerFileManager(bool on)
    {
        QDBusConnection fm = QDBusConnection(QStringLiteral("fake-file-manager"));
        const QString name = QStringLiteral("org.freedesktop.FileManager1");
        const bool ok = on ? fm.registerService(name) : (fm.unregisterService(name) || true);
        // Wait until the bus itself agrees, so the next call is routed accordingly.
        return ok && QTest::qWaitFor(
                         [&] { return QDBusConnection::sessionBus().interface()->isServiceRegistered(name).value() == on; },
                         5000);
    }

    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
    FakeFileManager m_fileManager;
};

CALVESTRA_TEST_MAIN(FolderRevealerTest)
#include "tst_folderrevealer.moc"

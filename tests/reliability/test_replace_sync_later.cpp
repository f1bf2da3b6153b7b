// Replacing a file without waiting for the disk (the squelch list's save):
// the new bytes are in place when the call returns, the mode is narrowed as
// for every private file, a link stays a link, and a failure leaves the old
// file and no stray temporary behind.
#include "base/errors.h"
#include "base/files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

namespace {
QByteArray read(const QString &name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
void write(const QString &name, const QByteArray &bytes, QFile::Permissions mode)
{
    QFile f(name);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    QVERIFY(f.setPermissions(mode));
}
} // namespace

class TestReplaceSyncLater : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void replacesInPlaceAndNarrows()
    {
        QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("brx.conf"));
        QStringList late;
        const auto onLate = [&late](const QString &why) { late << why; };
        replacePrivateFileSyncLater(name, "CHATfirst\r\n", onLate);
        QCOMPARE(read(name), QByteArray("CHATfirst\r\n"));
        // Owner bits as Qt names them for the user running the test.
        QCOMPARE(QFileInfo(name).permissions() & 0x0fff, QFile::ReadUser | QFile::WriteUser);
        // A looser old file is narrowed; a stricter one stays as strict.
        write(name, "old",
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser |
                  QFile::ReadOther | QFile::ReadGroup);
        replacePrivateFileSyncLater(name, "two", onLate);
        QCOMPARE(read(name), QByteArray("two"));
        QVERIFY(!(QFileInfo(name).permissions() & (QFile::ReadOther | QFile::ReadGroup)));
        QVERIFY(QFile::setPermissions(name, QFile::ReadOwner | QFile::ReadUser));
        replacePrivateFileSyncLater(name, "three", onLate);
        QCOMPARE(read(name), QByteArray("three"));
        QVERIFY(!(QFileInfo(name).permissions() & QFile::WriteOwner));
        waitForLaterSyncs();
        QVERIFY2(late.isEmpty(), qPrintable(late.join(QLatin1Char('\n'))));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"brx.conf"});
    }

    void linkStaysALink()
    {
        QTemporaryDir dir;
        const QString real = dir.filePath(QStringLiteral("elsewhere.conf"));
        const QString link = dir.filePath(QStringLiteral("brx.conf"));
        write(real, "old", QFile::ReadOwner | QFile::WriteOwner);
        QVERIFY(QFile::link(real, link));
        replacePrivateFileSyncLater(link, "new", nullptr);
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(read(real), QByteArray("new"));
        waitForLaterSyncs();
    }

    // A directory in the way and a folder that cannot be written: an error
    // at once, the old state kept, nothing left behind.
    void failuresRaiseAtOnce()
    {
        QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("brx.conf"));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("brx.conf")));
        QVERIFY_THROWS_EXCEPTION(TInOutError, replacePrivateFileSyncLater(name, "x", nullptr));
        QVERIFY(QFileInfo(name).isDir());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
        QVERIFY(QDir(dir.path()).rmdir(QStringLiteral("brx.conf")));
        if (::geteuid() != 0) { // the super-user writes anywhere
            write(name, "kept", QFile::ReadOwner | QFile::WriteOwner);
            QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
            QVERIFY_THROWS_EXCEPTION(TInOutError,
                                     replacePrivateFileSyncLater(name, "lost", nullptr));
            QVERIFY(QFile::setPermissions(dir.path(),
                                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
            QCOMPARE(read(name), QByteArray("kept"));
        }
    }
};

QTEST_GUILESS_MAIN(TestReplaceSyncLater)
#include "test_replace_sync_later.moc"

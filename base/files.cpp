#include "base/files.h"
#include "base/version.h"

#include "base/clock.h"
#include "base/errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QThreadPool>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class FileHandle {
public:
    explicit FileHandle(int fd) : m_fd(fd) {}
    ~FileHandle()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int fd() const { return m_fd; }
    // Closes now so that a failing close is reported.
    void close()
    {
        const int fd = m_fd;
        m_fd = -1;
        if (::close(fd) != 0)
            throw TInOutError::fromErrno(errno);
    }

private:
    int m_fd;
};

void writeAll(int fd, const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw TInOutError::fromErrno(errno);
        }
        p += n;
        left -= n;
    }
}

} // namespace

void appendLogLine(const QString &fileName, const QString &kind, const QString &line)
{
    const QByteArray path = QFile::encodeName(fileName);
    QByteArray bytes;
    int fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            const QDateTime now = currentDateTime();
            bytes = (kind + QStringLiteral(" logfile created by Tressel " TRESSEL_VERSION " at ") +
                     longTimeText(now.time()) + QStringLiteral(" on ") + shortDateText(now.date()) +
                     QStringLiteral(".\r\n\r\n"))
                        .toUtf8(); // the client's own text; the lines below are bytes
        }
    }
    if (fd < 0)
        throw TInOutError::fromErrno(errno);
    FileHandle file(fd);
    bytes += line.toLatin1();
    bytes += "\r\n";
    writeAll(file.fd(), bytes);
    file.close();
}

TAppendFile::~TAppendFile() { close(); }

void TAppendFile::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void TAppendFile::append(const QByteArray &bytes)
{
    const long long nowMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now().time_since_epoch())
                                .count();
    if (m_fd >= 0 && nowMs - m_checkedMs >= 1000) {
        m_checkedMs = nowMs;
        struct stat st {};
        if (::fstat(m_fd, &st) != 0 || st.st_nlink == 0)
            close(); // gone from the folder: start a new file
    }
    if (m_fd < 0) {
        m_fd = ::open(QFile::encodeName(m_name).constData(),
                      O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, ownerOnlyMode);
        if (m_fd < 0)
            throw TInOutError::fromErrno(errno);
        m_checkedMs = nowMs;
    }
    try {
        writeAll(m_fd, bytes);
    } catch (...) {
        close();
        throw;
    }
}

namespace {

// mode < 0: the file keeps what QSaveFile gives it (the old file's mode, or
// the umask's for a new one).
void replaceWithMode(const QString &fileName, const QByteArray &bytes, int mode)
{
    QSaveFile file(fileName);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        throw TInOutError::fromErrno(errno ? errno : EACCES);
    // Narrowed before the first byte goes in, so the text is never readable
    // by others, not even in the temporary file.
    if (mode >= 0 && ::fchmod(file.handle(), mode_t(mode)) != 0) {
        const int err = errno;
        file.cancelWriting();
        throw TInOutError::fromErrno(err);
    }
    errno = 0;
    if (file.write(bytes) != bytes.size()) {
        const int err = errno ? errno : EIO;
        file.cancelWriting();
        throw TInOutError::fromErrno(err);
    }
    // QSaveFile buffers: a write that fails at the flush must not be
    // committed over the old file.
    errno = 0;
    if (!file.flush() || file.error() != QFileDevice::NoError) {
        const int err = errno ? errno : EIO;
        file.cancelWriting();
        throw TInOutError::fromErrno(err);
    }
    errno = 0;
    if (!file.commit())
        throw TInOutError::fromErrno(errno ? errno : EIO);
}

} // namespace

void replaceFile(const QString &fileName, const QByteArray &bytes)
{
    replaceWithMode(fileName, bytes, -1);
}

int fileMode(const QString &fileName)
{
    struct stat st {};
    if (::stat(QFile::encodeName(fileName).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 07777);
}

void replacePrivateFile(const QString &fileName, const QByteArray &bytes, unsigned mostAllowed)
{
    unsigned mode = mostAllowed & 0777;
    const int old = fileMode(fileName);
    if (old >= 0)
        mode &= unsigned(old);
    replaceWithMode(fileName, bytes, int(mode));
}

namespace {
QThreadPool &syncPool()
{
    // One thread: the syncs of one file go in the order of its saves.
    static QThreadPool *pool = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(1);
        p->setExpiryTimeout(5000);
        return p;
    }();
    return *pool;
}
} // namespace

void replacePrivateFileSyncLater(const QString &fileName, const QByteArray &bytes,
                                 const std::function<void(const QString &why)> &lateFailure,
                                 unsigned mostAllowed)
{
    unsigned mode = mostAllowed & 0777;
    const int old = fileMode(fileName);
    if (old >= 0)
        mode &= unsigned(old);
    // A symbolic link stays a link: its target is what is replaced.
    QString target = fileName;
    const QFileInfo info(fileName);
    if (info.isSymLink())
        target = info.symLinkTarget();
    const QString folder = QFileInfo(target).absolutePath();
    QByteArray temp = QFile::encodeName(target) + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        throw TInOutError::fromErrno(errno);
    FileHandle file(fd);
    const auto fail = [&](int err) {
        ::unlink(temp.constData());
        throw TInOutError::fromErrno(err);
    };
    // Narrowed before the first byte goes in, as replacePrivateFile does.
    if (::fchmod(fd, mode_t(mode)) != 0)
        fail(errno);
    try {
        writeAll(fd, bytes);
    } catch (...) {
        ::unlink(temp.constData());
        throw;
    }
    if (::rename(temp.constData(), QFile::encodeName(target).constData()) != 0)
        fail(errno);
    // The file keeps its descriptor for the thread, which closes it.
    const int kept = ::dup(fd);
    file.close();
    if (kept < 0)
        return; // in place all the same; the system writes it in its own time
    const QByteArray dir = QFile::encodeName(folder);
    const QString name = fileName;
    syncPool().start([kept, dir, name, lateFailure] {
        int err = 0;
        if (::fdatasync(kept) != 0)
            err = errno;
        ::close(kept);
        // The new name in its folder, too.
        const int dirFd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dirFd >= 0) {
            if (::fsync(dirFd) != 0 && !err && errno != EINVAL)
                err = errno;
            ::close(dirFd);
        }
        if (err && lateFailure)
            lateFailure(QStringLiteral("%1 may not be on the disk: %2")
                            .arg(name, TInOutError::fromErrno(err).text()));
    });
}

void waitForLaterSyncs() { syncPool().waitForDone(); }

QByteArray readWholeFile(const QString &fileName)
{
    const QByteArray path = QFile::encodeName(fileName);
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw TInOutError::fromErrno(errno);
    QByteArray data;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            ::close(fd);
            throw TInOutError::fromErrno(err);
        }
        if (n == 0)
            break;
        data.append(buffer, n);
    }
    ::close(fd);
    return data;
}

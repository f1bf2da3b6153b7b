#pragma once
// Log files are opened, written and closed for every line, so each is
// complete on disk after every line.
#include <QString>
#include <functional>
#include <utility>

// Appends line + CR LF to the file. A file that does not exist yet is
// created with the header "<kind> logfile created by Tressel 1.5 at <time>
// on <date>." and an empty line. Failures raise TInOutError.
void appendLogLine(const QString &fileName, const QString &kind, const QString &line);

// The whole file as it is on disk. Failures (a directory in its place
// among them) raise TInOutError.
QByteArray readWholeFile(const QString &fileName);

// Writes text to fileName, replacing it whole and atomically: a failure
// leaves any previous file as it was. Failures raise TInOutError.
void replaceFile(const QString &fileName, const QByteArray &bytes);

// Read and write for the owner alone: tressel.conf holds the password.
constexpr unsigned ownerOnlyMode = 0600;

// As replaceFile, for a file others must not read: the new file allows no
// more than mostAllowed, and no more than the file it replaces allowed (a
// user's stricter mode stays; a looser one is narrowed, never widened).
void replacePrivateFile(const QString &fileName, const QByteArray &bytes,
                        unsigned mostAllowed = ownerOnlyMode);

// As replacePrivateFile, without waiting for the disk: when it returns the
// new file is in place (a failure to write it has been raised, and the old
// file is as it was), and a thread of its own waits for the disk to hold it.
// A failure found there (the disk gave up, or the space ran out after all)
// goes to lateFailure, called on that thread. For a file saved at every
// change (the squelch list), where waiting for the disk each time would
// hold up the window for tens of milliseconds on a slow disk.
void replacePrivateFileSyncLater(const QString &fileName, const QByteArray &bytes,
                                 const std::function<void(const QString &why)> &lateFailure,
                                 unsigned mostAllowed = ownerOnlyMode);
// Waits until every sync of replacePrivateFileSyncLater started so far is done.
void waitForLaterSyncs();

// A file appended to often (the moderation journal): held open between
// appends, each append one write that is on disk (in the system's cache)
// when it returns. Created readable and writable by the owner alone. When
// the file is deleted meanwhile, an append a second later or more makes a
// new one (looking on every append would cost a flood dearly). Failures
// raise TInOutError and close the file; the next append opens it again.
class TAppendFile {
public:
    explicit TAppendFile(QString fileName) : m_name(std::move(fileName)) {}
    ~TAppendFile();
    TAppendFile(const TAppendFile &) = delete;
    TAppendFile &operator=(const TAppendFile &) = delete;
    void append(const QByteArray &bytes);
    void close();

private:
    QString m_name;
    int m_fd = -1;
    long long m_checkedMs = 0; // when the open file was last looked at (steady clock)
};

// The permission bits of an existing file (symbolic links followed), or -1.
int fileMode(const QString &fileName);

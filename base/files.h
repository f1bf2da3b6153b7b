#pragma once
// Log files are opened, written and closed for every line, so each is
// complete on disk after every line.
#include <QString>

// Appends line + CR LF to the file. A file that does not exist yet is
// created with the header "<kind> logfile created by Tressel 1.5 at <time>
// on <date>." and an empty line. Failures raise TInOutError.
void appendLogLine(const QString &fileName, const QString &kind, const QString &line);

// Appends bytes to the file in one write, creating it readable and
// writable by the owner alone when it does not exist. Failures raise
// TInOutError.
void appendPrivateFile(const QString &fileName, const QByteArray &bytes);

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

// The permission bits of an existing file (symbolic links followed), or -1.
int fileMode(const QString &fileName);

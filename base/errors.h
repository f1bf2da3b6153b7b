#pragma once
// The errors that file and conversion failures raise. Each carries the exact
// text the user is shown; the one guard in base/guard.h turns them into a box.
#include <QString>
#include <exception>

class TError : public std::exception {
public:
    explicit TError(QString text) : m_text(std::move(text)), m_bytes(m_text.toLocal8Bit()) {}
    const QString &text() const { return m_text; }
    const char *what() const noexcept override { return m_bytes.constData(); }

private:
    QString m_text;
    QByteArray m_bytes;
};

// A file could not be opened, read, written or closed.
class TInOutError : public TError {
public:
    TInOutError(QString text, int code) : TError(std::move(text)), m_code(code) {}
    int code() const { return m_code; }

    // The runtime's wording for a system error number: "File not found",
    // "File access denied", "Disk full" or "I/O error %d".
    static TInOutError fromErrno(int err);

private:
    int m_code;
};

// A text that should have been an integer was not.
class TConvertError : public TError {
public:
    using TError::TError;
};

// Decimal integer with optional sign and leading blanks; anything else
// raises "'%s' is not a valid integer value".
int strToInt(const QString &value);
// The same rule without raising: returns false when the text is no integer.
bool tryStrToInt(const QString &value, int &result);

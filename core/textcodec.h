#pragma once
// Bytes and characters. Inside the client every byte string (the wire,
// the files, the settings) is held one byte per QChar, as Latin-1, so that
// lengths and comparisons are byte-exact. Only where a person reads or
// types does text change form: bytes that are valid UTF-8 are read as
// UTF-8, anything else as Windows-1252, and typed text is encoded once, in
// the encoding the user chose, into such a byte string.
#include <QString>

namespace TText {

enum class Encoding { Utf8, Windows1252 };

// True when every char of bytes is below 0x100 and the bytes they stand
// for are well-formed UTF-8 (no overlong forms, no surrogates, nothing
// above U+10FFFF). Pure ASCII is valid UTF-8.
bool isUtf8(const QString &bytes);

// The bytes of the well-formed UTF-8 character that begins at i of a byte
// string (1 for ASCII, up to 4), or 0 when none begins there.
int utf8Length(const QString &bytes, qsizetype i);

// The text a person reads for a byte string.
QString decode(const QString &bytes);
// The same, for bytes in a QByteArray.
QString decode(const QByteArray &bytes);

// The Windows-1252 character for one byte (the five bytes that code page
// leaves undefined stand for the control characters of the same value).
QChar windows1252(uchar byte);

// Typed text as the byte string the encoding gives it. Returns false, and
// sets *unencodable to the first character the encoding cannot hold, when
// there is one; bytes is then left unchanged.
bool encode(const QString &text, Encoding encoding, QString &bytes, QString *unencodable = nullptr);

// The byte string as a QByteArray (one byte per char), and back.
QByteArray toBytes(const QString &bytes);
QString fromBytes(const QByteArray &bytes);

} // namespace TText

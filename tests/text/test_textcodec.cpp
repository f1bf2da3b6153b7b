// Bytes and characters at the edges: what a person reads for the bytes the
// server sends, and the bytes typed text becomes.
#include "core/textcodec.h"
#include "support/datarows.h"

#include <QRandomGenerator>
#include <QtTest>

using TText::Encoding;

namespace {
QString bytes(const char *b) { return QString::fromLatin1(b); }
} // namespace

class TestTextCodec : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void decode_data()
    {
        columns<QString, QString>("in", "shown");
        QTest::newRow("ascii") << bytes("hello") << QStringLiteral("hello");
        QTest::newRow("utf-8") << bytes("h\xc3\xa9llo w\xc3\xb6rld \xe2\x82\xac \xd0\xbf\xd1\x80")
                               << QStringLiteral("h\u00e9llo w\u00f6rld \u20ac \u043f\u0440");
        QTest::newRow("latin-1 e acute") << bytes("caf\xe9") << QStringLiteral("caf\u00e9");
        QTest::newRow("1252 euro and quotes")
            << bytes("\x80 \x93q\x94") << QStringLiteral("\u20ac \u201cq\u201d");
        QTest::newRow("1252 undefined byte") << bytes("a\x81") << QStringLiteral("a\u0081");
        QTest::newRow("emoji") << bytes("\xf0\x9f\x98\x80") << QStringLiteral("\U0001F600");
        QTest::newRow("cut utf-8 is 1252") << bytes("\xe2\x82") << QStringLiteral("\u00e2\u201a");
        QTest::newRow("overlong is 1252") << bytes("\xc0\xaf") << QStringLiteral("\u00c0\u00af");
        QTest::newRow("surrogate is 1252")
            << bytes("\xed\xa0\x80") << QStringLiteral("\u00ed\u00a0\u20ac");
        QTest::newRow("above U+10FFFF is 1252")
            << bytes("\xf4\x90\x80\x80") << QStringLiteral("\u00f4\u0090\u20ac\u20ac");
        QTest::newRow("empty") << QString() << QString();
    }
    void decode()
    {
        QFETCH(QString, in);
        QFETCH(QString, shown);
        QCOMPARE(TText::decode(in), shown);
        QCOMPARE(TText::decode(TText::toBytes(in)), shown);
    }

    // Every byte string Qt's own decoder reads without a replacement is one
    // we call UTF-8, and the other way round (random strings, many of them
    // near-UTF-8).
    void utf8AgreesWithQt()
    {
        QRandomGenerator rng(20261208);
        const uchar pieces[] = {0x41, 0x80, 0xBF, 0xC2, 0xDF, 0xE0, 0xA0, 0xED, 0x9F,
                                0xEF, 0xF0, 0x90, 0xF4, 0x8F, 0xF5, 0xC0, 0xFF, 0x00};
        for (int round = 0; round < 20000; ++round) {
            QByteArray b;
            const int n = int(rng.bounded(1, 7));
            for (int i = 0; i < n; ++i)
                b.append(char(rng.bounded(2) ? pieces[rng.bounded(int(sizeof pieces))]
                                             : uchar(rng.bounded(256))));
            QStringDecoder strict(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            const QString viaQt = strict.decode(b);
            const bool qtValid = !strict.hasError();
            QVERIFY2(TText::isUtf8(TText::fromBytes(b)) == qtValid, b.toHex().constData());
        }
    }

    void encode_data()
    {
        // result: the bytes, or the character refused
        columns<QString, int, bool, QString>("typed", "encoding", "ok", "result");
        const int utf8 = int(Encoding::Utf8), cp = int(Encoding::Windows1252);
        QTest::newRow("ascii utf-8") << QStringLiteral("hi") << utf8 << true << bytes("hi");
        QTest::newRow("cafe euro utf-8") << QStringLiteral("caf\u00e9 \u20ac") << utf8 << true
                                         << bytes("caf\xc3\xa9 \xe2\x82\xac");
        QTest::newRow("cafe euro 1252")
            << QStringLiteral("caf\u00e9 \u20ac") << cp << true << bytes("caf\xe9 \x80");
        QTest::newRow("cyrillic refused in 1252")
            << QStringLiteral("ok \u043f") << cp << false << QStringLiteral("\u043f");
        QTest::newRow("emoji refused in 1252 as one character")
            << QStringLiteral("\U0001F600") << cp << false << QStringLiteral("\U0001F600");
        QTest::newRow("emoji utf-8")
            << QStringLiteral("\U0001F600") << utf8 << true << bytes("\xf0\x9f\x98\x80");
        QTest::newRow("lone surrogate refused")
            << QString(QChar(0xD800)) << utf8 << false << QString(QChar(0xD800));
    }
    void encode()
    {
        QFETCH(QString, typed);
        QFETCH(int, encoding);
        QFETCH(bool, ok);
        QFETCH(QString, result);
        QString out = QStringLiteral("untouched");
        QString bad;
        QCOMPARE(TText::encode(typed, Encoding(encoding), out, &bad), ok);
        if (ok) {
            QCOMPARE(out, result);
            QCOMPARE(TText::decode(out), typed); // what was typed is what is shown
        } else {
            QCOMPARE(bad, result);
            QCOMPARE(out, QStringLiteral("untouched"));
        }
    }

    // Every Windows-1252 character encodes to its byte and back.
    void windows1252RoundTrip()
    {
        for (int b = 0; b < 256; ++b) {
            const QString text(TText::windows1252(uchar(b)));
            QString out;
            QVERIFY(TText::encode(text, Encoding::Windows1252, out));
            QCOMPARE(out, QString(QChar(char16_t(b))));
        }
    }
};

QTEST_MAIN(TestTextCodec)
#include "test_textcodec.moc"

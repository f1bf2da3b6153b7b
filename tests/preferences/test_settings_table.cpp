// The settings table: what the reader's key lookup and the controls' names
// depend on. The bytes read and written are tested in test_options_config.
#include "preferences/settingstable.h"

#include <QSet>
#include <QtTest>

class TestSettingsTable : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void keysAreUniqueInTheirFile()
    {
        // The reader looks a line up by its key: a second entry with the
        // same key would never be read.
        QSet<QString> conf, ini;
        for (const TSettings::Setting &s : TSettings::all()) {
            const QString key =
                s.file == TSettings::File::Ini
                    ? QLatin1String(s.section) + QLatin1Char('/') + QLatin1String(s.key)
                    : QLatin1String(s.key);
            QSet<QString> &seen = s.file == TSettings::File::Ini ? ini : conf;
            QVERIFY2(!seen.contains(key), qPrintable(key));
            seen.insert(key);
        }
        QVERIFY(conf.contains(QStringLiteral("username")));
        QVERIFY(ini.contains(QStringLiteral("quota/units")));
    }

    void sectionsAreNotSplit()
    {
        // The writer starts a section where the table's section changes, so
        // a section's entries must stand together or it is written twice.
        QSet<QString> closed;
        QString current;
        for (const TSettings::Setting &s : TSettings::all()) {
            const QString section = QLatin1String(s.section);
            if (section == current)
                continue;
            QVERIFY2(!closed.contains(section), qPrintable(section));
            if (!current.isEmpty())
                closed.insert(current);
            current = section;
        }
    }

    void everyControlAnswersToItsName()
    {
        Toptions o;
        for (const TSettings::Setting &s : TSettings::all()) {
            if (!s.name)
                continue; // a pane's font
            QObject *found = o.findChild<QObject *>(QLatin1String(s.name));
            QVERIFY2(found, s.name);
            std::visit(
                [&](auto control) {
                    if constexpr (!std::is_same_v<decltype(control), TSettings::PaneFontPart>)
                        QCOMPARE(found, static_cast<QObject *>(o.*control));
                },
                s.control);
        }
    }

    void startValuesAreSet()
    {
        Toptions o;
        QCOMPARE(o.AsciiPercentage->value(), 40);
        QCOMPARE(o.ucPercentage->value(), 60);
        QCOMPARE(o.label_colour->selectedName(), QStringLiteral("Navy"));
        QVERIFY(o.ai_users->isChecked());
        QCOMPARE(o.autoAction->currentIndex(), -1);
        QCOMPARE(o.quotaMargin->value(), 500);
        QCOMPARE(o.outgoingEncoding->currentText(), QStringLiteral("UTF-8"));
        QCOMPARE(o.serverEdit()->text(), QStringLiteral("useast.battle.net"));
    }
};

QTEST_MAIN(TestSettingsTable)
#include "test_settings_table.moc"

#pragma once
// The program's settings, as values: one store, made from the settings
// table (settingsdefs.h), which the session, the rules, the window and the
// preferences dialog all read. The dialog writes every change of its
// controls into it at once, so a change is in force before OK (and stays
// after Cancel); whoever else changes a setting (the away command, the
// safelist menu) sets it here and the dialog's control follows.
#include "core/settingsdefs.h"
#include "core/textcodec.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <vector>

class TSettingsStore : public QObject {
    Q_OBJECT
public:
    // Every setting at its start value.
    explicit TSettingsStore(QObject *parent = nullptr);

    // Flags.
    bool flag(TSetting::Id id) const;
    // Numbers (within their range), the anti-idle choice (1 to 3), a pick
    // list's index (-1: none) and a font's size in points.
    int number(TSetting::Id id) const;
    // A text's bytes. A text typed that the chosen encoding cannot hold
    // has none: bytes raises the error that says so, tryBytes returns false.
    QString bytes(TSetting::Id id) const;
    bool tryBytes(TSetting::Id id, QString &out) const;
    // A text as a person reads it (a file name, a host name); a font's face.
    QString shown(TSetting::Id id) const;
    QStringList list(TSetting::Id id) const;
    // A colour: its name and its value.
    QString colourName(TSetting::Id id) const;
    TColours::Rgb colour(TSetting::Id id) const;
    // A pick list's selected entry (empty when none is).
    QString pickText(TSetting::Id id) const;
    // How typed text becomes bytes (outgoingEncoding).
    TText::Encoding typedEncoding() const;

    // Each setter emits changed (and a group's signal) only when the value
    // really changes.
    void setFlag(TSetting::Id id, bool on);
    // Clamps a number or the choice into its range; a pick list index
    // outside the list selects none.
    void setNumber(TSetting::Id id, int value);
    // Bytes, shown as the text a person reads for them.
    void setBytes(TSetting::Id id, const QString &bytes);
    // Bytes with the text that was typed for them.
    void setTyped(TSetting::Id id, const QString &bytes, const QString &shown);
    // Typed text the encoding cannot hold; problem is what bytes() raises.
    void setUnencodable(TSetting::Id id, const QString &shown, const QString &problem);
    // False, and nothing changed, when no colour is called so.
    bool setColour(TSetting::Id id, const QString &exactName);
    void setList(TSetting::Id id, const QStringList &entries);
    void setFontFace(TSetting::Id id, const QString &face);
    // The value as the table writes a start value (for tests and the start).
    void setFromText(TSetting::Id id, const QString &value);

Q_SIGNALS:
    void changed(TSetting::Id id);
    // One of the flood quota's four figures changed: the cutting of long
    // lines and the pacing both follow this one signal.
    void quotaChanged();

private:
    struct Value {
        int number = 0;
        QString bytes;
        QString shown;
        QString problem; // non-empty: the shown text has no bytes
        QStringList list;
    };
    const Value &at(TSetting::Id id, TSetting::Kind kind) const;
    Value &at(TSetting::Id id, TSetting::Kind kind);
    void emitChanged(TSetting::Id id);
    std::vector<Value> m_values;
};

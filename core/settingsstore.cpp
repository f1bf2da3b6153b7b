#include "core/settingsstore.h"

#include "base/errors.h"

using TSetting::Id;
using TSetting::Kind;

TSettingsStore::TSettingsStore(QObject *parent) : QObject(parent)
{
    m_values.resize(std::size_t(TSetting::Count));
    const std::vector<TSetting::Def> &defs = TSetting::all();
    Q_ASSERT(defs.size() == std::size_t(TSetting::Count));
    for (const TSetting::Def &d : defs) {
        Q_ASSERT(&TSetting::def(d.id) == &d);
        if (d.start)
            setFromText(d.id, QLatin1String(d.start));
    }
}

const TSettingsStore::Value &TSettingsStore::at(Id id, Kind kind) const
{
    Q_ASSERT(TSetting::def(id).kind == kind);
    Q_UNUSED(kind);
    return m_values[std::size_t(id)];
}

TSettingsStore::Value &TSettingsStore::at(Id id, Kind kind)
{
    Q_ASSERT(TSetting::def(id).kind == kind);
    Q_UNUSED(kind);
    return m_values[std::size_t(id)];
}

void TSettingsStore::emitChanged(Id id)
{
    Q_EMIT changed(id);
    if (id == TSetting::quotaUnits || id == TSetting::quotaWindow ||
        id == TSetting::quotaBytesPerUnit || id == TSetting::quotaMargin)
        Q_EMIT quotaChanged();
}

bool TSettingsStore::flag(Id id) const { return at(id, Kind::Flag).number != 0; }

int TSettingsStore::number(Id id) const
{
    // Numbers, the choice, pick lists and font sizes all keep an int.
    return m_values[std::size_t(id)].number;
}

QString TSettingsStore::bytes(Id id) const
{
    const Value &v = at(id, Kind::Text);
    if (!v.problem.isEmpty())
        throw TError(v.problem);
    return v.bytes;
}

bool TSettingsStore::tryBytes(Id id, QString &out) const
{
    const Value &v = at(id, Kind::Text);
    if (!v.problem.isEmpty())
        return false;
    out = v.bytes;
    return true;
}

QString TSettingsStore::shown(Id id) const { return m_values[std::size_t(id)].shown; }

QStringList TSettingsStore::list(Id id) const { return at(id, Kind::List).list; }

QString TSettingsStore::colourName(Id id) const
{
    return TColours::name(at(id, Kind::Colour).number);
}

TColours::Rgb TSettingsStore::colour(Id id) const
{
    return TColours::rgb(at(id, Kind::Colour).number);
}

QString TSettingsStore::pickText(Id id) const
{
    const int index = at(id, Kind::Pick).number;
    const QStringList &entries = TSetting::def(id).entries;
    return index >= 0 && index < entries.size() ? entries.at(index) : QString();
}

TText::Encoding TSettingsStore::typedEncoding() const
{
    return pickText(TSetting::outgoingEncoding) == QLatin1String("Windows-1252")
               ? TText::Encoding::Windows1252
               : TText::Encoding::Utf8;
}

void TSettingsStore::setFlag(Id id, bool on)
{
    Value &v = at(id, Kind::Flag);
    if ((v.number != 0) == on)
        return;
    v.number = on ? 1 : 0;
    emitChanged(id);
}

void TSettingsStore::setNumber(Id id, int value)
{
    const TSetting::Def &d = TSetting::def(id);
    Q_ASSERT(d.kind == Kind::Number || d.kind == Kind::Choice || d.kind == Kind::Pick ||
             d.kind == Kind::FontSize);
    if (d.kind == Kind::Pick) {
        if (value < 0 || value > d.maximum)
            value = -1;
    } else if (d.kind != Kind::FontSize) {
        value = qBound(d.minimum, value, d.maximum);
    }
    Value &v = m_values[std::size_t(id)];
    if (v.number == value)
        return;
    v.number = value;
    emitChanged(id);
}

void TSettingsStore::setBytes(Id id, const QString &bytes)
{
    setTyped(id, bytes, TText::decode(bytes));
}

void TSettingsStore::setTyped(Id id, const QString &bytes, const QString &shown)
{
    Value &v = at(id, Kind::Text);
    if (v.bytes == bytes && v.shown == shown && v.problem.isEmpty())
        return;
    v.bytes = bytes;
    v.shown = shown;
    v.problem.clear();
    emitChanged(id);
}

void TSettingsStore::setUnencodable(Id id, const QString &shown, const QString &problem)
{
    Q_ASSERT(!problem.isEmpty());
    Value &v = at(id, Kind::Text);
    if (v.shown == shown && v.problem == problem)
        return;
    v.shown = shown;
    v.problem = problem;
    emitChanged(id);
}

bool TSettingsStore::setColour(Id id, const QString &exactName)
{
    const int index = TColours::indexOf(exactName);
    if (index < 0)
        return false;
    Value &v = at(id, Kind::Colour);
    if (v.number != index) {
        v.number = index;
        emitChanged(id);
    }
    return true;
}

void TSettingsStore::setList(Id id, const QStringList &entries)
{
    Value &v = at(id, Kind::List);
    if (v.list == entries)
        return;
    v.list = entries;
    emitChanged(id);
}

void TSettingsStore::setFontFace(Id id, const QString &face)
{
    Value &v = at(id, Kind::FontFace);
    if (v.shown == face)
        return;
    v.shown = face;
    emitChanged(id);
}

void TSettingsStore::setFromText(Id id, const QString &value)
{
    const TSetting::Def &d = TSetting::def(id);
    switch (d.kind) {
    case Kind::Text:
        setBytes(id, value);
        break;
    case Kind::Flag:
        setFlag(id, value == QLatin1String("1") || value == QLatin1String("true"));
        break;
    case Kind::Choice:
    case Kind::Number:
    case Kind::FontSize:
        setNumber(id, value.toInt());
        break;
    case Kind::Pick:
        // tressel.ini names the entry; tressel.conf gives its index.
        setNumber(id,
                  d.file == TSetting::File::Ini ? int(d.entries.indexOf(value)) : value.toInt());
        break;
    case Kind::Colour:
        setColour(id, value);
        break;
    case Kind::List:
        setList(id, value.isEmpty() ? QStringList() : QStringList{value});
        break;
    case Kind::FontFace:
        setFontFace(id, value);
        break;
    }
}

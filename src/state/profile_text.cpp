#include "profile_text.h"

#include "cp932_codec.h"

#include <QHashFunctions>
#include <QStringDecoder>

#include <algorithm>
#include <cstring>

namespace {

// The blanks Windows trims around names and values. The ideographic blank
// (81 40) is not among them, and no trail byte is.
bool isBlank(char c)
{
    switch (c) {
    case '\t':
    case '\n':
    case '\v':
    case '\f':
    case '\r':
    case ' ':
    case '\x1A':
        return true;
    default:
        return false;
    }
}

bool isLead(char c)
{
    const auto b = static_cast<unsigned char>(c);
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

void trim(const QByteArray &bytes, qsizetype &begin, qsizetype &end)
{
    while (begin < end && isBlank(bytes[begin]))
        ++begin;
    while (end > begin && isBlank(bytes[end - 1]))
        --end;
}

const QByteArray kUtf8Mark = QByteArrayLiteral("\xEF\xBB\xBF");

// A mark inside the text (at the start of a value, say) is a character like
// any other; only the file's first one says how it is encoded.
QString fromUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8,
        QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
    return decoder(bytes);
}

QString decodeAs(QByteArrayView bytes, bool utf8)
{
    return utf8 ? fromUtf8(bytes) : Cp932::decode(bytes);
}

QByteArray encodeAs(QStringView text, bool utf8)
{
    return utf8 ? text.toUtf8() : Cp932::encode(text);
}

bool isAscii(QByteArrayView name)
{
    return std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Names match without regard to case. Pure ASCII names, all this program
// uses, fold byte by byte; anything else is folded as text, because an ASCII
// fold of raw code page 932 bytes would also change trail bytes. (No text of
// code page 932 or UTF-8 outside ASCII folds to ASCII, so the two never meet.)
// FNV-1a over the folded units, seeded per process: Qt's own hash of short
// keys is several times slower, and a huge file is mostly short lines.
size_t nameHash(QByteArrayView name, bool utf8)
{
    static const size_t salt = QHashSeed::globalSeed();
    quint64 h = 0xcbf29ce484222325ULL ^ salt;
    const auto mix = [&h](char16_t unit) {
        h ^= unit;
        h *= 0x100000001b3ULL;
    };
    if (isAscii(name)) {
        for (char c : name)
            mix(char16_t((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c));
    } else {
        for (QChar c : decodeAs(name, utf8).toCaseFolded())
            mix(c.unicode());
    }
    return size_t(h);
}

bool sameName(QByteArrayView a, QByteArrayView b, bool utf8)
{
    const bool asciiA = isAscii(a);
    if (asciiA != isAscii(b))
        return false;
    if (asciiA)
        return a.size() == b.size() && qstrnicmp(a.data(), a.size(), b.data(), b.size()) == 0;
    return decodeAs(a, utf8).toCaseFolded() == decodeAs(b, utf8).toCaseFolded();
}

// The first id whose name equals `name`, or `none`.
template <class Index, class NameOf>
int lookup(const Index &index, QByteArrayView name, size_t hash, NameOf nameOf, int none, bool utf8)
{
    const auto it = index.first.constFind(hash);
    if (it == index.first.constEnd())
        return none;
    if (sameName(nameOf(*it), name, utf8))
        return *it;
    for (int id : index.more)
        if (sameName(nameOf(id), name, utf8))
            return id;
    return none;
}

template <class Index, class NameOf>
int lookup(const Index &index, QByteArrayView name, NameOf nameOf, int none, bool utf8)
{
    return lookup(index, name, nameHash(name, utf8), nameOf, none, utf8);
}

// Records `id` unless a name equal to its name is there already.
template <class Index, class NameOf>
bool addIfNew(Index &index, QByteArrayView name, int id, NameOf nameOf, int none, bool utf8)
{
    const size_t h = nameHash(name, utf8);
    const auto it = index.first.constFind(h);
    if (it == index.first.constEnd()) {
        index.first.insert(h, id);
        return true;
    }
    if (lookup(index, name, h, nameOf, none, utf8) != none)
        return false;
    index.more.push_back(id);
    return true;
}

// What the file would hold for a name or value we write. A line break would
// end the line early and let the rest pose as keys or sections of its own,
// so it becomes a blank.
QByteArray storedForm(const QString &text, bool utf8)
{
    QString t = text;
    const qsizetype nul = t.indexOf(QChar(0));
    if (nul >= 0)
        t.truncate(nul);
    t.replace(QChar(u'\r'), QChar(u' '));
    t.replace(QChar(u'\n'), QChar(u' '));
    return encodeAs(t, utf8);
}

// How much of a UTF-8 value a reader with a buffer of `maxBytes` keeps. The
// buffer counts code page 932 bytes whatever the file holds, as Windows' ANSI
// profile functions hand a UTF-8 file's text over in that code page: a title
// comes back as long from either kind of file. Whole characters only.
qsizetype utf8PrefixLength(QByteArrayView v, qsizetype maxBytes)
{
    qsizetype i = 0;
    qsizetype counted = 0;
    while (i < v.size()) {
        const auto lead = static_cast<unsigned char>(v[i]);
        qsizetype len = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        for (qsizetype j = 1; j < len; ++j) {
            if (i + j >= v.size() || (static_cast<unsigned char>(v[i + j]) & 0xC0) != 0x80) {
                len = j;
                break;
            }
        }
        counted += lead < 0x80 ? 1 : Cp932::encode(fromUtf8(v.sliced(i, len))).size();
        if (counted > maxBytes)
            break;
        i += len;
    }
    return i;
}

// The raw bytes after "=" turned into what the reader's buffer receives:
// trimmed, ended at a NUL, one pair of quotes removed, cut to the buffer.
QByteArray readValue(const QByteArray &bytes, qsizetype begin, qsizetype end, int bufferSize, bool utf8)
{
    if (bufferSize <= 1)
        return {};
    trim(bytes, begin, end);
    if (const void *nul = memchr(bytes.constData() + begin, '\0', size_t(end - begin)))
        end = static_cast<const char *>(nul) - bytes.constData();
    if (end - begin >= 2 && (bytes[begin] == '"' || bytes[begin] == '\'') && bytes[end - 1] == bytes[begin]) {
        ++begin;
        --end;
    }
    const QByteArrayView v(bytes.constData() + begin, end - begin);
    const qsizetype kept
        = utf8 ? utf8PrefixLength(v, bufferSize - 1) : Cp932::safePrefixLength(v, bufferSize - 1);
    return v.first(kept).toByteArray();
}

QByteArray readValue(const QByteArray &value, int bufferSize, bool utf8)
{
    return readValue(value, 0, value.size(), bufferSize, utf8);
}

// The line that starts at `pos`: where its text ends and where the next line
// starts. CR LF, LF and CR each end a line.
void lineAt(
    const QByteArray &bytes, qsizetype pos, qsizetype limit, qsizetype &contentEnd, qsizetype &lineEnd)
{
    const char *p = bytes.constData();
    qsizetype i = pos;
    while (i < limit && p[i] != '\r' && p[i] != '\n')
        ++i;
    contentEnd = i;
    if (i < limit)
        i += (p[i] == '\r' && i + 1 < limit && p[i + 1] == '\n') ? 2 : 1;
    lineEnd = i;
}

const QByteArray kLineBreak = QByteArrayLiteral("\r\n");

} // namespace

ProfileText::ProfileText(QByteArray contents)
    : m_bytes(std::move(contents))
    , m_utf8(m_bytes.startsWith(kUtf8Mark))
    , m_textBegin(m_utf8 ? kUtf8Mark.size() : 0)
{
    parseSections();
}

QString ProfileText::decode(QByteArrayView bytes) const
{
    return decodeAs(bytes, m_utf8);
}

QString ProfileText::decode(QByteArrayView bytes, bool utf8)
{
    return decodeAs(bytes, utf8);
}

QString ProfileText::fitted(const QString &text, int bufferSize) const
{
    const QByteArray bytes = encode(text);
    const qsizetype max = std::max(bufferSize - 1, 0);
    const qsizetype kept = m_utf8 ? utf8PrefixLength(bytes, max) : Cp932::safePrefixLength(bytes, max);
    return kept == bytes.size() ? text : decode(bytes.first(kept));
}

QByteArray ProfileText::encode(QStringView text) const
{
    return encodeAs(text, m_utf8);
}

QByteArrayView ProfileText::sectionName(int id) const
{
    const Section &s = m_sections[size_t(id)];
    if (s.isNew)
        return s.name;
    return QByteArrayView(m_bytes.constData() + s.nameBegin, s.nameEnd - s.nameBegin);
}

QByteArrayView ProfileText::keyName(const Section &s, int id) const
{
    if (id < 0)
        return s.added[-id - 1].first;
    const KeyLine &k = s.keys[size_t(id)];
    return QByteArrayView(m_bytes.constData() + k.keyBegin, k.keyEnd - k.keyBegin);
}

void ProfileText::parseSections()
{
    const qsizetype n = m_bytes.size();
    const char *p = m_bytes.constData();
    const auto nameOf = [this](int id) { return sectionName(id); };
    // Lines before the first header, and every repeat of a section already
    // seen, belong to no section that can be found: they are kept as bytes
    // and never looked at again.
    int current = -1;
    qsizetype pos = m_textBegin;
    while (pos < n) {
        qsizetype contentEnd = 0;
        qsizetype lineEnd = 0;
        lineAt(m_bytes, pos, n, contentEnd, lineEnd);
        qsizetype start = pos;
        while (start < contentEnd && isBlank(p[start]))
            ++start;
        if (start < contentEnd && p[start] == '[') {
            // The name runs to the last "]" that is a character of its own,
            // not the second byte of a double-byte one.
            qsizetype close = -1;
            for (qsizetype i = start + 1; i < contentEnd;) {
                if (!m_utf8 && isLead(p[i]) && i + 1 < contentEnd && p[i + 1] != '\0') {
                    i += 2;
                    continue;
                }
                if (p[i] == ']')
                    close = i;
                ++i;
            }
            Section s;
            s.nameBegin = start + 1;
            s.nameEnd = close >= 0 ? close : contentEnd;
            trim(m_bytes, s.nameBegin, s.nameEnd);
            s.bodyBegin = lineEnd;

            if (current >= 0)
                m_sections[size_t(current)].bodyEnd = pos;
            current = int(m_sections.size());
            m_sections.push_back(s);
            if (!addIfNew(m_sectionIndex, sectionName(current), current, nameOf, kNone, m_utf8)) {
                m_sections.pop_back();
                current = -1;
            }
        }
        pos = lineEnd;
    }
    if (current >= 0)
        m_sections[size_t(current)].bodyEnd = n;
}

void ProfileText::indexKeys(Section &s) const
{
    if (s.keysIndexed || s.isNew)
        return;
    s.keysIndexed = true;
    const char *p = m_bytes.constData();
    const auto nameOf = [this, &s](int id) { return keyName(s, id); };
    qsizetype pos = s.bodyBegin;
    while (pos < s.bodyEnd) {
        KeyLine k {};
        k.begin = pos;
        qsizetype lineEnd = 0;
        lineAt(m_bytes, pos, s.bodyEnd, k.contentEnd, lineEnd);
        pos = lineEnd;
        qsizetype start = k.begin;
        while (start < k.contentEnd && isBlank(p[start]))
            ++start;
        if (start == k.contentEnd || p[start] == ';')
            continue;
        s.lastKeyEnd = lineEnd;
        const char *eq = static_cast<const char *>(memchr(p + start, '=', size_t(k.contentEnd - start)));
        k.keyBegin = start;
        k.keyEnd = eq ? eq - p : k.contentEnd;
        k.valueBegin = eq ? eq - p + 1 : -1;
        trim(m_bytes, k.keyBegin, k.keyEnd);
        // Only the first line of a name is ever read or written.
        const int id = int(s.keys.size());
        s.keys.push_back(k);
        if (!addIfNew(s.index, keyName(s, id), id, nameOf, kNone, m_utf8))
            s.keys.pop_back();
    }
}

int ProfileText::findSection(QByteArrayView name) const
{
    return lookup(
        m_sectionIndex, name, [this](int id) { return sectionName(id); }, kNone, m_utf8);
}

QByteArray ProfileText::value(const QString &section, const QString &key, int bufferSize) const
{
    const int si = findSection(storedForm(section, m_utf8));
    if (si == kNone)
        return {};
    Section &s = m_sections[size_t(si)];
    indexKeys(s);
    const int id = lookup(
        s.index, storedForm(key, m_utf8), [this, &s](int i) { return keyName(s, i); }, kNone, m_utf8);
    if (id == kNone)
        return {};
    if (id < 0)
        return readValue(s.added[-id - 1].second, bufferSize, m_utf8);
    if (const auto r = s.replaced.constFind(id); r != s.replaced.constEnd())
        return readValue(*r, bufferSize, m_utf8);
    const KeyLine &k = s.keys[size_t(id)];
    if (k.valueBegin < 0)
        return {};
    return readValue(m_bytes, k.valueBegin, k.contentEnd, bufferSize, m_utf8);
}

QString ProfileText::text(const QString &section, const QString &key, int bufferSize) const
{
    return decode(value(section, key, bufferSize));
}

void ProfileText::set(const QString &section, const QString &key, const QString &value)
{
    const QByteArray sectionBytes = storedForm(section, m_utf8);
    int si = findSection(sectionBytes);
    if (si == kNone) {
        Section s;
        s.isNew = true;
        s.name = sectionBytes;
        si = int(m_sections.size());
        m_sections.push_back(std::move(s));
        addIfNew(
            m_sectionIndex, sectionName(si), si, [this](int id) { return sectionName(id); }, kNone, m_utf8);
    }
    Section &s = m_sections[size_t(si)];
    indexKeys(s);
    const auto nameOf = [this, &s](int id) { return keyName(s, id); };
    const QByteArray keyBytes = storedForm(key, m_utf8);
    const int id = lookup(s.index, keyBytes, nameOf, kNone, m_utf8);
    if (id == kNone) {
        s.added.append({ keyBytes, storedForm(value, m_utf8) });
        addIfNew(s.index, keyBytes, -int(s.added.size()), nameOf, kNone, m_utf8);
    } else if (id < 0) {
        s.added[-id - 1].second = storedForm(value, m_utf8);
    } else {
        s.replaced.insert(id, storedForm(value, m_utf8));
    }
}

QByteArray ProfileText::contents() const
{
    struct Edit
    {
        qsizetype at;
        qsizetype until; // == at for an insertion
        const Section *section; // insertion: the section whose new keys go here
        const KeyLine *line; // replacement: the line rewritten
        const QByteArray *value;
    };
    std::vector<Edit> edits;
    std::vector<const Section *> newSections;
    for (const Section &s : m_sections) {
        if (s.isNew) {
            newSections.push_back(&s);
            continue;
        }
        for (auto it = s.replaced.cbegin(); it != s.replaced.cend(); ++it) {
            const KeyLine &k = s.keys[size_t(it.key())];
            edits.push_back({ k.begin, k.contentEnd, nullptr, &k, &it.value() });
        }
        if (!s.added.isEmpty()) {
            // Right after the section's last key, or its header when it has none.
            const qsizetype at = s.lastKeyEnd >= 0 ? s.lastKeyEnd : s.bodyBegin;
            edits.push_back({ at, at, &s, nullptr, nullptr });
        }
    }
    std::sort(edits.begin(), edits.end(), [](const Edit &a, const Edit &b) {
        if (a.at != b.at)
            return a.at < b.at;
        return a.section && !b.section; // an insertion ends the line before
    });

    QByteArray out;
    out.reserve(m_bytes.size() + 4096);
    // A new line goes on a line of its own, unless nothing but the mark is
    // there yet.
    const auto needsBreak
        = [&out, this] { return out.size() > m_textBegin && !out.endsWith('\n') && !out.endsWith('\r'); };
    const auto appendLine = [&out](const QByteArray &key, const QByteArray &value) {
        out += key;
        out += '=';
        out += value;
        out += kLineBreak;
    };
    qsizetype pos = 0;
    for (const Edit &e : edits) {
        out.append(m_bytes.constData() + pos, e.at - pos);
        if (e.section) {
            if (needsBreak())
                out += kLineBreak;
            for (const auto &[k, v] : e.section->added)
                appendLine(k, v);
        } else {
            // The key keeps its spelling; blanks around it and the old value go.
            out.append(m_bytes.constData() + e.line->keyBegin, e.line->keyEnd - e.line->keyBegin);
            out += '=';
            out += *e.value;
        }
        pos = e.until;
    }
    out.append(m_bytes.constData() + pos, m_bytes.size() - pos);

    for (const Section *s : newSections) {
        if (needsBreak())
            out += kLineBreak;
        out += '[';
        out += s->name;
        out += ']';
        out += kLineBreak;
        for (const auto &[k, v] : s->added)
            appendLine(k, v);
    }
    return out;
}

#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <limits>
#include <utility>
#include <vector>

// The bytes of a profile (INI) file, parsed once, read and edited with the
// rules Windows' profile-string functions follow. Edits never touch a byte they
// do not have to: comments, blank lines, unknown keys and sections keep their
// exact bytes, so a file written by another program survives our writes.
//
// The text is code page 932, unless the file begins with the UTF-8 byte order
// mark: then it is UTF-8, and what is written goes in as UTF-8 too, as
// Windows does with such a file. A file keeps its encoding and its mark.
//
// Parsing is linear in the file's size; keys are indexed per section the first
// time the section is asked for, so a huge or binary file costs one pass.
class ProfileText
{
public:
    explicit ProfileText(QByteArray contents = {});

    // The value as a read into a `bufferSize`-byte buffer returns it: at most
    // bufferSize - 1 bytes, never half a double-byte character, ending at a
    // NUL. Empty when the section or the key is missing. The bytes are in the
    // file's encoding; a UTF-8 file's buffer still counts code page 932
    // bytes, as Windows' ANSI functions do, so a title is cut at the same
    // place whichever kind of file holds it.
    QByteArray value(const QString &section, const QString &key, int bufferSize = 256) const;
    // The same as text.
    QString text(const QString &section, const QString &key, int bufferSize = 256) const;

    bool isUtf8() const { return m_utf8; }
    // Bytes of this file as text, and text as this file stores it.
    QString decode(QByteArrayView bytes) const;
    static QString decode(QByteArrayView bytes, bool utf8);
    QByteArray encode(QStringView text) const;
    // As much of `text` as a read into a `bufferSize`-byte buffer gives
    // back from this file.
    QString fitted(const QString &text, int bufferSize) const;

    // What one write of the key makes of the file.
    void set(const QString &section, const QString &key, const QString &value);

    // The file as it is now, edits included.
    QByteArray contents() const;

private:
    // The first of each name, names compared without regard to case. Holds
    // ids, not names: the names stay where they are in the file's bytes.
    struct NameIndex
    {
        QHash<size_t, int> first;
        std::vector<int> more; // names whose hash an other name holds already
    };
    struct KeyLine
    {
        qsizetype begin; // first byte of the line
        qsizetype contentEnd; // before the line break
        qsizetype keyBegin; // trimmed key
        qsizetype keyEnd;
        qsizetype valueBegin; // after "=", or -1 for a line without one
    };
    struct Section
    {
        qsizetype nameBegin = 0; // trimmed name in the file
        qsizetype nameEnd = 0;
        QByteArray name; // the name, for a section set() added
        qsizetype bodyBegin = 0; // after the header line
        qsizetype bodyEnd = 0; // at the next header, or the end of the file
        qsizetype lastKeyEnd = -1; // after the line of the section's last key
        bool isNew = false;
        bool keysIndexed = false;
        // Key ids: n >= 0 is keys[n], the first line of its name; n < 0 is
        // added[-n - 1], a key set() added.
        std::vector<KeyLine> keys;
        QList<std::pair<QByteArray, QByteArray>> added; // key, value
        QHash<int, QByteArray> replaced; // id in keys -> new value
        NameIndex index;
    };

    void parseSections();
    void indexKeys(Section &s) const;
    QByteArrayView sectionName(int id) const;
    QByteArrayView keyName(const Section &s, int id) const;
    // Index into m_sections of the first section of that name, or kNone.
    int findSection(QByteArrayView name) const;

    static constexpr int kNone = std::numeric_limits<int>::min();

    QByteArray m_bytes; // never changed: names and lines point into it
    bool m_utf8 = false;
    qsizetype m_textBegin = 0; // after the byte order mark
    // The first section of each name in file order, then the sections set()
    // added.
    mutable std::vector<Section> m_sections;
    NameIndex m_sectionIndex;
};

#pragma once
// The settings file: a Windows-style INI file. Section and key names are compared without
// regard to letter case. Every write reaches the disk at once and atomically (the whole
// file is replaced through QSaveFile), so a crash never leaves a torn file. A missing file
// reads as empty; a malformed, binary or oversized file never crashes the program.
//
// The file is read as UTF-8 when it is valid UTF-8 and as Windows-1251 (its original code
// page) otherwise. A write changes only the line of its key: every other line goes back
// as the bytes it was read, whatever they hold, and new lines are written in the file's
// code page. A value Windows-1251 cannot hold turns the whole file into UTF-8.
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

class IniFile {
public:
    explicit IniFile(const QString &fileName);

    const QString &fileName() const { return m_fileName; }

    // What reading found. A file that is too large or cannot be read is not the same as no
    // settings at all: it reads as empty and is never written over.
    enum class State { Missing, Read, TooLarge, Unreadable };
    State state() const { return m_state; }
    // Why the file could not be read (empty unless TooLarge or Unreadable).
    const QString &problem() const { return m_problem; }
    // The first line (from 1) of the section that cannot be read as text (it holds a NUL
    // byte), or a line that may be the section's header and cannot be read; 0 when the
    // section reads whole. Such a section's keys may be missing from what is read.
    int unreadableLine(const QString &section) const;
    enum class Encoding { Utf8, Cp1251 };
    Encoding encoding() const { return m_encoding; }

    QString readString(const QString &section, const QString &key, const QString &def) const;
    // Reads an integer; a missing key or a value that is not a number gives the default.
    int readInteger(const QString &section, const QString &key, int def) const;
    // Reads a boolean: any non-zero number is true; otherwise as readInteger.
    bool readBool(const QString &section, const QString &key, bool def) const;
    bool valueExists(const QString &section, const QString &key) const;

    // Writes go to the disk at once; a failure raises FileError naming the file and
    // leaves the file as it was.
    void writeString(const QString &section, const QString &key, const QString &value);
    void writeInteger(const QString &section, const QString &key, int value);
    void writeBool(const QString &section, const QString &key, bool value);
    // From now on writes change what this object reads back and never the file (a run on
    // a server named for that run alone leaves the user's settings as they were).
    void keepInMemory() { m_memoryOnly = true; }

    // Files larger than this are not read (they read as empty and are never overwritten).
    static constexpr qint64 MaxSize = 4 * 1024 * 1024;

private:
    struct Line {
        QString text;         // the line as read or written, decoded
        QByteArray raw;       // the bytes read, without the line break
        bool asRead = false;  // written back as raw + eol
        QByteArray eol;       // the line break read after it ("" for a last line without one)
        QString section;      // section that the line belongs to (for key lines)
        QString key;          // empty for section headers, comments and malformed lines
        QString value;
    };
    void load();
    void save(const QVector<Line> &lines, Encoding encoding) const;
    int findKey(const QString &section, const QString &key) const;

    QString m_fileName;
    QVector<Line> m_lines;
    State m_state = State::Missing;
    QString m_problem;
    Encoding m_encoding = Encoding::Utf8;
    bool m_memoryOnly = false;
    QHash<QString, int> m_cutSections;  // section (lower case) -> its first line with a NUL byte
    int m_anySectionCut = 0;            // a line with a NUL byte that may be a section header
};

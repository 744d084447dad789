#pragma once
// The settings file: a Windows-style INI file. Section and key names are compared without
// regard to letter case. Every write reaches the disk at once and atomically (the whole
// file is replaced through QSaveFile), so a crash never leaves a torn file. A missing file
// reads as empty; a malformed, binary or oversized file never crashes the program.
#include <QString>
#include <QStringList>
#include <QVector>

class IniFile {
public:
    explicit IniFile(const QString &fileName);

    const QString &fileName() const { return m_fileName; }

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

    // Files larger than this are not read (they read as empty and are never overwritten).
    static constexpr qint64 MaxSize = 4 * 1024 * 1024;

private:
    struct Line {
        QString text;     // the line as read or written
        QString section;  // section that the line belongs to (for key lines)
        QString key;      // empty for section headers, comments and malformed lines
        QString value;
    };
    void load();
    void save(const QVector<Line> &lines) const;
    int findKey(const QString &section, const QString &key) const;

    QString m_fileName;
    QVector<Line> m_lines;
    bool m_tooLarge = false;
};

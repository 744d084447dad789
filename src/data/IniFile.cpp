#include "data/IniFile.h"

#include "app/Errors.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString sectionHeader(const QString &trimmed)
{
    if (trimmed.size() >= 2 && trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']')))
        return trimmed.mid(1, trimmed.size() - 2).trimmed();
    return QString();
}

}  // namespace

IniFile::IniFile(const QString &fileName) : m_fileName(fileName) { load(); }

void IniFile::load()
{
    m_lines.clear();
    QFile f(m_fileName);
    if (!f.exists())
        return;
    if (f.size() > MaxSize) {
        m_tooLarge = true;
        return;
    }
    if (!f.open(QIODevice::ReadOnly))
        return;
    QByteArray bytes = f.read(MaxSize);
    const int nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    const QString text = QString::fromUtf8(bytes);
    QString section;
    const QStringList raw = text.split(QLatin1Char('\n'));
    for (int i = 0; i < raw.size(); ++i) {
        QString lineText = raw.at(i);
        if (lineText.endsWith(QLatin1Char('\r')))
            lineText.chop(1);
        if (i == raw.size() - 1 && lineText.isEmpty())
            break;  // the final line break makes no extra line
        Line line;
        line.text = lineText;
        const QString trimmed = lineText.trimmed();
        const QString header = sectionHeader(trimmed);
        if (!header.isEmpty()) {
            section = header;
        } else if (!trimmed.startsWith(QLatin1Char(';')) && !trimmed.startsWith(QLatin1Char('#'))) {
            const int eq = trimmed.indexOf(QLatin1Char('='));
            if (eq > 0) {
                line.key = trimmed.left(eq).trimmed();
                line.value = trimmed.mid(eq + 1).trimmed();
            }
        }
        line.section = section;
        m_lines.append(line);
    }
}

int IniFile::findKey(const QString &section, const QString &key) const
{
    for (int i = 0; i < m_lines.size(); ++i) {
        const Line &l = m_lines.at(i);
        if (!l.key.isEmpty() && sameName(l.section, section) && sameName(l.key, key))
            return i;
    }
    return -1;
}

bool IniFile::valueExists(const QString &section, const QString &key) const
{
    return findKey(section, key) >= 0;
}

QString IniFile::readString(const QString &section, const QString &key, const QString &def) const
{
    const int i = findKey(section, key);
    return i < 0 ? def : m_lines.at(i).value;
}

int IniFile::readInteger(const QString &section, const QString &key, int def) const
{
    const int i = findKey(section, key);
    if (i < 0)
        return def;
    bool ok = false;
    const QString v = m_lines.at(i).value;
    int n = v.toInt(&ok, 10);
    if (!ok && (v.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ||
                v.startsWith(QLatin1String("$"))))
        n = static_cast<int>(v.mid(v.startsWith(QLatin1Char('$')) ? 1 : 2).toUInt(&ok, 16));
    return ok ? n : def;
}

bool IniFile::readBool(const QString &section, const QString &key, bool def) const
{
    return readInteger(section, key, def ? 1 : 0) != 0;
}

void IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    if (m_tooLarge)
        throw FileError(QCoreApplication::translate("IniFile", "Не удалось записать файл %1: он слишком велик")
                            .arg(QFileInfo(m_fileName).absoluteFilePath()));
    QVector<Line> lines = m_lines;
    const int i = findKey(section, key);
    if (i >= 0) {
        Line &l = lines[i];
        l.value = value;
        l.text = l.key + QLatin1Char('=') + value;  // keeps the key's spelling in the file
    } else {
        Line nl;
        nl.section = section;
        nl.key = key;
        nl.value = value;
        nl.text = key + QLatin1Char('=') + value;
        // After the last non-blank line of the section, or a new section at the end.
        int header = -1;
        for (int j = 0; j < lines.size() && header < 0; ++j)
            if (sameName(sectionHeader(lines.at(j).text.trimmed()), section))
                header = j;
        if (header >= 0) {
            int last = header;
            for (int j = header + 1; j < lines.size(); ++j) {
                const QString t = lines.at(j).text.trimmed();
                if (!sectionHeader(t).isEmpty())
                    break;
                if (!t.isEmpty())
                    last = j;
            }
            nl.section = lines.at(header).section;
            lines.insert(last + 1, nl);
        } else {
            Line head;
            head.text = QLatin1Char('[') + section + QLatin1Char(']');
            head.section = section;
            lines.append(head);
            lines.append(nl);
        }
    }
    save(lines);
    m_lines = lines;
}

void IniFile::writeInteger(const QString &section, const QString &key, int value)
{
    writeString(section, key, QString::number(value));
}

void IniFile::writeBool(const QString &section, const QString &key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void IniFile::save(const QVector<Line> &lines) const
{
    QByteArray out;
    for (const Line &l : lines) {
        out += l.text.toUtf8();
        out += "\r\n";
    }
    QSaveFile f(m_fileName);
    if (!f.open(QIODevice::WriteOnly) || f.write(out) != out.size() || !f.commit())
        throw FileError(QCoreApplication::translate("IniFile", "Не удалось записать файл %1: %2")
                            .arg(QFileInfo(m_fileName).absoluteFilePath(), f.errorString()));
}

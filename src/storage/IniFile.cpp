#include "storage/IniFile.h"

#include "core/Cp1251.h"
#include "core/Errors.h"
#include "core/PrivateFiles.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#if defined(Q_OS_UNIX)
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

QString tr(const char *text) { return QCoreApplication::translate("IniFile", text); }

bool sameName(const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

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
    m_cutSections.clear();
    m_anySectionCut = 0;
    const QFileInfo info(m_fileName);
    if (!info.exists() && !info.isSymLink())
        return;
    auto fail = [this](State state, const QString &why) {
        m_state = state;
        m_problem = why;
    };
    if (info.isDir())
        return fail(State::Unreadable, tr("это папка, а не файл"));
    // A pipe or a device would hold the start waiting for a writer, or never end.
    const QString notAFile = tr("это не обычный файл");
    if (!info.isFile())
        return fail(State::Unreadable, notAFile);
    const QString tooLarge = tr("файл больше %1 байт").arg(MaxSize);
    if (info.size() > MaxSize)
        return fail(State::TooLarge, tooLarge);
    QFile f;
#if defined(Q_OS_UNIX)
    // What is opened is checked again: the name may have been given to a pipe meanwhile.
    const int fd = ::open(QFile::encodeName(m_fileName).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(State::Unreadable, QString::fromLocal8Bit(strerror(errno)));
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(State::Unreadable, notAFile);
    }
    if (!f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(State::Unreadable, f.errorString());
    }
#else
    f.setFileName(m_fileName);
    if (!f.open(QIODevice::ReadOnly))
        return fail(State::Unreadable, f.errorString());
#endif
    const QByteArray bytes = f.read(MaxSize + 1);
    if (f.error() != QFileDevice::NoError)
        return fail(State::Unreadable, f.errorString());
    if (bytes.size() > MaxSize)
        return fail(State::TooLarge, tooLarge);
    m_state = State::Read;

    // Decoding is what finds a byte sequence that is not UTF-8.
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8.decode(bytes);
    Q_UNUSED(decoded);
    m_encoding = utf8.hasError() ? Encoding::Cp1251 : Encoding::Utf8;

    QString section;
    qsizetype begin = 0;
    while (begin < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', begin);
        Line line;
        if (end < 0) {
            line.raw = bytes.mid(begin);
            line.eol = QByteArray("");
            end = bytes.size();
        } else {
            line.raw = bytes.mid(begin, end - begin);
            line.eol = QByteArray("\n");
            if (line.raw.endsWith('\r')) {
                line.raw.chop(1);
                line.eol = QByteArray("\r\n");
            }
        }
        begin = end + 1;
        line.asRead = true;
        line.text = m_encoding == Encoding::Utf8 ? QString::fromUtf8(line.raw) : Cp1251::decode(line.raw);
        QString trimmed = line.text.trimmed();
        if (m_lines.isEmpty() && trimmed.startsWith(QChar(0xFEFF)))
            trimmed = trimmed.mid(1).trimmed();  // a byte-order mark before the first line
        // A line holding a NUL byte means nothing to us: it is only kept. The section it
        // stands in is not read whole; one that may be a header leaves every section so.
        if (line.raw.contains('\0')) {
            const int number = int(m_lines.size()) + 1;
            if (trimmed.startsWith(QLatin1Char('[')) && m_anySectionCut == 0)
                m_anySectionCut = number;
            if (!m_cutSections.contains(section.toLower()))
                m_cutSections.insert(section.toLower(), number);
        } else {
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
        }
        line.section = section;
        m_lines.append(line);
    }
}

int IniFile::unreadableLine(const QString &section) const
{
    const int inSection = m_cutSections.value(section.toLower(), 0);
    if (m_anySectionCut > 0 && (inSection == 0 || m_anySectionCut < inSection))
        return m_anySectionCut;
    return inSection;
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

bool IniFile::valueExists(const QString &section, const QString &key) const { return findKey(section, key) >= 0; }

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
    if (!ok && (v.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) || v.startsWith(QLatin1String("$"))))
        n = static_cast<int>(v.mid(v.startsWith(QLatin1Char('$')) ? 1 : 2).toUInt(&ok, 16));
    return ok ? n : def;
}

bool IniFile::readBool(const QString &section, const QString &key, bool def) const
{
    return readInteger(section, key, def ? 1 : 0) != 0;
}

void IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    // What could not be read is never written over.
    if (m_state == State::TooLarge || m_state == State::Unreadable)
        throw FileError(tr("Не удалось записать файл %1: %2").arg(QFileInfo(m_fileName).absoluteFilePath(), m_problem));
    QVector<Line> lines = m_lines;
    const int i = findKey(section, key);
    QString added = key + value;
    if (i >= 0) {
        Line &l = lines[i];
        l.value = value;
        l.text = l.key + QLatin1Char('=') + value;  // keeps the key's spelling in the file
        l.asRead = false;
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
            added += section;
        }
    }
    // A file in Windows-1251 stays so, unless the new text has letters it cannot hold:
    // then the whole file becomes UTF-8, every old line the same text as before.
    Encoding encoding = m_encoding;
    if (encoding == Encoding::Cp1251 && Cp1251::decode(Cp1251::encode(added)) != added) {
        encoding = Encoding::Utf8;
        for (Line &l : lines)
            if (l.asRead)
                l.raw = l.text.toUtf8();
    }
    if (!m_memoryOnly)
        save(lines, encoding);
    m_lines = lines;
    m_encoding = encoding;
    if (m_state == State::Missing)
        m_state = State::Read;
}

void IniFile::writeInteger(const QString &section, const QString &key, int value)
{
    writeString(section, key, QString::number(value));
}

void IniFile::writeBool(const QString &section, const QString &key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void IniFile::save(const QVector<Line> &lines, Encoding encoding) const
{
    QByteArray out;
    for (int i = 0; i < lines.size(); ++i) {
        const Line &l = lines.at(i);
        if (l.asRead)
            out += l.raw;
        else if (encoding == Encoding::Cp1251)
            Cp1251::encodeAppend(out, l.text);
        else
            out += l.text.toUtf8();
        // A last line read without a line break gets one when lines follow it.
        out += l.eol.isEmpty() && (!l.asRead || i + 1 < lines.size()) ? QByteArray("\r\n") : l.eol;
    }
    const PrivateFiles::Scope privately(m_fileName);
    QSaveFile f(m_fileName);
    if (!f.open(QIODevice::WriteOnly) || f.write(out) != out.size() || !f.commit())
        throw FileError(
            tr("Не удалось записать файл %1: %2").arg(QFileInfo(m_fileName).absoluteFilePath(), f.errorString()));
}

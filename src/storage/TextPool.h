#pragma once
#include <QString>
#include <string>
#include <unordered_map>

// Texts that recur in a column (a maker, a format, a cause, an engineer) share one copy: a
// long list would otherwise hold each as a text of its own. A column whose texts mostly
// differ (names, numbers) soon stops being pooled.
class TextPool {
public:
    // The text of these bytes (a column's value as the database holds it): one made before
    // from the same bytes, else the one `make` makes now.
    template <typename Make>
    QString get(const char *utf8, int size, Make make)
    {
        if (m_off || size > MaxBytes)
            return make();
        ++m_lookups;
        std::string key(utf8, size_t(size));
        const auto it = m_seen.find(key);
        if (it != m_seen.end())
            return it->second;
        QString text = make();
        if (++m_misses * 2 > m_lookups && m_lookups >= Trial) {
            m_off = true;
            m_seen.clear();
        } else if (m_seen.size() < MaxTexts) {
            m_seen.emplace(std::move(key), text);
        }
        return text;
    }

private:
    static constexpr int MaxBytes = 64;
    static constexpr size_t MaxTexts = 4096;
    static constexpr int Trial = 2048;
    std::unordered_map<std::string, QString> m_seen;
    int m_lookups = 0, m_misses = 0;
    bool m_off = false;
};

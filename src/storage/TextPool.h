#pragma once
// One copy of each recurring text of a column read (TextPool), and how a read value takes its
// place in a row.
#include <QString>
#include <QVariant>
#include <deque>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

// Texts that recur in a column (a maker, a format, a cause, an engineer) share one copy: a
// long list would otherwise hold each as a text of its own. A column whose texts mostly
// differ (names, numbers) soon stops being pooled.
class TextPool {
public:
    // The text of these bytes (a column's value as the database holds it): one made before
    // from the same bytes, else the one `make` makes now.
    template <typename Make> QString get(const char *utf8, int size, Make make)
    {
        if (m_off || size > MaxBytes)
            return make();
        ++m_lookups;
        // Asked by the bytes where they lie: no key is made for a text met before.
        const std::string_view bytes(utf8, size_t(size));
        const auto it = m_seen.find(bytes);
        if (it != m_seen.end())
            return it->second;
        // The key is copied before the text is made: making it may release the bytes (SQLite
        // converts a value's encoding in place).
        std::string key(bytes);
        QString text = make();
        if (++m_misses * 2 > m_lookups && m_lookups >= Trial) {
            m_off = true;
            m_seen.clear();
            m_keys.clear();
        } else if (m_seen.size() < MaxTexts) {
            m_keys.push_back(std::move(key));
            m_seen.emplace(std::string_view(m_keys.back()), text);
        }
        return text;
    }

private:
    static constexpr int MaxBytes = 64;
    static constexpr size_t MaxTexts = 4096;
    static constexpr int Trial = 2048;
    std::deque<std::string> m_keys;  // the bytes the map's keys view; a deque never moves them
    std::unordered_map<std::string_view, QString> m_seen;
    int m_lookups = 0, m_misses = 0;
    bool m_off = false;
};

// Makes a row's value in its slot. The row is made of empty values first (one allocation
// for the row); an empty QVariant owns nothing, so its slot is simply reused.
template <typename T> inline void placeValue(QVariant *slot, T &&value) { new (slot) QVariant(std::forward<T>(value)); }

#pragma once

#include "contacts/store/Contact.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>

#include <array>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace quennet::search {

// The pinyin readings of Han characters, each a lower-case ASCII syllable
// without tone ("lv" and "lu" both for a "ü"). A character has its common
// reading, its reading as a surname (单 shan, 曾 zeng, 解 xie) and, for the
// polyphonic characters that names use, the other readings too (朴 pu and
// piao, 乐 le and yue). Readings come from ICU's Han-Latin and
// Han-Latin/Names transliterators: for the CJK Unified Ideographs and their
// Extension A they were looked up when the program was built (the built-in
// table); a rarer character is looked up the first time a name has it
// (setting ICU up takes about 100 ms, each character tens of microseconds).
class PinyinTable {
public:
    using Syllable = std::array<char, 7>; // NUL-padded; the longest has six letters

    // The table shared by every search; the characters added so far. Safe
    // to take from any thread: an extension publishes a new table.
    static std::shared_ptr<const PinyinTable> current();
    // Adds the readings of those characters the current table lacks and
    // publishes the larger table. Slow when there are any (ICU); run it off
    // the user-interface thread. Thread-safe.
    static void extend(const std::vector<char32_t> &characters);
    // The table written when the program was built: every character of the
    // CJK Unified Ideographs and their Extension A.
    static std::shared_ptr<PinyinTable> builtIn();

    bool has(char32_t c) const { return m_readings.count(c) > 0; }
    // Indexes into syllable(); empty for a character the table lacks.
    const std::vector<quint16> &readings(char32_t c) const;
    const Syllable &syllable(quint16 index) const { return m_syllables[index]; }
    QStringList readingTexts(char32_t c) const; // for tests and reports
    int characterCount() const { return int(m_readings.size()); }

private:
    quint16 syllableIndex(const QByteArray &text);
    void addReading(char32_t c, const QByteArray &text);
    void addExtraReadings(char32_t c);

    std::unordered_map<char32_t, std::vector<quint16>> m_readings;
    std::vector<Syllable> m_syllables;
    QHash<QByteArray, quint16> m_syllableIndex;
};

// What the user typed, in the three forms a hit is looked for with.
struct Query {
    QByteArray text;    // trimmed, lower case, UTF-8: a substring of a field
    QByteArray digits;  // the digits of a typed number ("139 1234"), else empty
    QByteArray letters; // lower-case ASCII letters of typed pinyin, else empty

    static Query parse(const QString &typed);
    bool isEmpty() const { return text.isEmpty(); }
    // Every hit of this query is a hit of previous (this one only added to
    // what was typed), so it need only look among previous's hits.
    bool narrows(const Query &previous) const;
};

// The contacts as a search reads them, in record order: each one's fields
// in lower case, the digits of its numbers and the characters of its name.
// Built once from the store and kept until the store changes.
class ContactIndex {
public:
    void clear();
    // fieldBytes: the UTF-8 bytes of all their fields, when known.
    void reserve(int contacts, qsizetype fieldBytes = -1);
    void append(const Contact &contact);
    // The six fields in store order, as the store hands them out.
    void append(const QString *const (&fields)[6]);
    // The six fields as the UTF-8 bytes the store holds.
    void append(const QByteArrayView (&fields)[6]);
    // Gives back what growing left unused, once every contact is in.
    void squeeze();
    // Notes the readings of every name's characters, so that a search with
    // this table spells the names without looking them up, and passes over
    // the names no pinyin can start in.
    void noteInitials(const std::shared_ptr<const PinyinTable> &table);
    int size() const { return int(m_textStart.size()) - 1; }
    // The Han characters of all names, each once (for PinyinTable::extend).
    std::vector<char32_t> nameCharacters() const;
    // Bytes held, for the memory goals.
    size_t memoryBytes() const;

    // Positions (0-based, ascending) of the contacts that query hits. With
    // among (ascending): the hits of a query this one narrows, the only
    // positions looked at.
    std::vector<int> find(const Query &query, const PinyinTable &table,
                          const std::vector<int> *among = nullptr) const;
    bool hits(int position, const Query &query, const PinyinTable &table) const;

private:
    bool textHits(int position, const Query &query) const;
    bool digitsHit(int position, const Query &query) const;
    bool pinyinHits(int position, const Query &query, const PinyinTable &table) const;
    void noteSpellings(const PinyinTable &table);
    template <typename EachSpelling>
    bool spells(int position, const QByteArray &letters, EachSpelling &&eachSpelling) const;

    // A noted spelling of a name's character: one reading, or the letter.
    struct Spelling {
        char letters[7];
        quint8 length;
    };

    std::string m_text; // fields joined by '\1'
    std::vector<int> m_textStart{0};
    std::string m_digits; // numbers joined by '|'
    std::vector<int> m_digitStart{0};
    std::vector<char32_t> m_names; // lower case, letters and Han only
    std::vector<int> m_nameStart{0};
    std::vector<quint32> m_initials; // bit i: a reading starts with 'a' + i
    // Once noted, beside m_names: each character as a number of the
    // distinct characters, whose spellings are m_spellings from
    // m_spellingStart[number] to m_spellingStart[number + 1].
    std::vector<quint32> m_nameCharacters;
    std::vector<quint32> m_spellingStart;
    std::vector<Spelling> m_spellings;
    std::shared_ptr<const PinyinTable> m_initialsTable;
};

// Whether typed finds contact: a substring of any field (Latin letters in
// either case), the digits of a number whatever the separators ("139 1234"
// finds 13912345678), or the name's pinyin in full ("zhurongji",
// "zhu rong ji"), by initials ("zrj") or mixed ("zhurj"). Looks up the
// name's characters first when the table lacks them.
bool matches(const QString &typed, const Contact &contact);

} // namespace quennet::search

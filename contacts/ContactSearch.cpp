#include "contacts/ContactSearch.h"
#include "contacts/Utf8.h"

#include "contacts/PinyinBuiltIn.h"
#include "contacts/PinyinReadings.h"

#include <QStringList>

#include <algorithm>
#include <cstring>
#include <mutex>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quennet::search {

namespace {

// Readings that names use beside the ones the transliterators give: the
// polyphonic characters common in surnames and given names.
struct ExtraReadings {
    char16_t character;
    const char *readings; // space-separated
};
const ExtraReadings kExtraReadings[] = {
    {u'单', "dan shan chan"}, {u'曾', "ceng zeng"},   {u'解', "jie xie"},      {u'朴', "pu piao po"},
    {u'乐', "le yue"},        {u'长', "chang zhang"}, {u'重', "zhong chong"},  {u'行', "xing hang"},
    {u'朝', "chao zhao"},     {u'查', "cha zha"},     {u'仇', "chou qiu"},     {u'区', "qu ou"},
    {u'翟', "zhai di"},       {u'盖', "gai ge"},      {u'缪', "miao mou miu"}, {u'尉', "wei yu"},
    {u'覃', "tan qin"},       {u'召', "zhao shao"},   {u'沈', "shen chen"},    {u'秘', "mi bi"},
    {u'员', "yuan yun"},      {u'宿', "su xiu"},      {u'折', "zhe she"},      {u'种', "zhong chong"},
    {u'万', "wan mo"},        {u'阿', "a e"},         {u'和', "he huo"},       {u'大', "da dai"},
    {u'都', "du dou"},        {u'传', "chuan zhuan"}, {u'藏', "cang zang"},    {u'调', "diao tiao"},
    {u'参', "can shen cen"},  {u'薄', "bo bao"},      {u'隽', "jun juan"},     {u'柏', "bai bo"},
    {u'贾', "jia gu"},        {u'奇', "qi ji"},       {u'叶', "ye xie"},       {u'繁', "fan po"},
    {u'盛', "sheng cheng"},   {u'晟', "sheng cheng"}, {u'茜', "qian xi"},      {u'乘', "cheng sheng"},
    {u'卜', "bu bo"},         {u'能', "neng nai"},    {u'蕃', "fan bo"},       {u'汤', "tang shang"},
    {u'蔚', "wei yu"},        {u'句', "ju gou"},      {u'佴', "nai er"},       {u'石', "shi dan"},
    {u'角', "jiao jue"},      {u'觉', "jue jiao"},    {u'还', "huan hai"},     {u'会', "hui kuai"},
    {u'华', "hua"},           {u'弘', "hong"},        {u'率', "lv shuai"},     {u'差', "cha chai ci"},
    {u'莘', "shen xin"},      {u'颉', "jie xie"},     {u'洗', "xi xian"},      {u'冼', "xian"},
};

bool isHan(char32_t c)
{
    return QChar::script(c) == QChar::Script_Han;
}

bool isAsciiLetter(char32_t c)
{
    return c >= 'a' && c <= 'z';
}

readings::Transliterators &transliterators()
{
    static readings::Transliterators t;
    return t;
}

std::mutex &tableMutex()
{
    static std::mutex m;
    return m;
}

std::shared_ptr<const PinyinTable> &publishedTable()
{
    static std::shared_ptr<const PinyinTable> table = PinyinTable::builtIn();
    return table;
}

const std::vector<quint16> &noReadings()
{
    static const std::vector<quint16> none;
    return none;
}

} // namespace

// --- PinyinTable -------------------------------------------------------------------

std::shared_ptr<const PinyinTable> PinyinTable::current()
{
    const std::lock_guard<std::mutex> lock(tableMutex());
    return publishedTable();
}

void PinyinTable::extend(const std::vector<char32_t> &characters)
{
    // One extension at a time: each starts from the table the last one left.
    static std::mutex extending;
    const std::lock_guard<std::mutex> serial(extending);
    const std::shared_ptr<const PinyinTable> before = current();
    std::vector<char32_t> missing;
    for (const char32_t c : characters) {
        if (!before->has(c))
            missing.push_back(c);
    }
    if (missing.empty())
        return;
    auto table = std::make_shared<PinyinTable>(*before);
    readings::Transliterators &icu = transliterators();
    for (const char32_t c : missing) {
        for (const QByteArray &reading : icu.readingsOf(c))
            table->addReading(c, reading);
        // A character ICU cannot read is still known, with no reading.
        table->m_readings.try_emplace(c);
        table->addExtraReadings(c);
    }
    const std::lock_guard<std::mutex> lock(tableMutex());
    publishedTable() = std::move(table);
}

std::shared_ptr<PinyinTable> PinyinTable::builtIn()
{
    auto table = std::make_shared<PinyinTable>();
    for (char32_t c = builtin::kFirst; c <= builtin::kLast; ++c) {
        const char *text = builtin::kReadings[c - builtin::kFirst];
        if (!*text)
            continue;
        for (const QByteArray &reading : QByteArray(text).split(' '))
            table->addReading(c, reading);
        table->addExtraReadings(c);
    }
    return table;
}

void PinyinTable::addExtraReadings(char32_t c)
{
    for (const ExtraReadings &extra : kExtraReadings) {
        if (extra.character != c)
            continue;
        for (const QByteArray &reading : QByteArray(extra.readings).split(' '))
            addReading(c, reading);
    }
}

const std::vector<quint16> &PinyinTable::readings(char32_t c) const
{
    const auto it = m_readings.find(c);
    return it == m_readings.end() ? noReadings() : it->second;
}

QStringList PinyinTable::readingTexts(char32_t c) const
{
    QStringList texts;
    for (const quint16 index : readings(c))
        texts << QString::fromLatin1(m_syllables[index].data());
    return texts;
}

quint16 PinyinTable::syllableIndex(const QByteArray &text)
{
    const auto it = m_syllableIndex.constFind(text);
    if (it != m_syllableIndex.constEnd())
        return it.value();
    Syllable syllable{};
    std::memcpy(syllable.data(), text.constData(), size_t(text.size()));
    m_syllables.push_back(syllable);
    const auto index = quint16(m_syllables.size() - 1);
    m_syllableIndex.insert(text, index);
    return index;
}

void PinyinTable::addReading(char32_t c, const QByteArray &text)
{
    if (text.isEmpty() || text.size() >= int(sizeof(Syllable)))
        return;
    std::vector<quint16> &readings = m_readings[c];
    const auto add = [&](const QByteArray &syllable) {
        const quint16 index = syllableIndex(syllable);
        if (std::find(readings.begin(), readings.end(), index) == readings.end())
            readings.push_back(index);
    };
    add(text);
    // "ü" is typed as v or as u.
    if (text.contains('v'))
        add(QByteArray(text).replace('v', 'u'));
}

// --- Query --------------------------------------------------------------------------

Query Query::parse(const QString &typed)
{
    Query query;
    const QString text = typed.trimmed().toLower();
    query.text = text.toUtf8();
    bool number = false;
    bool pinyin = false;
    bool numberForm = true;
    bool pinyinForm = true;
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        const bool digit = u >= '0' && u <= '9';
        const bool letter = u >= 'a' && u <= 'z';
        number |= digit;
        pinyin |= letter;
        if (!digit && !QStringView(u" -+().,/\t").contains(ch))
            numberForm = false;
        if (!letter && u != ' ' && u != '\'')
            pinyinForm = false;
        if (digit)
            query.digits.append(char(u));
        if (letter)
            query.letters.append(char(u));
    }
    if (!(number && numberForm))
        query.digits.clear();
    if (!(pinyin && pinyinForm))
        query.letters.clear();
    return query;
}

bool Query::narrows(const Query &previous) const
{
    if (previous.isEmpty() || !text.startsWith(previous.text))
        return false;
    const auto within = [](const QByteArray &now, const QByteArray &before) {
        return now.isEmpty() || (!before.isEmpty() && now.startsWith(before));
    };
    return within(digits, previous.digits) && within(letters, previous.letters);
}

// --- ContactIndex -------------------------------------------------------------------

void ContactIndex::clear()
{
    *this = ContactIndex();
}

void ContactIndex::reserve(int contacts, qsizetype fieldBytes)
{
    m_textStart.reserve(size_t(contacts) + 1);
    m_digitStart.reserve(size_t(contacts) + 1);
    m_nameStart.reserve(size_t(contacts) + 1);
    // Lower case takes as many bytes but for a few letters; without the
    // fields' size, about what a contact of a phone book takes. squeeze
    // gives back the rest.
    const size_t text = fieldBytes >= 0 ? size_t(fieldBytes + fieldBytes / 64) + size_t(contacts) * 6
                                        : size_t(contacts) * 128;
    m_text.reserve(text);
    m_digits.reserve(size_t(contacts) * 32);
    m_names.reserve(size_t(contacts) * 3);
}

namespace {

void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(char(c));
    } else if (c < 0x800) {
        out.push_back(char(0xC0 | (c >> 6)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(char(0xE0 | (c >> 12)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (c >> 18)));
        out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    }
}

// field in lower case as UTF-8, in one pass: a store's worth of contacts is
// read while the user waits for the search.
void appendLowered(std::string &out, QByteArrayView field)
{
    for (qsizetype i = 0; i < field.size();) {
        const uchar byte = uchar(field[i]);
        if (byte < 0x80) {
            out.push_back(char(byte >= 'A' && byte <= 'Z' ? byte + ('a' - 'A') : byte));
            ++i;
        } else if (byte >= 0xE3 && byte <= 0xE9 && i + 2 < field.size() &&
                   isContinuation(uchar(field[i + 1])) && isContinuation(uchar(field[i + 2]))) {
            // U+3000 to U+9FFF (CJK, kana, most of a Chinese address) have
            // no case: their bytes are taken as they are.
            out.append(field.data() + i, 3);
            i += 3;
        } else {
            appendUtf8(out, QChar::toLower(nextCodePoint(field, i)));
        }
    }
}

} // namespace

void ContactIndex::append(const Contact &contact)
{
    const QString *fields[] = {&contact.name, &contact.phone, &contact.mobile,
                               &contact.qq,   &contact.email, &contact.address};
    append(fields);
}

void ContactIndex::append(const QString *const (&fields)[6])
{
    QByteArray utf8[6];
    QByteArrayView views[6];
    for (int i = 0; i < 6; ++i) {
        utf8[i] = fields[i]->toUtf8();
        views[i] = utf8[i];
    }
    append(views);
}

void ContactIndex::append(const QByteArrayView (&fields)[6])
{
    for (const QByteArrayView field : fields) {
        m_text.push_back('\1');
        appendLowered(m_text, field);
    }
    m_textStart.push_back(int(m_text.size()));
    for (const QByteArrayView number : {fields[1], fields[2], fields[3]}) {
        m_digits.push_back('|');
        for (const char ch : number) {
            if (ch >= '0' && ch <= '9')
                m_digits.push_back(ch);
        }
    }
    m_digitStart.push_back(int(m_digits.size()));
    const QByteArrayView name = fields[0];
    for (qsizetype i = 0; i < name.size();) {
        char32_t c = nextCodePoint(name, i);
        if (c >= 'A' && c <= 'Z')
            c += 'a' - 'A';
        if (isAsciiLetter(c) || isHan(c))
            m_names.push_back(c);
    }
    m_nameStart.push_back(int(m_names.size()));
}

void ContactIndex::noteInitials(const std::shared_ptr<const PinyinTable> &table)
{
    noteSpellings(*table);
    m_initials.assign(size_t(size()), 0);
    for (int position = 0; position < size(); ++position) {
        quint32 initials = 0;
        for (int i = m_nameStart[size_t(position)]; i < m_nameStart[size_t(position) + 1]; ++i) {
            const quint32 character = m_nameCharacters[size_t(i)];
            for (quint32 k = m_spellingStart[character]; k < m_spellingStart[character + 1]; ++k)
                initials |= 1u << (m_spellings[k].letters[0] - 'a');
        }
        m_initials[size_t(position)] = initials;
    }
    m_initialsTable = table;
}

void ContactIndex::noteSpellings(const PinyinTable &table)
{
    constexpr quint32 kNone = ~quint32(0);
    // Names repeat a few thousand characters of the basic plane.
    std::vector<quint32> basic(0x10000, kNone);
    std::unordered_map<char32_t, quint32> beyond;
    m_nameCharacters.clear();
    m_nameCharacters.reserve(m_names.size());
    m_spellingStart.assign(1, 0);
    m_spellings.clear();
    for (const char32_t c : m_names) {
        quint32 &number = c < 0x10000 ? basic[c] : beyond.try_emplace(c, kNone).first->second;
        if (number == kNone) {
            number = quint32(m_spellingStart.size() - 1);
            if (isAsciiLetter(c)) {
                m_spellings.push_back(Spelling{{char(c)}, 1});
            } else {
                for (const quint16 index : table.readings(c)) {
                    const PinyinTable::Syllable &syllable = table.syllable(index);
                    Spelling spelling{};
                    std::memcpy(spelling.letters, syllable.data(), syllable.size());
                    spelling.length = quint8(strnlen(syllable.data(), syllable.size()));
                    m_spellings.push_back(spelling);
                }
            }
            m_spellingStart.push_back(quint32(m_spellings.size()));
        }
        m_nameCharacters.push_back(number);
    }
    m_nameCharacters.shrink_to_fit();
    m_spellings.shrink_to_fit();
}

namespace {

// Shrinking copies the whole buffer: worth it only for a fair share unused.
template <typename Buffer> void shrink(Buffer &buffer)
{
    if (buffer.capacity() - buffer.size() > buffer.capacity() / 16)
        buffer.shrink_to_fit();
}

} // namespace

void ContactIndex::squeeze()
{
    shrink(m_text);
    shrink(m_digits);
    shrink(m_names);
    shrink(m_textStart);
    shrink(m_digitStart);
    shrink(m_nameStart);
}

std::vector<char32_t> ContactIndex::nameCharacters() const
{
    // Names repeat the same few thousand characters: a bit per character
    // of the basic plane keeps each once without sorting them all.
    std::vector<bool> seen(0x10000, false);
    std::vector<char32_t> characters;
    std::vector<char32_t> beyond;
    for (const char32_t c : m_names) {
        if (isAsciiLetter(c))
            continue;
        if (c >= 0x10000) {
            beyond.push_back(c);
        } else if (!seen[c]) {
            seen[c] = true;
            characters.push_back(c);
        }
    }
    std::sort(beyond.begin(), beyond.end());
    beyond.erase(std::unique(beyond.begin(), beyond.end()), beyond.end());
    characters.insert(characters.end(), beyond.begin(), beyond.end());
    return characters;
}

size_t ContactIndex::memoryBytes() const
{
    return m_text.capacity() + m_digits.capacity() + m_names.capacity() * sizeof(char32_t) +
           (m_textStart.capacity() + m_digitStart.capacity() + m_nameStart.capacity()) * sizeof(int) +
           (m_initials.capacity() + m_nameCharacters.capacity() + m_spellingStart.capacity()) *
               sizeof(quint32) +
           m_spellings.capacity() * sizeof(Spelling);
}

namespace {

// Marks every contact whose slice of buffer holds needle.
void markAll(const std::string &buffer, const std::vector<int> &starts, const QByteArray &needle,
             std::vector<char> &marks)
{
    const char *data = buffer.data();
    const size_t end = size_t(buffer.size());
    size_t from = 0;
    size_t contact = 0;
    while (from < end) {
        const void *at = memmem(data + from, end - from, needle.constData(), size_t(needle.size()));
        if (!at)
            return;
        const auto position = int(static_cast<const char *>(at) - data);
        while (starts[contact + 1] <= position)
            ++contact;
        marks[contact] = 1;
        // The rest of this contact need not be read.
        from = size_t(starts[contact + 1]);
    }
}

// Whether needle starts anywhere from from up to last (where a whole needle
// still fits). One contact's slice is a hundred bytes or so, and a
// refinement looks into one per earlier hit: with SSE2 sixteen places are
// tried at once on the needle's first two bytes, which costs less than
// memmem's set-up and than a memchr per occurrence of a common first byte
// (every "1" of the numbers when "139" is typed).
bool holdsFrom(const char *from, const char *last, const QByteArray &needle)
{
    const size_t m = size_t(needle.size());
    const char *at = from;
#if defined(__SSE2__)
    if (m >= 2) {
        const __m128i first = _mm_set1_epi8(needle[0]);
        const __m128i second = _mm_set1_epi8(needle[1]);
        // Sixteen places from at, reading one byte beyond the last of them,
        // which the needle's second byte covers.
        for (; last - at >= 15; at += 16) {
            const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
            const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at + 1));
            auto places = unsigned(
                _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(here, first), _mm_cmpeq_epi8(next, second))));
            for (; places; places &= places - 1) {
                const int k = __builtin_ctz(places);
                if (std::memcmp(at + k + 2, needle.constData() + 2, m - 2) == 0)
                    return true;
            }
        }
    }
#endif
    for (; at <= last; ++at) {
        if (*at == needle[0] && std::memcmp(at + 1, needle.constData() + 1, m - 1) == 0)
            return true;
    }
    return false;
}

bool sliceHolds(const std::string &buffer, const std::vector<int> &starts, int position,
                const QByteArray &needle)
{
    const size_t m = size_t(needle.size());
    const char *from = buffer.data() + starts[size_t(position)];
    const char *to = buffer.data() + starts[size_t(position) + 1];
    if (m == 0 || size_t(to - from) < m)
        return m == 0;
    return holdsFrom(from, to - m, needle);
}

} // namespace

bool ContactIndex::textHits(int position, const Query &query) const
{
    return sliceHolds(m_text, m_textStart, position, query.text);
}

bool ContactIndex::digitsHit(int position, const Query &query) const
{
    return !query.digits.isEmpty() && sliceHolds(m_digits, m_digitStart, position, query.digits);
}

// Walks the name's characters with the set of query positions reachable
// before each one (bit i: the first i letters are matched). A character
// takes a whole reading or any beginning of one, so "zhurongji", "zrj" and
// "zhurj" all find 朱镕基; a match may start at any character.
// eachSpelling(i, consume) hands every spelling of the name's character i
// to consume(letters, length) until that returns true.
template <typename EachSpelling>
bool ContactIndex::spells(int position, const QByteArray &letters, EachSpelling &&eachSpelling) const
{
    const int m = int(letters.size());
    quint64 reach = 0;
    const int from = m_nameStart[size_t(position)];
    const int to = m_nameStart[size_t(position) + 1];
    for (int i = from; i < to; ++i) {
        reach |= 1;
        quint64 next = 0;
        const auto consume = [&](const char *syllable, int length) {
            for (quint64 bits = reach; bits; bits &= bits - 1) {
                const int at = __builtin_ctzll(bits);
                int k = 0;
                while (k < length && at + k < m && syllable[k] == letters[at + k])
                    ++k;
                if (k == 0)
                    continue;
                if (at + k == m)
                    return true;
                next |= ((quint64(1) << k) - 1) << (at + 1);
            }
            return false;
        };
        if (eachSpelling(i, consume))
            return true;
        reach = next;
    }
    return false;
}

bool ContactIndex::pinyinHits(int position, const Query &query, const PinyinTable &table) const
{
    const QByteArray &letters = query.letters;
    if (letters.isEmpty() || letters.size() > 63)
        return false;
    if (m_initialsTable.get() == &table) {
        if (!(m_initials[size_t(position)] & (1u << (letters[0] - 'a'))))
            return false;
        if (letters.size() == 1)
            return true; // a reading starts with it
        return spells(position, letters, [this](int i, const auto &consume) {
            const quint32 character = m_nameCharacters[size_t(i)];
            for (quint32 k = m_spellingStart[character]; k < m_spellingStart[character + 1]; ++k) {
                if (consume(m_spellings[k].letters, m_spellings[k].length))
                    return true;
            }
            return false;
        });
    }
    return spells(position, letters, [this, &table](int i, const auto &consume) {
        const char32_t c = m_names[size_t(i)];
        if (isAsciiLetter(c)) {
            const char letter = char(c);
            return bool(consume(&letter, 1));
        }
        for (const quint16 index : table.readings(c)) {
            const PinyinTable::Syllable &syllable = table.syllable(index);
            if (consume(syllable.data(), int(strnlen(syllable.data(), syllable.size()))))
                return true;
        }
        return false;
    });
}

bool ContactIndex::hits(int position, const Query &query, const PinyinTable &table) const
{
    if (position < 0 || position >= size() || query.isEmpty())
        return false;
    return textHits(position, query) || digitsHit(position, query) || pinyinHits(position, query, table);
}

std::vector<int> ContactIndex::find(const Query &query, const PinyinTable &table,
                                    const std::vector<int> *among) const
{
    std::vector<int> found;
    if (query.isEmpty())
        return found;
    // A refinement: every hit is one of the earlier hits, so only those are
    // read, however many they are.
    if (among) {
        found.reserve(among->size());
        for (const int position : *among) {
            if (hits(position, query, table))
                found.push_back(position);
        }
        return found;
    }
    // Fields and numbers: one scan of the whole index, quicker than a look
    // into each contact.
    const int count = size();
    std::vector<char> marks(size_t(count), 0);
    markAll(m_text, m_textStart, query.text, marks);
    if (!query.digits.isEmpty())
        markAll(m_digits, m_digitStart, query.digits, marks);
    // Pinyin, the costly part, only where the fields did not hit.
    if (!query.letters.isEmpty()) {
        for (int position = 0; position < count; ++position) {
            if (!marks[size_t(position)] && pinyinHits(position, query, table))
                marks[size_t(position)] = 1;
        }
    }
    for (int position = 0; position < count; ++position) {
        if (marks[size_t(position)])
            found.push_back(position);
    }
    return found;
}

bool matches(const QString &typed, const Contact &contact)
{
    ContactIndex index;
    index.append(contact);
    PinyinTable::extend(index.nameCharacters());
    return index.hits(0, Query::parse(typed), *PinyinTable::current());
}

} // namespace quennet::search

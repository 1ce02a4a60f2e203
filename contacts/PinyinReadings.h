#pragma once

// The pinyin readings ICU gives one Han character, as the search keeps them:
// shared by the search (for characters beyond its built-in table) and by
// tools/pinyingen, which writes that table when the program is built.

#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

namespace quennet::search::readings {

// The longest syllable has six letters ("zhuang").
constexpr int kMaxSyllable = 6;

// "zhū" -> "zhu", "lǜ" -> "lv"; empty for anything that is not one syllable.
inline QByteArray fold(const icu::UnicodeString &reading)
{
    const QString text =
        QString::fromUtf16(reinterpret_cast<const char16_t *>(reading.getBuffer()), reading.length())
            .normalized(QString::NormalizationForm_D)
            .toLower();
    QByteArray folded;
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u >= 'a' && u <= 'z')
            folded.append(char(u));
        else if (u == 0x0308 && folded.endsWith('u'))
            folded[folded.size() - 1] = 'v';
        else if (!ch.isMark())
            return QByteArray();
    }
    return folded.size() <= kMaxSyllable ? folded : QByteArray();
}

// Han-Latin/Names reads a character as a surname (单 shan, 曾 zeng), Han-Latin
// as it is read elsewhere (dan, ceng). Setting them up takes about 100 ms.
class Transliterators {
public:
    Transliterators()
    {
        UErrorCode status = U_ZERO_ERROR;
        m_names.reset(icu::Transliterator::createInstance(icu::UnicodeString("Han-Latin/Names"),
                                                          UTRANS_FORWARD, status));
        status = U_ZERO_ERROR;
        m_common.reset(
            icu::Transliterator::createInstance(icu::UnicodeString("Han-Latin"), UTRANS_FORWARD, status));
    }

    // The surname reading first, then the common one when it differs.
    QList<QByteArray> readingsOf(char32_t c)
    {
        QList<QByteArray> found;
        for (icu::Transliterator *t : {m_names.get(), m_common.get()}) {
            if (!t)
                continue;
            icu::UnicodeString text{UChar32(c)};
            t->transliterate(text);
            const QByteArray reading = fold(text);
            if (!reading.isEmpty() && !found.contains(reading))
                found.append(reading);
        }
        return found;
    }

private:
    std::unique_ptr<icu::Transliterator> m_names;
    std::unique_ptr<icu::Transliterator> m_common;
};

} // namespace quennet::search::readings

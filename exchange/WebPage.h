#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QIODevice;

namespace quennet::exchange {

// Colour values: red in the low byte, green in the next, blue in the third.
// Only the data cells' background may be transparent (high byte 255).
constexpr quint32 kTransparentColour = 0xFF000000u;
constexpr quint32 kBlack = 0x000000u;
constexpr quint32 kWhite = 0xFFFFFFu;
constexpr quint32 kLightGrey = 0xECECECu;

// "#RRGGBB", each channel two upper-case hexadecimal digits.
QString colourText(quint32 value);

// The five choices behind one piece of font markup.
struct WebFont {
    quint32 colour = kBlack; // black gives no color attribute
    int sizeIndex = 0;       // 0 "普通" (no size attribute), 1 to 7
    QString face;            // empty: no face attribute
    bool bold = false;
    bool italic = false;
};

enum class WebAlignment { Left, Center, Right };

// Everything the two tabs of the web-page window gather; the defaults are
// the window's.
struct WebPageOptions {
    // Page settings.
    QString title;
    QString caption; // no caption paragraph when empty
    WebFont captionFont{kBlack, 5, QString(), true, false};
    quint32 pageColour = kWhite; // white gives no bgcolor
    bool pagePictureOn = false;
    QString pagePicture;
    bool topMarginOn = false;
    QString topMargin; // written as typed
    bool leftMarginOn = false;
    QString leftMargin;
    bool collapseBorders = false;
    WebAlignment alignment = WebAlignment::Left;

    // Table settings.
    quint32 headerBackground = kLightGrey;
    WebFont headerFont{kBlack, 0, QString(), true, false};
    quint32 dataBackground = kTransparentColour;
    WebFont dataFont;
    bool alternateRowsOn = false;
    quint32 alternateBackground = kLightGrey;
    QString cellPadding = QStringLiteral("1");
    QString cellSpacing = QStringLiteral("2");
    QString border = QStringLiteral("1");
    quint32 lightBorder = 0xC0C0C0u;
    quint32 darkBorder = 0x808080u;
    bool tablePictureOn = false;
    QString tablePicture;
    bool headerPictureOn = false;
    QString headerPicture;
};

// The records a page shows: count records, each read once by number
// (1..count) as its values in the order of the field names.
struct WebRecords {
    int count = 0;
    std::function<QStringList(int number)> row;
};

// Called as the build advances: position runs from 1 to maximum = count + 3
// (one step for the header row, one per record, two for the end).
using WebProgress = std::function<void(int position, int maximum)>;

// Writes the styled page with one table column per field name and one row
// per record, as GBK bytes with CR LF line breaks. Contact values and field
// names are HTML-escaped; the title, caption, face names and picture URLs
// are the user's own markup and go in as typed. Every run of two spaces in
// the page becomes one. False when the device did not take every byte.
bool writeWebPage(QIODevice &out, const QStringList &fieldNames, const WebRecords &records,
                  const WebPageOptions &options, const WebProgress &progress = {});

} // namespace quennet::exchange

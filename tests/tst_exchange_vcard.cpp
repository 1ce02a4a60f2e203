// vCard and CSV readers and writers. The files in tests/data/readers hold
// what phones and programs write (card shapes, escapes, quoted-printable,
// folding, line ends, CSV quoting and encodings), each beside the listing of
// what must be read from it; here are the refusals, limits, the writers and
// round trips.

#include "exchange/CsvReader.h"
#include "exchange/CsvWriter.h"
#include "exchange/VCardReader.h"
#include "exchange/VCardWriter.h"
#include "support/ContactReading.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTest>

using namespace quennet;
using namespace quennet::exchange;

namespace {

rules::ContactInput fields(const QString &name, const QString &phone = {}, const QString &mobile = {},
                           const QString &qq = {}, const QString &email = {}, const QString &address = {})
{
    return {0, name, phone, mobile, qq, email, address};
}

QList<rules::ContactInput> contactsOf(const QList<ReadContact> &read)
{
    QList<rules::ContactInput> out;
    for (const ReadContact &c : read)
        out << c.fields;
    return out;
}

struct Reading {
    ReadSummary summary;
    QList<rules::ContactInput> contacts;
};

Reading readWith(ReadSummary (*reader)(const QByteArray &, const ContactSink &), const QByteArray &bytes)
{
    const test::ReadAll read = test::readAll([&](const ContactSink &sink) { return reader(bytes, sink); });
    return {read.summary, contactsOf(read.contacts)};
}

QStringList values(const rules::ContactInput &c)
{
    return c.values();
}

using BytesReader = ReadSummary (*)(const QByteArray &, const ContactSink &);
using DeviceReader = ReadSummary (*)(QIODevice &, const ContactSink &);

QList<bool> cutsOf(const QList<ReadContact> &read)
{
    QList<bool> cuts;
    for (const ReadContact &c : read)
        cuts << c.cut;
    return cuts;
}

// --- listings of the files in tests/data/readers ---------------------------------
//
// A .csv file is read as CSV, any other as vCard. The listing of what the
// reader gave has one line each, columns separated by TAB:
//   <number> <name> <phone> <mobile> <QQ> <email> <address> [cut]
//   left <number> <what was left out of that contact>
//   dropped <property or column> <count>
//   encoding <name>
//   refused <text>
// A TAB or line break inside a value is shown as its control picture
// (U+2409, U+240A, U+240D). In a .expected file, blank lines and lines
// starting with '#' are comments. Empty columns at the end of a line are
// left out, and white space at the end of a line is not compared.

const QString kReaderData = QStringLiteral("/tests/data/readers/");

QString shown(QString value)
{
    return value.replace(QLatin1Char('\t'), QChar(0x2409))
        .replace(QLatin1Char('\n'), QChar(0x240A))
        .replace(QLatin1Char('\r'), QChar(0x240D));
}

QString withoutTrailingSpace(QString line)
{
    while (!line.isEmpty() && line.back().isSpace())
        line.chop(1);
    return line;
}

QStringList listing(const test::ReadAll &read)
{
    QStringList lines;
    if (read.summary.refused)
        lines << QStringLiteral("refused\t") + shown(read.summary.refusal);
    for (const ReadContact &c : read.contacts) {
        QStringList columns{QString::number(c.number)};
        for (const QString &value : c.fields.values())
            columns << shown(value);
        if (c.cut)
            columns << QStringLiteral("cut");
        lines << withoutTrailingSpace(columns.join(QLatin1Char('\t')));
        for (const QString &left : c.leftOut)
            lines << QStringLiteral("left\t%1\t%2").arg(c.number).arg(shown(left));
    }
    for (auto it = read.summary.dropped.cbegin(); it != read.summary.dropped.cend(); ++it)
        lines << QStringLiteral("dropped\t%1\t%2").arg(shown(it.key())).arg(it.value());
    if (!read.summary.encoding.isEmpty())
        lines << QStringLiteral("encoding\t") + read.summary.encoding;
    return lines;
}

QStringList expectedListing(const QByteArray &text)
{
    QStringList lines;
    for (const QString &line : QString::fromUtf8(text).split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty() && !line.startsWith(QLatin1Char('#')))
            lines << withoutTrailingSpace(line);
    }
    return lines;
}

// Both listings line by line: "  " the same, "- " expected only, "+ " read only.
QString difference(const QStringList &expected, const QStringList &read)
{
    QString text;
    for (qsizetype i = 0; i < qMax(expected.size(), read.size()); ++i) {
        if (i < expected.size() && i < read.size() && expected.at(i) == read.at(i)) {
            text += QStringLiteral("\n  ") + read.at(i);
            continue;
        }
        if (i < expected.size())
            text += QStringLiteral("\n- ") + expected.at(i);
        if (i < read.size())
            text += QStringLiteral("\n+ ") + read.at(i);
    }
    return text;
}

} // namespace

class ExchangeVCardTest : public QObject {
    Q_OBJECT

private slots:
    // --- files in tests/data/readers ---------------------------------------------

    // Each file beside its <file>.expected, and each .expected without its file.
    void readsTheDataFiles_data()
    {
        QTest::addColumn<QString>("path");
        const QDir dir(qEnvironmentVariable("QUENNET_SOURCE_DIR") + kReaderData);
        QStringList inputs;
        for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
            const QString input = name.endsWith(QLatin1String(".expected")) ? name.chopped(9) : name;
            if (!inputs.contains(input))
                inputs << input;
        }
        if (inputs.isEmpty())
            QTest::newRow("no files") << dir.path();
        for (const QString &input : inputs)
            QTest::newRow(qPrintable(input)) << dir.filePath(input);
    }

    // A file read whole and read a byte at a time gives its expected listing.
    void readsTheDataFiles()
    {
        QFETCH(QString, path);
        QFile file(path), expected(path + QStringLiteral(".expected"));
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(QStringLiteral("cannot read ") + path));
        test::TrickleDevice trickle(file.readAll(), 1);
        file.seek(0);
        // Without a .expected file every line read shows as a difference.
        const QStringList want =
            expectedListing(expected.open(QIODevice::ReadOnly) ? expected.readAll() : QByteArray());
        const DeviceReader read = path.endsWith(QLatin1String(".csv")) ? readCsv : readVCards;
        for (QIODevice *device : {static_cast<QIODevice *>(&file), static_cast<QIODevice *>(&trickle)}) {
            const QStringList got =
                listing(test::readAll([&](const ContactSink &sink) { return read(*device, sink); }));
            const QString how =
                device == &file ? QStringLiteral("whole") : QStringLiteral("a byte at a time");
            QVERIFY2(got == want, qPrintable(path + QStringLiteral(" read ") + how +
                                             QStringLiteral(" gives:") + difference(want, got)));
        }
    }

    // --- vCard ---------------------------------------------------------------------

    void readsSeveralCardsAndRefusesOtherFiles()
    {
        const QByteArray two = "BEGIN:VCARD\nVERSION:3.0\nFN:甲\nEND:VCARD\n\n"
                               "begin:vcard\nversion:3.0\nfn:乙\nend:vcard\n";
        const Reading read = readWith(readVCardBytes, two);
        QCOMPARE(read.contacts.size(), 2);
        QCOMPARE(read.contacts.at(1).name, QStringLiteral("乙"));
        for (const QByteArray &other : {QByteArray(), QByteArray("姓名,手机\n"), QByteArray("\x89PNG\r\n")})
            QVERIFY(readWith(readVCardBytes, other).summary.refused);
        // A soft break at the end of a card does not swallow its end.
        const QByteArray cut =
            "BEGIN:VCARD\nVERSION:2.1\nFN;ENCODING=QUOTED-PRINTABLE:=E7=94=B2=\nEND:VCARD\n"
            "BEGIN:VCARD\nFN:乙\nEND:VCARD\n";
        const Reading soft = readWith(readVCardBytes, cut);
        QCOMPARE(soft.contacts.size(), 2);
        QCOMPARE(soft.contacts.at(0).name, QStringLiteral("甲"));
    }

    void sinkStopsReading()
    {
        int seen = 0;
        const ReadSummary summary = readVCardBytes(QByteArray("BEGIN:VCARD\nFN:a\nEND:VCARD\n").repeated(5),
                                                   [&seen](ReadContact &&) { return ++seen < 2; });
        QVERIFY(summary.stopped);
        QCOMPARE(seen, 2);
    }

    // --- CSV ---------------------------------------------------------------------

    void emptyCsvIsRefusedButHeaderOnlyIsNot()
    {
        QVERIFY(readWith(readCsvBytes, QByteArray()).summary.refused);
        QVERIFY(readWith(readCsvBytes, QByteArray("\n\n")).summary.refused);
        QVERIFY(!readWith(readCsvBytes, QByteArray("姓名,手机\r\n")).summary.refused);
    }

    // --- inputs the fuzzer found ---------------------------------------------------

    // Read whole and one byte per read, each gives the same contacts.
    void readsTheSameInPieces_data()
    {
        QTest::addColumn<bool>("csv");
        QTest::addColumn<QByteArray>("file");
        // The BOM was missed when the first read gave less than three bytes.
        QTest::newRow("csv bom in short reads")
            << true
            << QByteArray("\xEF\xBB\xBF\xE5\xA7\x93\xE5\x90\x8D,\xE6\x89\x8B\xE6\x9C\xBA,\xE9\x82\xAE\xE7PN"
                          "\xF2\xF5\xE6\x9D\x8E\xE5\x9B\x9B,13900000002,l@x.cn\r\n");
        // A broken UTF-8 sequence split between two reads lost the byte after it.
        QTest::newRow("csv broken utf-8 across reads")
            << true
            << QByteArray("\xEF\xBB\xBF\xE5\xA7\x93\xE5\x65\x90\x8D,\xE7\x94\xB5\xE8\xAF\x9D\r\n"
                          "'=1+1,'-\r\n");
        // A broken GB18030 sequence split between two reads resynchronised
        // elsewhere than in one piece.
        QTest::newRow("csv broken gb18030 across reads")
            << true
            << QByteArray("\xD0\x61\xC3\xFB\x2C\xB5\xE7\xBB\xB0\x7E\x2C\xCA\x7C\xD6\xBB\xFA\x2C\xB5\xD8\xD6"
                          "\x30\x30\x00\x00\x00\x00\x00\x00\x00\x00\xD0\x95\x32\x82\x36\xC2\xB7\x0D\x0A",
                          39);
        // The separator was judged on the first line end, though inside
        // quotes, when reading in pieces, and on more text read whole.
        QTest::newRow("csv quoted line end in the first record")
            << true
            << QByteArray(
                   "\x00\x30\x30\x30\x30\x33\x2C\x7A\x43\x43\x40\x01\x00\x00\x00\x00\x10\x00\x00\x22\x0D\x0A"
                   "\xA3\xCA\x6F\x6E\x65\x3B\x43\x6F\x6D\x70\x61\x6E\x79\x0A\x61\x40\x62\x2E\x63\x3B\x22\x53"
                   "\x6D\x69\x74\x68\x3B\x20\x4A\x6F\x68\x6E\x22\x3B\x2B\x38\x36\x20\xD0\x95\x31\x82\x36\xC2"
                   "\xB7\x79\x0A\x61\x40\x62\x2E\x63\x3B\x22\x53\x6D\x69\x74\x68\x3B\x0D\x0A",
                   84);
    }

    void readsTheSameInPieces()
    {
        QFETCH(bool, csv);
        QFETCH(QByteArray, file);
        const BytesReader whole = csv ? readCsvBytes : readVCardBytes;
        const DeviceReader pieces = csv ? readCsv : readVCards;
        const test::ReadAll one = test::readAll([&](const ContactSink &sink) { return whole(file, sink); });
        test::TrickleDevice device(file, 1);
        const test::ReadAll other =
            test::readAll([&](const ContactSink &sink) { return pieces(device, sink); });
        QCOMPARE(other.summary.refused, one.summary.refused);
        QCOMPARE(other.summary.dropped, one.summary.dropped);
        QCOMPARE(other.contacts.size(), one.contacts.size());
        for (qsizetype i = 0; i < one.contacts.size(); ++i)
            QCOMPARE(values(other.contacts.at(i).fields), values(one.contacts.at(i).fields));
    }

    // A line, field, card or row longer than a reader keeps is cut, its
    // contact is marked, and reading goes on with the next one.
    void cutsWhatIsTooLongToKeep_data()
    {
        QTest::addColumn<bool>("csv");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QList<bool>>("cuts");
        const QByteArray over(kMaxKeptLine + 1, 'a');
        const QByteArray next = "BEGIN:VCARD\nFN:last\nEND:VCARD\n";
        QTest::newRow("vcard long name")
            << false << "BEGIN:VCARD\nFN:" + over + "\nEND:VCARD\n" + next << QList<bool>{true, false};
        QTest::newRow("vcard long dropped photo")
            << false << "BEGIN:VCARD\nFN:x\nPHOTO;ENCODING=BASE64:" + over + "\r\nEND:VCARD\r\n" + next
            << QList<bool>{false, false};
        QTest::newRow("vcard long folded name")
            << false
            << "BEGIN:VCARD\nFN:" + QByteArray("\r\n a").repeated(kMaxKeptLine) + "\nEND:VCARD\n" + next
            << QList<bool>{true, false};
        QTest::newRow("vcard long soft breaks")
            << false
            << "BEGIN:VCARD\nFN;ENCODING=QUOTED-PRINTABLE:" +
                   QByteArray("=41=\n").repeated(kMaxKeptLine / 2) + "=41\nEND:VCARD\n" + next
            << QList<bool>{true, false};
        QTest::newRow("vcard too many lines")
            << false
            << "BEGIN:VCARD\nFN:x\n" + QByteArray("NOTE:x\n").repeated(kMaxKeptRecord / 64) + "END:VCARD\n" +
                   next
            << QList<bool>{true, false};
        QTest::newRow("csv long quoted field") << true << "姓名,地址\nx,\"" + over + "\"\nlast,y\n"
                                               << QList<bool>{true, false};
        QTest::newRow("csv too many fields") << true << "x" + QByteArray(kMaxKeptRecord / 8, ',') + "\nlast\n"
                                             << QList<bool>{true, false};
        QTest::newRow("csv one endless line") << true << over << QList<bool>{true};
    }

    void cutsWhatIsTooLongToKeep()
    {
        QFETCH(bool, csv);
        QFETCH(QByteArray, file);
        QFETCH(QList<bool>, cuts);
        const BytesReader read = csv ? readCsvBytes : readVCardBytes;
        const test::ReadAll found = test::readAll([&](const ContactSink &sink) { return read(file, sink); });
        QCOMPARE(cutsOf(found.contacts), cuts);
        if (cuts.size() > 1)
            QCOMPARE(found.contacts.last().fields.name, QStringLiteral("last"));
    }

    void countsFewDroppedNames()
    {
        QByteArray card = "BEGIN:VCARD\nFN:x\nX-" + QByteArray(1000, 'N') + ":v\n";
        for (int i = 0; i < 2 * kMaxDroppedNames; ++i)
            card += "X-N" + QByteArray::number(i) + ":v\n";
        const Reading read = readWith(readVCardBytes, card + "END:VCARD\n");
        QCOMPARE(read.summary.dropped.size(), kMaxDroppedNames + 1);
        QCOMPARE(read.summary.droppedTotal(), 2 * kMaxDroppedNames + 1);
        QVERIFY(read.summary.dropped.contains(QStringLiteral("X-") + QString(62, QLatin1Char('N'))));
    }

    // --- writers -----------------------------------------------------------------

    void vcard30FoldsAndEscapes()
    {
        const QString longAddress = QString(40, QChar(0x8DEF)) + QStringLiteral("; 1, 2\\");
        const QByteArray card = VCardWriter::card(
            fields("张三", "010-1", "13900000001", "123", {}, longAddress), VCardVersion::V30);
        QVERIFY(card.startsWith("BEGIN:VCARD\r\nVERSION:3.0\r\nPRODID:-//Quennet//Contacts//"
                                "ZH\r\nN:张;三;;;\r\nFN:张三\r\nUID:"));
        // The same contact gets the same UID in every export.
        QCOMPARE(card.mid(card.indexOf("UID:"), 41),
                 VCardWriter::card(fields("张三"), VCardVersion::V30).mid(card.indexOf("UID:"), 41));
        QVERIFY(card.contains("TEL;TYPE=CELL:13900000001\r\n"));
        QVERIFY(card.contains("TEL;TYPE=HOME:010-1\r\n"));
        QVERIFY(card.contains("X-QQ:123\r\n"));
        QVERIFY(!card.contains("EMAIL"));
        for (const QByteArray &line : card.split('\n')) {
            QVERIFY2(line.size() <= 76, line.constData());     // 75 octets and the CR
            QVERIFY(QString::fromUtf8(line).toUtf8() == line); // no UTF-8 sequence cut
        }
        QVERIFY(QByteArray(card).replace("\r\n ", "").contains("\\; 1\\, 2\\\\;;;;"));
    }

    void vcard21UsesQuotedPrintableWhereNeeded()
    {
        const QByteArray card = VCardWriter::card(
            fields("Li Si", {}, "13900000001", {}, "li@x.cn", QStringLiteral("上海")), VCardVersion::V21);
        QVERIFY(card.contains("VERSION:2.1\r\n"));
        QVERIFY(card.contains("FN:Li Si\r\n"));
        QVERIFY(card.contains("TEL;CELL:13900000001\r\n"));
        QVERIFY(
            card.contains("ADR;HOME;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:;;=E4=B8=8A=E6=B5=B7;;;;\r\n"));
    }

    // Readers decode each line of a quoted-printable value on its own: a soft
    // break never splits a character, and no line is longer than 76.
    void vcard21SoftBreaksOnlyBetweenCharacters()
    {
        const QString address =
            QString(30, QChar(0x5E02)) + QStringLiteral("路 1号 ") + QString(40, QChar(0x5730));
        const QByteArray card =
            VCardWriter::card(fields(QString(30, QChar(0x540D)), {}, {}, {}, {}, address), VCardVersion::V21);
        int softBreaks = 0;
        for (QByteArray line : card.split('\n')) {
            line.chop(line.endsWith('\r') ? 1 : 0);
            QVERIFY2(line.size() <= 76, line.constData());
            const qsizetype colon = line.indexOf(':');
            QByteArray encoded = line.startsWith('=') || colon < 0 ? line : line.mid(colon + 1);
            if (encoded.endsWith('=')) {
                encoded.chop(1);
                ++softBreaks;
            }
            const QByteArray bytes = QByteArray::fromPercentEncoding(encoded.replace('=', '%'));
            QVERIFY2(QString::fromUtf8(bytes).toUtf8() == bytes, line.constData());
        }
        QVERIFY(softBreaks >= 6);
        const Reading read = readWith(readVCardBytes, card);
        QCOMPARE(read.contacts.value(0).address, address);
    }

    void csvWriterQuotesAndGuardsFormulas()
    {
        QCOMPARE(csvField(QStringLiteral("a,b")), QStringLiteral("\"a,b\""));
        QCOMPARE(csvField(QStringLiteral("say \"x\"")), QStringLiteral("\"say \"\"x\"\"\""));
        QCOMPARE(csvField(QStringLiteral("=HYPERLINK(1)")), QStringLiteral("'=HYPERLINK(1)"));
        QCOMPARE(csvField(QStringLiteral("+86 139 0000 0000")), QStringLiteral("+86 139 0000 0000"));
        QCOMPARE(csvField(QStringLiteral("-cmd")), QStringLiteral("'-cmd"));
        QCOMPARE(csvField(QStringLiteral("+１３９ (٣)")), QStringLiteral("+１３９ (٣)"));
    }

    // A row or card written from a store's bytes is the one of their text:
    // bytes that are not UTF-8, a leading byte order mark (the text drops it),
    // values whose quoting or formula guard looks past ASCII, names split at
    // a space or after a surname, and folds next to a UTF-8 sequence.
    void rowAndCardFromStoredBytesAreThoseOfTheirText_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("not utf-8") << QByteArray("A\x80\xFF,\xE5\xBC");
        QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF+x, y ");
        QTest::newRow("mark inside") << QByteArray("a\xEF\xBB\xBF");
        QTest::newRow("other digits") << QByteArray("+\xEF\xBC\x91\xEF\xBC\x93 (\xD9\xA3)");
        QTest::newRow("not digits") << QByteArray("-\xE5\xBC\xA0");
        QTest::newRow("quotes") << QByteArray("\xE5\xBC\xA0 \"x\";\t");
        QTest::newRow("only a mark") << QByteArray("\xEF\xBB\xBF");
        QTest::newRow("spaces in a name") << QByteArray(" Ann \t Lee, Jr;\\");
        QTest::newRow("surname") << QByteArray("\xE6\xAC\xA7\xE9\x98\xB3\xE5\xA8\x9C");
        QTest::newRow("surname alone") << QByteArray("\xE6\xAC\xA7\xE9\x98\xB3");
        QTest::newRow("one character") << QByteArray("\xE5\xBC\xA0");
        QTest::newRow("beyond the BMP first") << QByteArray("\xF0\xA0\x80\x80\xE4\xB8\x89");
        QTest::newRow("beyond the BMP alone") << QByteArray("\xF0\xA0\x80\x80");
        QTest::newRow("Han after Latin") << QByteArray("Li\xE6\x9D\x8E");
        QTest::newRow("accented") << QByteArray("Jos\xC3\xA9");
        QTest::newRow("Han with a space") << QByteArray("\xE5\xBC\xA0 \xE4\xB8\x89");
        QTest::newRow("ideographic space") << QByteArray("\xE5\xBC\xA0\xE3\x80\x80\xE4\xB8\x89");
        QTest::newRow("no-break space before a space") << QByteArray("Ann\xC2\xA0 Lee");
        QTest::newRow("folded") << QByteArray("x,").repeated(20) + QByteArray("\xE5\xBC\xA0").repeated(30);
    }

    void rowAndCardFromStoredBytesAreThoseOfTheirText()
    {
        QFETCH(QByteArray, stored);
        for (const CsvEncoding encoding : {CsvEncoding::Utf8Bom, CsvEncoding::Gb18030}) {
            QBuffer fromBytes;
            QBuffer fromText;
            fromBytes.open(QIODevice::WriteOnly);
            fromText.open(QIODevice::WriteOnly);
            CsvWriter bytesWriter(fromBytes, encoding);
            CsvWriter textWriter(fromText, encoding);
            QVERIFY(bytesWriter.write(CsvWriter::Utf8Values{stored, {}, {}, {}, {}, stored}));
            QVERIFY(textWriter.write(
                fields(QString::fromUtf8(stored), {}, {}, {}, {}, QString::fromUtf8(stored))));
            QVERIFY(bytesWriter.finish() && textWriter.finish());
            QCOMPARE(fromBytes.data(), fromText.data());
        }
        const VCardWriter::Utf8Values values{stored, stored, {}, {}, {}, stored};
        const rules::ContactInput text = fields(QString::fromUtf8(stored), QString::fromUtf8(stored), {}, {},
                                                {}, QString::fromUtf8(stored));
        for (const VCardVersion version : {VCardVersion::V30, VCardVersion::V21})
            QCOMPARE(VCardWriter::card(values, version), VCardWriter::card(text, version));
    }

    // A name that begins beyond the BMP keeps its first character whole.
    void aNameSplitsAfterAWholeCharacter()
    {
        const QByteArray card = VCardWriter::card(fields(QStringLiteral("𠀀三")), VCardVersion::V30);
        QVERIFY2(card.contains("\r\nN:𠀀;三;;;\r\n"), card.constData());
    }

    void roundTripKeepsTheSixFields_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("vcard 3.0") << 0;
        QTest::newRow("vcard 2.1") << 1;
        QTest::newRow("csv utf-8") << 2;
        QTest::newRow("csv gb18030") << 3;
    }

    void roundTripKeepsTheSixFields()
    {
        QFETCH(int, format);
        const QList<rules::ContactInput> contacts = {
            fields("张三", "010-6666 8888", "13900000001", "12345", "z@x.cn", "北京市海淀区; 中关村, 1号"),
            fields("欧阳娜娜", {}, "13900000002"),
            fields("John Smith", "+1 415 555 0100", {}, {}, "j@x.com", "1 Main St\\Apt 2"),
            fields("=1+1", "-", {}, {}, {}, QString(50, QChar(0x5730)) + QStringLiteral("=末尾 ")),
            fields("Ｘ"),
            // Spaces around a name and line breaks in an address come back.
            fields(" 张三丰 ", {}, "13900000003", {}, {},
                   QStringLiteral("北京市海淀区\n中关村大街1号\n100080")),
            fields("  Mary  ", {}, {}, {}, {}, QStringLiteral(" 1 Main St\nApt 2 ")),
        };
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        bool ok = true;
        if (format < 2) {
            VCardWriter writer(buffer, format == 0 ? VCardVersion::V30 : VCardVersion::V21);
            for (const auto &c : contacts)
                ok = writer.write(c) && ok;
            ok = writer.finish() && ok;
        } else {
            CsvWriter writer(buffer, format == 2 ? CsvEncoding::Utf8Bom : CsvEncoding::Gb18030);
            for (const auto &c : contacts)
                ok = writer.write(c) && ok;
            ok = writer.finish() && ok;
        }
        QVERIFY(ok);
        const Reading read = readWith(format < 2 ? readVCardBytes : readCsvBytes, buffer.data());
        QCOMPARE(read.contacts.size(), contacts.size());
        for (qsizetype i = 0; i < contacts.size(); ++i)
            QCOMPARE(values(read.contacts.at(i)), values(contacts.at(i)));
        QCOMPARE(read.summary.droppedTotal(), 0);
    }
};

QTEST_GUILESS_MAIN(ExchangeVCardTest)
#include "tst_exchange_vcard.moc"

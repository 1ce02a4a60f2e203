// Our vCard export read by real address books: khard (a vdir, one card per
// file) and abook's converter read the 3.0 cards, the vobject library (the
// one khard is built on) the 2.1 cards with their quoted-printable UTF-8
// values. Every contact must come back with its name, mobile, phone and
// e-mail, and from 2.1 with every value it has, however long its Chinese
// values are (their quoted-printable lines break between characters).

#include "contacts/store/ContactStore.h"
#include "exchange/ContactExport.h"
#include "exchange/ContactText.h"
#include "support/Person.h"
#include "support/StoreFixture.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace quennet;
using namespace quennet::exchange;

namespace {

constexpr int kContacts = 300;

// The six fields of contact i: Chinese and Latin names, some of them long
// enough for their quoted-printable lines to break.
QStringList contactNumber(int i)
{
    const QString name = i % 3 == 0 ? QStringLiteral("Person %1 Smith").arg(i)
                         : i % 3 == 1
                             ? QStringLiteral("欧阳联系人%1号上官司马东方皇甫尉迟公羊澹台诸葛").arg(i)
                             : QStringLiteral("联系人%1号").arg(i);
    const QString phone = i % 2 == 0 ? QStringLiteral("010-%1").arg(60000000 + i) : QString();
    const QString email = i % 5 == 0 ? QStringLiteral("p%1@example.cn").arg(i) : QString();
    return test::Person(name)
        .phone(phone)
        .mobile(QStringLiteral("139%1").arg(i, 8, 10, QLatin1Char('0')))
        .qq(i % 4 == 0 ? QString::number(10000 + i) : QString())
        .email(email)
        .address(i % 2 == 0
                     ? QStringLiteral("北京市海淀区%1号").arg(i)
                     : QStringLiteral("北京市海淀区中关村南大街%1号院科技大厦东区二十三层二三零一室").arg(i));
}

QString run(const QString &program, const QStringList &args, int *code)
{
    QProcess process;
    process.start(program, args);
    process.closeWriteChannel();
    if (!process.waitForFinished(120000)) {
        process.kill();
        *code = -1;
        return {};
    }
    *code = process.exitCode();
    return QString::fromUtf8(process.readAllStandardOutput());
}

QSet<QString> lines(const QList<QStringList> &rows, const std::function<QString(const QStringList &)> &line)
{
    QSet<QString> out;
    for (const QStringList &row : rows)
        if (!line(row).isEmpty())
            out.insert(line(row));
    return out;
}

} // namespace

class PeerVCardTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QList<QStringList> m_rows;
    QString m_exported;
    QString m_exported21;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        for (int i = 1; i <= kContacts; ++i)
            m_rows << contactNumber(i);
        const QString storePath = m_dir.filePath(QStringLiteral("wab.vdb"));
        ContactStore store;
        QVERIFY(ContactStore::create(storePath) && store.open(storePath) &&
                store.appendMany(test::contactsOf(m_rows)));
        m_exported = m_dir.filePath(QStringLiteral("contacts.vcf"));
        QVERIFY(exportContacts(m_exported, store, ContactFormat::VCard30));
        m_exported21 = m_dir.filePath(QStringLiteral("contacts21.vcf"));
        QVERIFY(exportContacts(m_exported21, store, ContactFormat::VCard21));
    }

    // khard itself reads no 2.1 cards whose quoted-printable values go on
    // over soft line breaks; vobject does when it is told to expect them.
    // Half of the addresses and a third of the names run over several such
    // lines. vobject joins the lines before it decodes them, so a break
    // inside a character does not trouble it; readers that decode each line
    // on its own (phones) see one, so the standard library's quopri decodes
    // every line by itself too, and each must give whole UTF-8 characters.
    void vobjectReadsEveryVCard21Contact()
    {
        const QString python =
            QStandardPaths::findExecutable(QStringLiteral("python3"), {QStringLiteral("/usr/bin")});
        int code = -1;
        if (!python.isEmpty())
            run(python, {"-c", "import vobject"}, &code);
        if (code != 0)
            QSKIP("python3-vobject is not installed; scripts/setup-deps.sh installs it");
        const char *script = R"(
import sys, quopri, vobject
text = open(sys.argv[1], encoding='utf-8', newline='').read()
quoted = False
for line in text.split('\r\n'):
    if not quoted and 'QUOTED-PRINTABLE' in line.split(':', 1)[0]:
        line, quoted = line.split(':', 1)[1], True
    if quoted:
        soft = line.endswith('=')
        try:
            quopri.decodestring(line[:-1] if soft else line).decode('utf-8')
        except UnicodeDecodeError:
            print('not whole\t' + line)
        quoted = soft
for card in vobject.readComponents(text, allowQP=True):
    def tel(kind):
        return next((t.value for t in card.contents.get('tel', []) if kind in t.singletonparams), '')
    def value(name):
        return card.contents[name][0].value if name in card.contents else ''
    street = card.adr.value.street if 'adr' in card.contents else ''
    print('\t'.join([card.version.value, card.fn.value, card.n.value.family, card.n.value.given,
                     tel('HOME'), tel('CELL'), value('x-qq'), value('email'), street]))
)";
        QStringList read = run(python, {"-c", script, m_exported21}, &code).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(code, 0);
        const QStringList notWhole = read.filter(QRegularExpression(QStringLiteral("^not whole\t")));
        QVERIFY2(notWhole.isEmpty(), qPrintable(notWhole.join('\n')));
        QCOMPARE(read.size(), kContacts);
        auto line = [](const QStringList &r) {
            QString family, given;
            splitName(r[0], &family, &given);
            return QStringList{"2.1", r[0], family, given, r[1], r[2], r[3], r[4], r[5]}.join('\t');
        };
        QCOMPARE(QSet<QString>(read.cbegin(), read.cend()), lines(m_rows, line));
    }

    void khardReadsEveryContact()
    {
        const QString khard = QStandardPaths::findExecutable(QStringLiteral("khard"));
        if (khard.isEmpty())
            QSKIP("khard is not installed; scripts/setup-deps.sh installs it");
        // A vdir: one card per file.
        const QString vdir = m_dir.filePath(QStringLiteral("vdir"));
        QVERIFY(QDir().mkpath(vdir));
        QFile in(m_exported);
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QList<QByteArray> cards = in.readAll().split('\n');
        QByteArray card;
        int files = 0;
        for (const QByteArray &line : cards) {
            card += line + '\n';
            if (line.startsWith("END:VCARD")) {
                QFile out(QStringLiteral("%1/%2.vcf").arg(vdir).arg(++files));
                QVERIFY(out.open(QIODevice::WriteOnly) && out.write(card) == card.size());
                card.clear();
            }
        }
        QCOMPARE(files, kContacts);
        const QString config = m_dir.filePath(QStringLiteral("khard.conf"));
        QFile conf(config);
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write(QStringLiteral("[addressbooks]\n[[quennet]]\npath = %1\n[general]\ndefault_action = list\n"
                                  "editor = /bin/true\nmerge_editor = /bin/true\n[contact table]\n"
                                  "display = formatted_name\n")
                       .arg(vdir)
                       .toUtf8());
        conf.close();

        int code = 0;
        QSet<QString> names;
        for (const QString &line :
             run(khard, {"-c", config, "list", "-p"}, &code).split('\n', Qt::SkipEmptyParts))
            names.insert(line.section('\t', 1, 1));
        QCOMPARE(code, 0);
        QCOMPARE(names, lines(m_rows, [](const QStringList &r) { return r[0]; }));

        QSet<QString> phones;
        for (const QString &line :
             run(khard, {"-c", config, "phone", "-p"}, &code).split('\n', Qt::SkipEmptyParts))
            phones.insert(line.section('\t', 1, 1) + '|' + line.section('\t', 0, 0));
        QCOMPARE(code, 0);
        QSet<QString> expected = lines(m_rows, [](const QStringList &r) { return r[0] + '|' + r[2]; });
        expected += lines(
            m_rows, [](const QStringList &r) { return r[1].isEmpty() ? QString() : r[0] + '|' + r[1]; });
        QCOMPARE(phones, expected);
    }

    void abookConvertsEveryContact()
    {
        const QString abook = QStandardPaths::findExecutable(QStringLiteral("abook"));
        if (abook.isEmpty())
            QSKIP("abook is not installed; scripts/setup-deps.sh installs it");
        const QString out = m_dir.filePath(QStringLiteral("contacts.abook"));
        int code = 0;
        run(abook,
            {"--convert", "--informat", "vcard", "--infile", m_exported, "--outformat", "abook", "--outfile",
             out},
            &code);
        QCOMPARE(code, 0);
        QFile file(out);
        QVERIFY(file.open(QIODevice::ReadOnly));
        // Sections "[n]" of key=value lines.
        QList<QStringList> read;
        for (const QString &line : QString::fromUtf8(file.readAll()).split('\n')) {
            if (line.startsWith('[') && line.at(1).isDigit())
                read << QStringList{QString(), QString(), QString(), QString(), QString(), QString()};
            else if (!read.isEmpty() && line.contains('=')) {
                const QString key = line.section('=', 0, 0);
                const QString value = line.section('=', 1);
                const int field = key == "name"     ? 0
                                  : key == "phone"  ? 1
                                  : key == "mobile" ? 2
                                  : key == "email"  ? 4
                                                    : -1;
                if (field >= 0)
                    read.last()[field] = value;
            }
        }
        QCOMPARE(read.size(), kContacts);
        auto withoutAddress = [](const QStringList &r) {
            return QStringList{r[0], r[1], r[2], r[4]}.join('|');
        };
        QCOMPARE(lines(read, withoutAddress), lines(m_rows, withoutAddress));
    }
};

QTEST_GUILESS_MAIN(PeerVCardTest)
#include "tst_peer_vcard.moc"

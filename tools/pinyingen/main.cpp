// Writes the search's built-in pinyin table: the readings ICU gives each
// character of the CJK Unified Ideographs and their Extension A, looked up
// once when the program is built instead of at every start.
//   pinyingen OUT.cpp
#include "contacts/PinyinReadings.h"

#include <QFile>
#include <QSaveFile>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: pinyingen OUT.cpp\n");
        return 2;
    }
    constexpr char32_t kFirst = 0x3400;
    constexpr char32_t kLast = 0x9FFF;
    quennet::search::readings::Transliterators icu;
    QByteArray out = "// Written by tools/pinyingen when the program is built; do not edit.\n"
                     "#include \"contacts/PinyinBuiltIn.h\"\n\n"
                     "namespace quennet::search::builtin {\n\n"
                     "const char32_t kFirst = 0x3400;\n"
                     "const char32_t kLast = 0x9FFF;\n"
                     "// Readings of kFirst + i, space-separated.\n"
                     "const char *const kReadings[] = {\n";
    int found = 0;
    for (char32_t c = kFirst; c <= kLast; ++c) {
        const QList<QByteArray> readings = icu.readingsOf(c);
        found += readings.isEmpty() ? 0 : 1;
        out += "    \"" + readings.join(' ') + "\",\n";
    }
    out += "};\n\n} // namespace quennet::search::builtin\n";
    if (found < 20000) {
        std::fprintf(stderr, "pinyingen: ICU read only %d characters\n", found);
        return 1;
    }
    QSaveFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::WriteOnly) || file.write(out) != out.size() || !file.commit()) {
        std::fprintf(stderr, "pinyingen: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}

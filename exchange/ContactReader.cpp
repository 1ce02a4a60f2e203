#include "exchange/ContactReader.h"

namespace quennet::exchange {

int ReadSummary::droppedTotal() const
{
    int total = 0;
    for (int count : dropped)
        total += count;
    return total;
}

void ReadSummary::drop(const QString &name)
{
    // A name is cut as well: it may be a whole line of a hostile file.
    const QString key = name.left(64);
    if (dropped.size() < kMaxDroppedNames || dropped.contains(key))
        ++dropped[key];
    else
        ++dropped[QStringLiteral("其他")];
}

} // namespace quennet::exchange

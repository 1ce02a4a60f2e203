// The vCard reader on arbitrary bytes, read whole and in small pieces.

#include "ReaderCheck.h"

#include "exchange/VCardReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzing::checkReader(data, size, quennet::exchange::readVCardBytes, quennet::exchange::readVCards);
    return 0;
}

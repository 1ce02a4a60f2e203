// The CSV reader on arbitrary bytes, read whole and in small pieces.

#include "ReaderCheck.h"

#include "exchange/CsvReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzing::checkReader(data, size, quennet::exchange::readCsvBytes, quennet::exchange::readCsv);
    return 0;
}

// libFuzzer target: any byte string as an archive must give a result code,
// never a crash, a hang or a read outside the input. Built and run by
// tests/archive/fuzz.sh with clang; not part of the regular test run.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "extract.h"
#include "memory_sink.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    archive::MemoryByteSource source(std::vector<std::uint8_t>(data, data + size));
    ziptest::MemorySink sink;
    archive::ExtractOptions options;
    archive::ExtractReport report;
    (void)archive::ExtractZip(source, sink, options, &report);
    return 0;
}

// INI reading of any file: values bounded and taken from one line, and a key at the top of the
// file found whatever follows it.
#include "check.h"
#include "platform/inifile.h"
#include "platform/textfile.h"

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {
const std::string& path() {
    static const std::string file =
        (std::filesystem::temp_directory_path() / ("vortalis-ini-fuzz-" + std::to_string(getpid()) + ".ini"))
            .string();
    return file;
}

void write(const std::string& bytes) {
    std::ofstream out(path(), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    FUZZ_CHECK(out.good());
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const std::u16string section = platform::fromCp1252(input.ConsumeRandomLengthString(24));
    const std::u16string key = platform::fromCp1252(input.ConsumeRandomLengthString(24));
    const std::string file = input.ConsumeRemainingBytesAsString();

    write(file);
    if (const auto value = platform::readIniValue(path(), section, key)) {
        FUZZ_CHECK(value->size() <= platform::kIniValueLimit);
        FUZZ_CHECK(value->find(u'\n') == std::u16string::npos);
        FUZZ_CHECK(platform::fromCp1252(file).find(*value) != std::u16string::npos);
    }

    // The first section of a name and its first key win, whatever the rest of the file holds.
    write("[Configuracoes]\r\nNumPDV = \"7\"\r\n" + file);
    const auto first = platform::readIniValue(path(), u"CONFIGURACOES", u"numpdv");
    FUZZ_CHECK(first == std::u16string(u"7"));
    return 0;
}

// Arbitrary bytes as a file: read with its encoding, parsed, written back and read again.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "fuzz/fuzz_support.h"
#include "platform/codepage.h"
#include "tarvane/store/encoding_names.h"
#include "tarvane/store/xml_document.h"
#include "tarvane/store/xml_file_io.h"

namespace {

const std::string& Folder() {
    return fuzz::ScratchFolder("fuzz-xml-file");
}

using fuzz::Check;

void WriteBytes(const std::string& path, const uint8_t* data, size_t size) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    Check(fd >= 0, "open input");
    Check(write(fd, data, size) == static_cast<ssize_t>(size), "write input");
    close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input = Folder() + "/in.xml";
    const std::string output = Folder() + "/out.xml";
    WriteBytes(input, data, size);

    tarvane::XmlEncodingFlags flags;
    std::string text;
    tarvane::XmlResultLog log;
    Check(tarvane::ReadXmlFile(input, flags, text, log), "read of an existing file");
    Check(text.find('\0') == std::string::npos, "null byte left in the text");
    Check(int{flags.utf8Mark} + flags.utf16LittleEndian + flags.utf16BigEndian <= 1, "more than one mark");

    tarvane::XmlDocument document;
    document.SetText(text);

    tarvane::XmlResultLog writeLog;
    Check(tarvane::WriteXmlFile(output, document.Text(), flags, writeLog), "write");
    tarvane::XmlEncodingFlags again;
    std::string reread;
    tarvane::XmlResultLog rereadLog;
    Check(tarvane::ReadXmlFile(output, again, reread, rereadLog), "read back");
    Check(again.utf8Mark == flags.utf8Mark && again.utf16LittleEndian == flags.utf16LittleEndian &&
              again.utf16BigEndian == flags.utf16BigEndian,
          "marks change between write and read");
    // The converter that skips ASCII gives what the plain conversion gives.
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (auto [from, to] : {std::pair{platform::kUtf8CodePage, platform::kAnsiCodePage},
                            std::pair{platform::kAnsiCodePage, platform::kUtf8CodePage}}) {
        bool fastLoss = false;
        bool plainLoss = false;
        Check(tarvane::ConvertBetweenCodePages(from, to, bytes, &fastLoss) ==
                      platform::ConvertCodePage(from, to, bytes, &plainLoss) &&
                  fastLoss == plainLoss,
              "conversion that skips ASCII differs");
    }
    Check(log.Text().size() < 1200 && writeLog.Text().size() < 1200, "log past its cap");
    return 0;
}

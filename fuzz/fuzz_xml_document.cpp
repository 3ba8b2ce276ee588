// Parses arbitrary bytes as a document, then applies edits chosen by the input and checks after
// each that the index still describes the text: a fresh parse of the edited text must build the
// same element tree, and a well-formed document must stay well-formed.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tarvane/store/xml_document.h"

namespace {

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Empty() const { return pos_ >= size_; }
    std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::string Bytes(std::size_t most) {
        const std::size_t count = std::min<std::size_t>(Byte() % (most + 1), size_ - std::min(pos_, size_));
        std::string out(reinterpret_cast<const char*>(data_ + pos_), count);
        pos_ += count;
        return out;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

constexpr const char* kNames[] = {"item", "a", "b", "\xD6\xD0", "list"};

std::string trace;  // the edits applied so far, shown when a check fails

void PrintEscaped(const std::string& text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            std::fputc(c, stderr);
        } else {
            std::fprintf(stderr, "\\x%02X", byte);
        }
    }
    std::fputc('\n', stderr);
}

void Check(bool condition, const char* what, const tarvane::XmlDocument& doc) {
    if (!condition) {
        std::fprintf(stderr, "%s\nedits: ", what);
        PrintEscaped(trace);
        std::fprintf(stderr, "text: ");
        PrintEscaped(doc.Text());
        std::abort();
    }
}

void CheckAgainstFreshParse(const tarvane::XmlDocument& doc, bool wasWellFormed) {
    tarvane::XmlDocument fresh;
    const bool wellFormed = fresh.SetText(doc.Text());
    if (wasWellFormed) {
        // Removing the root leaves a document without one; anything else keeps it well-formed.
        Check(wellFormed || doc.RootElement() == 0, "edit broke a well-formed document", doc);
        Check(fresh.IndexOutline() == doc.IndexOutline(), "index differs from a fresh parse", doc);
    }
    // Whatever the input, the index stays inside the text.
    for (std::uint32_t number = 1; number < doc.UsedRecords(); ++number) {
        tarvane::XmlDocument::ElementInfo info;
        if (doc.GetElementInfo(number, info)) {
            Check(static_cast<std::size_t>(info.start) + info.length <= doc.Text().size(), "element past the end", doc);
            Check(info.startTagLength <= info.length, "start tag longer than element", doc);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    // The first byte says how much of the input is text; the rest drives the edits.
    const std::size_t textLength = std::min<std::size_t>(size - 1, (std::size_t{data[0]} << 4) + 16);
    const std::string text(reinterpret_cast<const char*>(data + 1), textLength);
    Input input(data + 1 + textLength, size - 1 - textLength);

    trace = text + " | ";
    tarvane::XmlDocument doc;
    const bool wellFormed = doc.SetText(text);
    CheckAgainstFreshParse(doc, wellFormed);

    for (int step = 0; step < 64 && !input.Empty(); ++step) {
        const std::uint8_t op = input.Byte();
        const char* name = kNames[input.Byte() % std::size(kNames)];
        trace += std::to_string(op % 8) + name;
        bool done = false;
        switch (op % 8) {
            case 0:
                done = doc.FindElement(op & 8 ? "" : name);
                break;
            case 1:
                done = doc.EnterElement();
                break;
            case 2:
                done = !doc.GetAttribute(name).empty();
                break;
            case 3:
                done = doc.SetAttribute(name, input.Bytes(12));
                break;
            case 4:
                done = doc.SetAttribute(name, static_cast<std::int32_t>(input.Byte()) - 128);
                break;
            case 5:
                done = doc.AppendElement(name, input.Bytes(8));
                break;
            case 6:
                done = doc.InsertElement(name, input.Bytes(8));
                break;
            case 7:
                done = doc.RemoveElement();
                break;
        }
        trace += done ? "+ " : "- ";
        CheckAgainstFreshParse(doc, wellFormed);
    }
    return 0;
}

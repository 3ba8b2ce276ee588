#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarvane {

// The result log of a document's last load, save or parse: XML text of empty elements, one per
// entry, no line breaks between them. Once it holds more than 999 characters nothing more is added.
class XmlResultLog {
public:
    struct Entry {
        std::string_view word;          // element name: "read", "file_error", "bom", ...
        std::string_view textName;      // optional text attribute ("type", "encoding", "msg", "tagname")
        std::string_view textValue;
        std::string_view numberName;    // optional number attribute ("n", "count", "length", "offset")
        std::optional<long long> number;
        std::optional<long long> offset2;  // written as "offset2" after the number
    };

    // Appends an entry.
    void Add(const Entry& entry);
    // Rewrites the attributes of the first entry of the same word, or appends the entry when
    // there is none.
    void Update(const Entry& entry);
    const std::string& Text() const { return text_; }
    void Clear() { text_.clear(); }

private:
    std::string text_;
};

}  // namespace tarvane
